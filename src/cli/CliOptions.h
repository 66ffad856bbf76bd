#pragma once
// The command line: commands, their options and their help texts.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "CliSettings.h"

namespace KaVruneCli {

struct TOptions {
  std::string command;             // "help" for help, "--version" for the version, "--setting-names"
  std::vector<std::string> ports;  // --port, repeated, and --ports A,B,C
  std::string output;
  std::string input;                  // apply: the settings file
  std::vector<std::string> operands;  // get: names; set: assignments; diff: two sides; help: a command
  std::string log;
  std::optional<TFormat> format;
  int timeoutSec = 60;
  bool store = false;
  bool quiet = false;
  bool dryRun = false;
};

class TUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raises TUsageError with the reason.
TOptions Parse(const std::vector<std::string>& args);

// The overview, or the help of one command; empty for a command there is none of.
std::string HelpText(const std::string& command = {});

}  // namespace KaVruneCli
