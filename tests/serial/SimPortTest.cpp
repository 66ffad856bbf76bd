// The port component against the simulated device, on whichever serial back end the tests
// were built for: under wine these run the Win32 device on a pseudo-terminal that wine shows
// as a COM port.
#include <gtest/gtest.h>

#include <algorithm>

#include "ErrorOf.h"
#include "AfComNames.h"
#include "AfComPort.h"
#include "SimProcess.h"
#include "TestPlatform.h"
#include "uCommunicationUtils.h"

namespace {

constexpr int kCom = 7;

class SimPort : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Ready());
    port.SetComNumber(kCom);
    port.SetBaudRate(br9600);
  }
  // Types keys and reads until the reply holds text; gives up after 10 s without it.
  std::string Await(const std::string& keys, const std::string& text) {
    TPromptWait wait;
    wait.FirstAnswerMs = wait.SettleMs = 10000;
    wait.KeepWaiting = [&text](const std::string& reply) { return reply.find(text) == std::string::npos; };
    return SendAndAwaitPrompt(&port, keys, wait).Text;
  }
  TempComDir dir;
  SimProcess sim{kCom, ""};
  TAfComPort port;
};

}  // namespace

TEST_F(SimPort, shouldTalkToTheDeviceWithTheLineSettingsItWasGiven) {
  port.Open();
  EXPECT_EQ(port.DCB().BaudRate, 9600u);
  std::string reply = Await("", "Setup Mode ");
  EXPECT_NE(reply.find("Press Enter for Setup Mode"), std::string::npos) << reply;
  reply = Await("\r", "choice ? ");
  EXPECT_NE(reply.find("Your choice ?"), std::string::npos) << reply;

  // Changes apply to the open device, and the record follows what it took.
  port.SetBaudRate(br57600);
  port.SetStopbits(sbTwo);
  EXPECT_EQ(port.DCB().BaudRate, 57600u);
  EXPECT_EQ(port.DCB().StopBits, 2);
  EXPECT_EQ(ErrorOf([&] { port.SetDatabits(db4); }), "Error setting parameters from DCB");
  EXPECT_EQ(port.DCB().ByteSize, 8);
  EXPECT_TRUE(port.Active());

  // What waits unread is gone after a purge: the echo "99" and the repeated prompt.
  port.WriteString("99\r");
  const int answer = static_cast<int>(std::string("99\r\nYour choice ? ").size());
  for (int i = 0; i < 1000 && port.InputCount() < answer; ++i) port.WaitForInput(10);
  ASSERT_EQ(port.InputCount(), answer);
  port.PurgeInput();
  EXPECT_EQ(port.InputCount(), 0);
  EXPECT_EQ(port.ReadString(), "");
}

TEST_F(SimPort, shouldReportMissingAndBusyPortsAndFreeThemOnClose) {
  TAfComPort missing;
  missing.SetComNumber(9);
  EXPECT_EQ(ErrorOf([&] { missing.Open(); }), "Invalid port number (COM9)");

  const auto ports = EnumerateComPorts(255);
  EXPECT_TRUE(std::any_of(ports.begin(), ports.end(), [&](const TComPortEntry& e) {
    return e.ComNumber == kCom && e.DevicePath == dir.Link(kCom);
  }));
  EXPECT_EQ(ProbeComPort(kCom), TComPortState::Free);
  port.Open();
  EXPECT_EQ(ProbeComPort(kCom), TComPortState::InUse);
  TAfComPort second;
  second.SetComNumber(kCom);
  EXPECT_EQ(ErrorOf([&] { second.Open(); }), "Can't open device COM7");
  port.Close();
  EXPECT_EQ(ProbeComPort(kCom), TComPortState::Free) << "closing lets go of the port";
  EXPECT_EQ(ProbeComPort(9), TComPortState::Absent);
}
