// The faults a unit can be given to attack the engine's guards: each does what the engine must
// notice, and only that, at a point a test can name.

#include <gtest/gtest.h>

#include "SimUnit.h"

namespace {

using namespace std::chrono_literals;

class SimFault : public SimUnit {
 protected:
  // A standard unit with the fault, at its root menu.
  void StartAtRoot(TSimFault fault, unsigned after = 4, unsigned seed = 1, TSimSettings state = SimDefaults()) {
    TSimDevice::TOptions o;
    o.Fault = fault;
    o.FaultAfter = after;
    o.Seed = seed;
    Start(SimProfileFor("standard", 0), o, std::move(state));
    Type("\r");
  }
};

TEST_F(SimFault, restartInWalkShouldRestartAfterTheNthKeyInAMenuAndDropWhatWasNotStored) {
  StartAtRoot(TSimFault::RestartInWalk);
  EXPECT_TRUE(Type("5\r").ends_with("(45) ? ")) << "keys at the root menu do not count";
  EXPECT_TRUE(Type("10\r").ends_with("(600) ? "));
  EXPECT_EQ(Current("Expert", "TCP_Keepalive_time_in_s"), "10");
  const std::string out = Type("99\r");
  EXPECT_TRUE(out.starts_with("9\r\n\r\nkaVRUNE serial device server")) << out << ": the fourth key is the last";
  EXPECT_TRUE(out.ends_with("Press Enter for Setup Mode ")) << out;
  EXPECT_EQ(Device->Mode(), TSimMode::Offer);
  EXPECT_EQ(Current("Expert", "TCP_Keepalive_time_in_s"), "45");
  EXPECT_TRUE(Has(Type("\r"), "TCP Keepalive : 45s")) << "the offer is open again";
}

TEST_F(SimFault, noReturnShouldStoreAndThenIgnoreEverythingUntilPoweredAgain) {
  TSimSettings state = SimDefaults();
  state.Set("Expert", "MTU_Size", "512");
  StartAtRoot(TSimFault::NoReturn, 4, 1, state);
  Type("7\r");
  EXPECT_TRUE(Has(Type("9\r"), "Parameters stored ..."));
  EXPECT_EQ(Stored("Expert", "MTU_Size"), "1400");
  Device->Tick(Now + 10s);
  EXPECT_EQ(Take(), "");
  EXPECT_EQ(Type("\r8\r\r"), "");
  Device->PowerOff();
  Device->PowerOn(Now);
  EXPECT_TRUE(Has(Take(), "Press Enter for Setup Mode "));
}

// The digit that follows another is corrupted, once a walk; the seed chooses what it becomes.
TEST_F(SimFault, corruptDigitShouldEchoAndTakeAnotherDigitOnceAWalk) {
  for (unsigned seed : {1u, 5u, 9u}) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    const std::string taken = "5" + std::to_string((1 + seed % 9) % 10);
    StartAtRoot(TSimFault::CorruptDigit, 4, seed);
    Type("5\r");
    EXPECT_TRUE(Type("50\r").starts_with(taken + "\r\n"));
    EXPECT_EQ(Current("Expert", "TCP_Keepalive_time_in_s"), taken);
    EXPECT_TRUE(Type("300\r").starts_with("300\r\n")) << "once a walk";
    EnterUntil("Your choice ? ");
    Type("5\r");
    EXPECT_TRUE(Type("50\r").starts_with(taken + "\r\n")) << "and once in the next";
  }
}

TEST_F(SimFault, statusLineShouldComeAfterTheNthQuestionAndShowItAgain) {
  StartAtRoot(TSimFault::StatusLine, 2);
  Type("5\r");
  EXPECT_TRUE(Type("\r").ends_with("ARP Cache timeout in s (1s - 600s) (600) ? "));
  Device->Tick(Now + 99ms);
  EXPECT_EQ(Take(), "");
  Device->Tick(Now + 100ms);
  EXPECT_EQ(Take(), "\r\nLAN link up\r\nARP Cache timeout in s (1s - 600s) (600) ? ");
  Type("\r");
  Device->Tick(Now + 1s);
  EXPECT_EQ(Take(), "") << "once";
}

TEST_F(SimFault, wrongRootPromptShouldAskForEnterBeforeTheRootMenu) {
  StartAtRoot(TSimFault::WrongRootPrompt);
  Type("5\r");
  const std::string out = EnterUntil("Press Enter to continue ? ");
  EXPECT_EQ(out, "\r\nPress Enter to continue ? ");
  EXPECT_EQ(Device->Mode(), TSimMode::Continue);
  EXPECT_EQ(Type("8"), "\a");
  EXPECT_TRUE(Type("\r").ends_with("9 Save and exit\r\n\r\nYour choice ? "));
}

// After its first dump since power-on, a prompt that is not the root menu's where the root menu
// should have the unit waiting; Enter there shows the root menu, and the next dump ends at it.
TEST_F(SimFault, continueAfterDumpShouldAskForEnterBelowTheFirstRootMenu) {
  StartAtRoot(TSimFault::ContinueAfterDump);
  EXPECT_EQ(Device->Mode(), TSimMode::Continue);
  EXPECT_TRUE(Type("\r").ends_with("9 Save and exit\r\n\r\nYour choice ? "));
  EXPECT_TRUE(Type("\r").ends_with("Your choice ? ")) << "once a power-on";
  EXPECT_EQ(Device->Mode(), TSimMode::RootMenu);
}

TEST_F(SimFault, noExitEntryShouldLeaveItsLineOutAndStillLeaveOnEight) {
  TSimDevice::TOptions o;
  o.Fault = TSimFault::NoExitEntry;
  Start(SimProfileFor("standard", 0), o);
  const std::string menu = Type("\r");
  EXPECT_FALSE(Has(menu, "Exit without save")) << menu;
  EXPECT_TRUE(menu.ends_with("7 Factory defaults\r\n9 Save and exit\r\n\r\nYour choice ? ")) << menu;
  EXPECT_TRUE(Has(Type("8\r"), "Exit without save"));
  EXPECT_EQ(Device->Mode(), TSimMode::DataMode);
}

}  // namespace
