#pragma once
// The headless front end: a user who opens the port, does one thing and closes it.

#include <string>
#include <vector>

namespace KaVruneCli {

enum ExitCode {
  Ok = 0,
  NoDevice = 1,
  Usage = 2,
  PortError = 3,
  WriteFailed = 4,
  FileError = 5,
  NotTaken = 6,
  DumpDamaged = 7,
  NotInUnits = 8,
  StoredNotChecked = 9,
  Differ = 10
};

int Run(const std::vector<std::string>& args);

}  // namespace KaVruneCli
