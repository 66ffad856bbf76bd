#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ErrorOf.h"
#include "AfComNames.h"
#include "AfComPort.h"
#include "AfMainThread.h"
#include "PtyPair.h"

namespace {

// Waits until the port has taken exactly count received bytes (bounded, for a failing run).
bool HasInput(const TAfComPort& port, int count) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (port.InputCount() < count && std::chrono::steady_clock::now() < until) std::this_thread::yield();
  return port.InputCount() == count;
}

TAfPortError KindOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EAfSerialError& e) {
    return e.Kind();
  }
  return TAfPortError::None;
}

}  // namespace

TEST(ComPort, shouldStartWithTheDocumentedDefaults) {
  TAfComPort port;
  EXPECT_EQ(port.ComNumber(), 0);
  EXPECT_EQ(port.BaudRate(), br115200);
  EXPECT_EQ(port.Databits(), db8);
  EXPECT_EQ(port.Parity(), paNone);
  EXPECT_EQ(port.Stopbits(), sbOne);
  EXPECT_EQ(port.FlowControl(), fwNone);
  EXPECT_TRUE(port.DTR());
  EXPECT_TRUE(port.RTS());
  EXPECT_EQ(port.InBufSize(), 4096);
  EXPECT_EQ(port.OutBufSize(), 2048);
  EXPECT_EQ(port.DCB().Flags, 0x1011u) << "binary, DTR on, RTS on";
  EXPECT_EQ(port.DCB().BaudRate, 115200u);
}

TEST(ComPort, shouldDeriveFlowLimitsAndFlagsFromFlowControl) {
  TAfComPort port;
  port.SetFlowControl(fwXOnXOff);
  EXPECT_EQ(port.XOnLim(), 1024);
  EXPECT_EQ(port.XOffLim(), 3072);
  EXPECT_EQ(port.DCB().Flags, 0x1311u);
  port.SetFlowControl(fwRtsCts);
  EXPECT_EQ(port.DCB().Flags, 0x2015u) << "RTS is the handshake, not a plain line";
  port.SetFlowControl(fwDtrDsr);
  EXPECT_EQ(port.DCB().Flags, 0x1029u);
  port.SetFlowControl(fwNone);
  EXPECT_EQ(port.XOnLim(), 0);
  EXPECT_EQ(port.XOffLim(), 0);
  port.SetXOnLim(100);
  EXPECT_EQ(port.XOffLim(), 3996);
  port.SetUserBaudRate(12345);
  EXPECT_EQ(port.BaudRate(), brUser);
  port.SetBaudRate(br9600);
  EXPECT_EQ(port.UserBaudRate(), 0);
}

TEST(ComPort, closedPortShouldReadNothingAndRefuseWrites) {
  TAfComPort port;
  EXPECT_EQ(port.ReadString(), "");
  EXPECT_EQ(port.InputCount(), 0);
  EXPECT_EQ(port.OutputFree(), 0);
  EXPECT_EQ(ErrorOf([&] { port.WriteData("abc", 3); }), "Write data error [requested: 3, free: 0] -  ");
  EXPECT_EQ(ErrorOf([&] { port.Open(); }), "Invalid port number (COM0)");
  EXPECT_FALSE(port.Active());
}

TEST(ComPort, shouldReportMissingAndBusyPorts) {
  TempComDir dir;
  PtyPair pty(&dir, 2);
  TAfComPort port;
  port.SetComNumber(9);
  EXPECT_EQ(ErrorOf([&] { port.Open(); }), "Invalid port number (COM9)");

  TAfComPort holder;
  holder.SetComNumber(2);
  holder.Open();
  port.SetComNumber(2);
  EXPECT_EQ(ErrorOf([&] { port.Open(); }), "Can't open device COM2");
  EXPECT_EQ(KindOf([&] { port.Open(); }), TAfPortError::InUse);
  EXPECT_FALSE(port.Active());
  holder.Close();
  port.Open();
  EXPECT_TRUE(port.Active());
  port.Close();

  port.SetComNumber(9);
  EXPECT_EQ(KindOf([&] { port.Open(); }), TAfPortError::NoSuchPort);
  // A link to something that is no serial line: a plain file, and one we may not open.
  const std::string file = dir.Path() + "/not-a-tty";
  { std::ofstream(file) << "x"; }
  std::filesystem::create_symlink(file, dir.Link(3));
  port.SetComNumber(3);
  EXPECT_EQ(ErrorOf([&] { port.Open(); }), "Can't open device COM3");
  EXPECT_EQ(KindOf([&] { port.Open(); }), TAfPortError::NotSerial);
  if (::geteuid() != 0) {  // root opens anything
    std::filesystem::permissions(file, std::filesystem::perms::none);
    EXPECT_EQ(KindOf([&] { port.Open(); }), TAfPortError::Permission);
  }
  EXPECT_FALSE(port.Active());
}

TEST(ComPort, shouldApplyLineSettingsToTheDevice) {
  // A pseudo-terminal keeps bit rates, stop bits and software flow control; it forces eight
  // data bits without parity and refuses anything else, which the refusal test uses.
  TempComDir dir;
  PtyPair pty(&dir, 1);
  TAfComPort port;
  port.SetComNumber(1);
  port.SetBaudRate(br9600);
  port.SetStopbits(sbTwo);
  port.Open();
  termios t = pty.Settings();
  EXPECT_EQ(cfgetospeed(&t), B9600);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_TRUE(t.c_cflag & CLOCAL);
  EXPECT_FALSE(t.c_lflag & ICANON) << "raw line: no line editing";
  EXPECT_FALSE(t.c_iflag & ICRNL) << "a CR from the device must stay a CR";

  // Changes on an open port apply at once, including rates outside the classic set.
  port.SetBaudRate(br14400);
  port.SetStopbits(sbOne);
  port.SetFlowControl(fwXOnXOff);
  t = pty.Settings();
  EXPECT_EQ(port.DCB().BaudRate, 14400u);
  EXPECT_FALSE(t.c_cflag & CSTOPB);
  EXPECT_TRUE(t.c_iflag & IXON);
  EXPECT_TRUE(t.c_iflag & IXOFF);
  port.SetUserBaudRate(31250);
  EXPECT_EQ(port.DCB().BaudRate, 31250u);
}

TEST(ComPort, refusedSettingsShouldKeepTheDevicesAndRaise) {
  TempComDir dir;
  PtyPair pty(&dir, 1);
  TAfComPort port;
  port.SetComNumber(1);
  port.SetBaudRate(br9600);
  port.Open();
  EXPECT_EQ(ErrorOf([&] { port.SetDatabits(db4); }), "Error setting parameters from DCB");
  EXPECT_EQ(port.Databits(), db4) << "the property shows the refused value";
  port.SetDatabits(db8);
  EXPECT_EQ(ErrorOf([&] { port.SetParity(paEven); }), "Error setting parameters from DCB");
  EXPECT_EQ(port.DCB().Parity, 0);
  EXPECT_EQ(port.DCB().ByteSize, 8) << "the record follows the device";
  termios t = pty.Settings();
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(cfgetospeed(&t), B9600);
  EXPECT_TRUE(port.Active());
}

TEST(ComPort, shouldRefuseBufferSizeChangesWhileOpen) {
  TempComDir dir;
  PtyPair pty(&dir, 1);
  TAfComPort port;
  port.SetComNumber(1);
  port.Open();
  EXPECT_EQ(ErrorOf([&] { port.SetInBufSize(100); }), "Port is not closed -  ");
  EXPECT_EQ(ErrorOf([&] { port.SetOutBufSize(100); }), "Port is not closed -  ");
  port.Close();
  port.SetOutBufSize(100);
  EXPECT_EQ(port.OutBufSize(), 100);
}

TEST(ComPort, shouldSendWriteDataAndReadWhatArrives) {
  TempComDir dir;
  PtyPair pty(&dir, 1);
  TAfComPort port;
  port.SetComNumber(1);
  port.Open();
  // Three blocks through a ring of 2048 bytes: the later ones wrap around its end.
  for (char c : {'a', 'b', 'c'}) {
    const std::string block(1500, c);
    port.WriteString(block);
    EXPECT_EQ(pty.Receive(1500), block);
  }

  pty.Send("hello\r");
  ASSERT_TRUE(port.WaitForInput(2000));
  EXPECT_TRUE(HasInput(port, 6));
  char two[2];
  port.ReadData(two, 2);
  EXPECT_EQ(std::string(two, 2), "he");
  EXPECT_EQ(port.ReadString(), "llo\r");
  EXPECT_EQ(ErrorOf([&] { port.ReadData(two, 1); }), "Read data error -  ");

  pty.Send("stale");
  ASSERT_TRUE(HasInput(port, 5));
  port.PurgeInput();
  EXPECT_EQ(port.InputCount(), 0);
  EXPECT_EQ(port.ReadString(), "");
}

TEST(ComPort, shouldRaiseTheWriteErrorWhenTheRingIsFull) {
  TempComDir dir;
  PtyPair pty(&dir, 1);
  TAfComPort port;
  port.SetComNumber(1);
  port.Open();
  const std::string big(2049, 'x');
  EXPECT_EQ(ErrorOf([&] { port.WriteData(big.data(), 2049); }), "Write data error [requested: 2049, free: 2048] -  ");
}

TEST(ComPort, shouldReopenWhenTheNumberChangesAndReleaseOnClose) {
  TempComDir dir;
  PtyPair one(&dir, 1), two(&dir, 2);
  TAfComPort port;
  port.SetComNumber(1);
  port.Open();
  port.SetComNumber(2);
  EXPECT_TRUE(port.Active());
  EXPECT_EQ(ProbeComPort(1), TComPortState::Free);
  EXPECT_EQ(ProbeComPort(2), TComPortState::InUse);
  port.WriteString("on two");
  EXPECT_EQ(two.Receive(6), "on two");
  port.Close();
  EXPECT_EQ(ProbeComPort(2), TComPortState::Free);
}

TEST(ComPort, shouldNeverWaitForTheMainThread) {
  TempComDir dir;
  PtyPair pty(&dir, 1);
  TAfQueuedDispatcher dispatcher;  // a main thread that is busy: nobody runs its queue
  SetAfMainThreadDispatcher(&dispatcher);
  {
    TAfComPort port;
    port.SetComNumber(1);
    port.Open();
    pty.Send("abc");
    ASSERT_TRUE(port.WaitForInput(2000));
    ASSERT_TRUE(HasInput(port, 3));
    EXPECT_EQ(port.ReadString(), "abc");
    // Bytes left unread while the event thread polls the line, then a close.
    pty.Send("more");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto t0 = std::chrono::steady_clock::now();
    port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
  }
  EXPECT_EQ(dispatcher.ProcessMessages(0), 0) << "nothing of the line's goes to the main thread";
  SetAfMainThreadDispatcher(nullptr);
}
