#pragma once
// --bundle FILE: one zip for a bug report, written however the command ends: the transcript of
// each port's dialogue (masked as the tool writes it), the tool's and the system's versions, the
// command line, each unit as it named itself (MAC address, firmware, model), and the outcome:
// the exit status and every message the user was shown. No password or key goes in: the
// transcript masks them, the command line shows their values as stars, and every secret the
// command was given is masked wherever it might still stand.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "CliDevice.h"
#include "CliOptions.h"

namespace KaVruneCli {

// What a command on the ports did, for the bundle.
struct TDeviceRun {
  std::vector<TPortResult> Results;
  std::vector<std::string> Secrets;  // the passwords and keys it was given
};

// Runs run with the transcripts going where the bundle finds them (the --log files, else a
// private folder), the messages on stderr copied, and writes o.bundle: the command's status, or
// status 5 when the bundle cannot be written.
int RunWithBundle(const TOptions& o, const std::vector<std::string>& args,
                  const std::function<int(const TOptions&, TDeviceRun&)>& run);

// A zip archive of the files, stored (not compressed), with CRC-32s; names in ASCII.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& files);

}  // namespace KaVruneCli
