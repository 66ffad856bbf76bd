// Units that misbehave in one way each, against the checks of the walk that only such a unit
// reaches. A walk that goes wrong inside a menu must store nothing and take the unit out of
// Setup Mode at its root menu, and the tool must say both.

#include <gtest/gtest.h>

#include "CliRun.h"
#include "InProcessSim.h"

namespace {

struct TGuardCase {
  const char* Why;
  std::string Setting;
  TSimFault Then;  // the fault the unit has from the corrupted digit on
  bool LineEcho = false;
};

// A unit that answers its exit key with its root menu again has not left: the tool says so.
bool Leaves(const TGuardCase& c) { return c.Then != TSimFault::ExitIgnored; }

void PrintTo(const TGuardCase& c, std::ostream* os) { *os << c.Setting; }

class CliGuard : public ::testing::TestWithParam<TGuardCase> {};

// The line corrupts the second digit the walk types (8090 arrives as 8290): the unit echoes
// and takes what arrived, so only the echo shows it. In the second case the digit is the
// answer to the menu's last but one question and the unit asks "Press Enter to continue ? "
// before its root menu: leaving takes Enter until the root prompt itself, not any prompt. In the
// third the line loops back what is typed, whole and uncorrupted, before the unit's own echo. In
// the fourth the unit does not leave on its exit key: its menu's "8 Exit without save" is no word
// of its own that it left.
TEST_P(CliGuard, aCorruptedDigitShouldStoreNothingAndLeaveAtTheRootMenu) {
  const TGuardCase& c = GetParam();
  InProcessSimOptions o;
  o.Fault = TSimFault::CorruptDigit;
  o.LineEcho = c.LineEcho;
  InProcessSim sim(4, o);
  sim.OnEvent([&](const std::string& e) {
    if (e == "corrupt digit") sim.With([&](TSimDevice& d) { d.SetFault(c.Then); });
  });
  const ProgramResult r = RunCli({"set", "--port", "COM4", c.Setting});
  EXPECT_EQ(r.rc, 4) << r.err;
  EXPECT_EQ(sim.Count("corrupt digit"), 1u);
  EXPECT_EQ(sim.Count("store"), 0u);
  EXPECT_TRUE(sim.Stored() == SimDefaults()) << sim.Transcript();
  EXPECT_GE(sim.Count(Leaves(c) ? "exit without save" : "exit ignored"), 1u) << sim.Transcript();
  EXPECT_NE(r.err.find(Leaves(c) ? "the device left Setup Mode without storing"
                                 : "the device did not confirm leaving Setup Mode: switch it off and on"),
            std::string::npos)
      << r.err;
}

// A root menu without "Save and exit", or without "Exit without save": a walk could not end as
// asked, or not be taken back, so not one key of it is typed, whatever key would store.
struct TMenuCase {
  TSimFault Fault;
  const char* Lacks;  // the entry the menu lacks
};

void PrintTo(const TMenuCase& c, std::ostream* os) { *os << c.Lacks; }

class CliGuardMenu : public ::testing::TestWithParam<TMenuCase> {};

TEST_P(CliGuardMenu, aMenuWithoutAWayToEndTheWalkShouldGetNoKeyOfIt) {
  InProcessSimOptions o;
  o.Fault = GetParam().Fault;
  InProcessSim sim(4, o);
  const ProgramResult r = RunCli({"set", "--port", "COM4", "Expert.MTU_Size=1000"});
  EXPECT_EQ(r.rc, 4) << r.err;
  EXPECT_NE(r.err.find(std::string("the device's menu shows no \"") + GetParam().Lacks + "\" entry"), std::string::npos)
      << r.err;
  EXPECT_EQ(sim.Received().find("5\r"), std::string::npos) << "the Expert menu was chosen\n" << sim.Transcript();
  EXPECT_EQ(sim.Count("store"), 0u);
  EXPECT_TRUE(sim.Stored() == SimDefaults()) << sim.Transcript();
}

INSTANTIATE_TEST_SUITE_P(Entries, CliGuardMenu,
                         ::testing::Values(TMenuCase{TSimFault::NoStoreEntry, "Save and exit"},
                                           TMenuCase{TSimFault::NoExitEntry, "Exit without save"}),
                         [](const auto& info) {
                           return info.param.Fault == TSimFault::NoStoreEntry ? std::string("withoutSaveAndExit")
                                                                              : std::string("withoutExitWithoutSave");
                         });

INSTANTIATE_TEST_SUITE_P(Walks, CliGuard,
                         ::testing::Values(TGuardCase{"midMenu", "Expert.HTTP_Port_Number=8090", TSimFault::None},
                                           TGuardCase{"lastButOneQuestion", "Expert.MTU_Size=1000",
                                                      TSimFault::WrongRootPrompt},
                                           TGuardCase{"onALineThatEchoes", "Expert.HTTP_Port_Number=8090",
                                                      TSimFault::None, true},
                                           TGuardCase{"exitIgnored", "Expert.HTTP_Port_Number=8090",
                                                      TSimFault::ExitIgnored}),
                         [](const auto& info) { return std::string(info.param.Why); });

}  // namespace
