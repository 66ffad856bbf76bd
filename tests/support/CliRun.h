#pragma once
// Runs the command line tool (KAVRUNE_CLI_PATH, a Windows program where the tests are), and the
// fixture of tests that run it against simulators in a private COM folder.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "TestPlatform.h"

inline ProgramResult RunCli(const std::vector<std::string>& args) {
  TempDir scratch;
  return RunProgram(KAVRUNE_CLI_PATH, args, scratch.Path());
}

class CliOnSim : public ::testing::Test {
 protected:
  std::string State() const { return dir.Path() + "/state.txt"; }
  std::string File(const std::string& name, const std::string& text) const {
    const std::string path = dir.Path() + "/" + name;
    std::ofstream(path) << text;
    return path;
  }
  TempComDir dir;
};
