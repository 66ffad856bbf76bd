#pragma once
// One command on one device: open the port, wait for the device, read, write or restore, and
// tell the user on stderr. Several of these run side by side, one thread per port.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "CliUnits.h"
#include "CliWriteResult.h"
#include "uKaVruneSession.h"

namespace KaVruneCli {

// COM<n> as given, or the COM number under which a device node appears.
std::optional<int> ResolvePort(const std::string& port);
// "read.xml" for one port, "read-COM7.xml" when several share the option.
std::string PortFileName(const std::string& path, const std::string& port, bool several);
// Whether a file can be written at path, found out before the device is touched: a failure
// after the settings were stored would leave the user not knowing what the device holds.
bool Writable(const std::string& path);

// What the device is to be given, worked out once before any port opens.
struct TPortJob {
  TDeviceSettings Wanted;                // apply, set, verify
  std::vector<const TSettingRow*> Rows;  // get
  bool Several = false;                  // more than one port: prefixed messages, no progress line
  bool Print = true;                     // read: false keeps the settings in the result only
  std::shared_ptr<TUnitMatcher> Units;   // apply, set, verify with --units
  bool Restore = false;                  // apply of a backup: what a restore cannot carry is named
  bool Verify = false;                   // verify: the units are compared with Wanted, never written
};

struct TPortResult {
  std::string Port;      // "COM7"
  TDeviceIdentity Unit;  // the MAC and firmware the device showed; empty where it showed none
  std::string Model;     // its "Hardware" line, as its dump shows it; empty where it shows none
  int Status = 0;
  int Changed = 0;
  double Seconds = 0;
  std::string Result;        // "read 74 settings", "9 settings written and confirmed"
  TDeviceSettings Settings;  // the device's state at the end
  TWriteRecord Write;        // set, apply: what changed, for --format json
  int UnitRow = 0;           // its row of --units, 0 without
  // set, apply: confirmed, not taken, not written; empty where nothing was (or might have been)
  // stored, which Write.Stored tells. verify: matches, differs, not compared
  std::string Outcome;
  std::vector<TDifference> Differs;  // verify: the file's value, then the unit's
};

// Runs the command of o on one port.
TPortResult RunOnPort(const TOptions& o, const std::string& port, const TPortJob& job);

// Lines on stderr from any thread, each whole; the progress line is redrawn in place on a
// terminal.
class TCliOutput final {
 public:
  TCliOutput(std::string prefix, bool quiet, bool progress);
  ~TCliOutput();
  void Error(const std::string& text);
  void Note(const std::string& text);    // hints and results; not with --quiet
  void Status(const std::string& text);  // progress, on a terminal only
  void EndStatus();
  bool Shown(const std::string& text) const;  // whether Note or Error already showed it
  std::vector<std::string> Errors() const;
  static std::mutex& Lock();

 private:
  std::string prefix_;
  bool quiet_;
  bool progress_;
  bool shown_ = false;
  std::vector<std::string> said_;
  std::vector<std::string> errors_;
};

}  // namespace KaVruneCli
