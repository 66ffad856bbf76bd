#pragma once
// What set and apply did to each device (or, with --dry-run, would do), as one JSON object for
// scripts and configuration managers: they decide "changed" from it, never from our wording.

#include <string>
#include <vector>

#include "CliSettings.h"

namespace KaVruneCli {

struct TWriteRecord {
  std::vector<TDifference> Differences;      // before -> after as the device reports them
  std::vector<const TSettingRow*> Secrets;   // written (dry: would be); never with a value
  std::vector<const TSettingRow*> NotAsked;  // not written: the device did not (will not) ask
  std::vector<const TSettingRow*> NotTaken;  // written, but the device holds something else
  std::vector<const TSettingRow*> NotOnUnit;  // not written: the unit has no menu for them
  std::vector<std::string> Errors;           // what stderr said was wrong, unprefixed
  bool Stored = false;                       // the device stored, though the check afterwards did not run
  // Something on the device is (dry: would be) other than before.
  bool Changed() const { return !Differences.empty() || !Secrets.empty() || Stored; }
};

struct TPortWrite {
  std::string Port;
  std::string Mac, Firmware;  // as the unit printed them; empty where it did not
  int Status = 0;
  std::string Result;
  TWriteRecord Record;
};

// {"command", "dry_run", "status", "changed", "ports": [{"port", "mac", "firmware", "status",
// "changed", "result",
// "diff": [{setting, from, to}], "not_asked", "not_taken", "not_on_unit", "errors"}]}; passwords and keys appear
// in diff as "********" with "secret": true.
std::string WriteResultJson(const std::string& command, bool dryRun, int status, const std::vector<TPortWrite>& ports);

}  // namespace KaVruneCli
