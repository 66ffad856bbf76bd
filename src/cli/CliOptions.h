#pragma once
// The command line: commands, their options and their help texts.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "CliSettings.h"

namespace KaVruneCli {

struct TOptions {
  std::string command;  // "help" for help, "--version" for the version, "--setting-names", "--setting-values"
  std::vector<std::string> ports;  // --port, repeated, and --ports A,B,C
  std::string output;
  std::string input;                  // apply, edit, sheet: the settings file
  std::vector<std::string> operands;  // get: names; set: assignments; diff: two sides; help: a command
  std::string log;
  std::string bundle;  // a zip for a bug report
  std::string mac;  // backups: one unit's, as NormalizeMac spells it
  std::string units;   // apply, set: per-unit values (CSV)
  std::string report;  // apply, set: run records (.jsonl or .csv)
  std::string language;  // sheet: de, cs or en; empty: the window's, by the locale
  std::string operatorName, station;               // sheet: in its head; apply, set, verify: in --report's records
  std::vector<const TSettingRow*> allowDuplicate;  // --allow-duplicate: a value two rows of --units may share
  bool allowEmpty = false;  // --allow-empty: an empty cell of a unit's own column keeps the value for every unit
  std::optional<TFormat> format;
  int timeoutSec = 60;
  int restartLimitSec = 15;  // how long a unit may take to come back after it stored
  bool store = false;
  bool quiet = false;
  bool dryRun = false;
  bool valueOnly = false;  // get --value: the bare values
};

// A command line the program cannot run; command is empty when none was recognised.
class TUsageError : public std::runtime_error {
 public:
  TUsageError(const std::string& command, const std::string& reason);
  const std::string& Command() const { return command_; }
  // The reason and where to look: "unknown option -x (try 'kavrune-cli read --help')".
  std::string Line() const;

 private:
  std::string command_;
};

// Raises TUsageError with the reason.
TOptions Parse(const std::vector<std::string>& args);

// The overview, or the help of one command; empty for a command there is none of.
std::string HelpText(const std::string& command = {});

}  // namespace KaVruneCli
