#include <fcntl.h>
#include <sys/file.h>

#include <gtest/gtest.h>

#include <fstream>

#include "AfComNames.h"
#include "PtyPair.h"

TEST(ComNames, shouldResolvePublishedLinksByTheirNumbers) {
  TempComDir dir;
  PtyPair a(&dir, 3), b(&dir, 7);
  EXPECT_EQ(ComDevicePath(3), dir.Link(3));
  EXPECT_EQ(ComDevicePath(7), dir.Link(7));
  EXPECT_EQ(ComDevicePath(0), "");
  for (const auto& e : EnumerateComPorts(255)) {
    EXPECT_NE(e.DevicePath, a.SlavePath()) << "a linked device must not get a second number";
  }
}

TEST(ComNames, shouldIgnoreDanglingLinksAndOtherNames) {
  TempComDir dir;
  std::filesystem::create_symlink("/dev/does-not-exist", dir.Link(4));
  std::filesystem::create_symlink("/dev/null", dir.Path() + "/comX");
  for (const auto& e : EnumerateComPorts(255)) EXPECT_NE(e.DevicePath, dir.Link(4));
  EXPECT_EQ(ProbeComPort(4), TComPortState::Absent);
}

TEST(ComNames, shouldProbeFreeInUseAndAbsent) {
  TempComDir dir;
  PtyPair free(&dir, 1), busy(&dir, 2);
  const int fd = ::open(busy.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

  EXPECT_EQ(ProbeComPort(1), TComPortState::Free);
  EXPECT_EQ(ProbeComPort(2), TComPortState::InUse);
  EXPECT_EQ(ProbeDevicePath(dir.Path() + "/nothing"), TComPortState::Absent);
  ::close(fd);
  EXPECT_EQ(ProbeComPort(2), TComPortState::Free) << "the probe holds nothing after it looked";
}

// A sysfs tree as the kernel lays it out for a usb-serial adapter (port below interface below
// device), a cdc-acm modem (the interface itself), a legacy UART and a device sysfs is silent on.
TEST(ComNames, shouldDescribeWhatIsBehindEachPort) {
  namespace fs = std::filesystem;
  TempDir root;
  const fs::path sys = root.Path() + "/sys", byId = root.Path() + "/by-id";
  auto attribute = [](const fs::path& dir, const char* name, const char* value) {
    fs::create_directories(dir);
    std::ofstream(dir / name) << value << '\n';
  };
  auto classLink = [&](const std::string& node, const fs::path& device) {
    fs::create_directories(device);
    fs::create_directories(sys / "class/tty" / node);
    fs::create_symlink(device, sys / "class/tty" / node / "device");
  };
  const fs::path ftdi = sys / "devices/pci0000:00/usb1/1-2";
  attribute(ftdi, "idVendor", "0403");
  attribute(ftdi, "manufacturer", "FTDI");
  attribute(ftdi, "product", "FT232R USB UART");
  classLink("ttyUSB0", ftdi / "1-2:1.0/ttyUSB0");
  const fs::path modem = sys / "devices/pci0000:00/usb1/1-3";
  attribute(modem, "idVendor", "2341");
  attribute(modem, "manufacturer", "Arduino");
  attribute(modem, "product", "Arduino Uno");
  classLink("ttyACM0", modem / "1-3:1.0");
  attribute(sys / "devices/pci0000:00/usb1", "product", "xHCI Host Controller");  // the hub
  attribute(sys / "devices/pci0000:00/usb1/1-4", "idVendor", "067b");
  attribute(sys / "devices/pci0000:00/usb1/1-4", "idProduct", "2303");
  classLink("ttyUSB1", sys / "devices/pci0000:00/usb1/1-4/1-4:1.0/ttyUSB1");
  classLink("ttyS0", sys / "devices/pnp0/00:05/tty/ttyS0");
  fs::create_directories(byId);
  fs::create_symlink("/dev/ttyUSB7", byId / "usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0");
  const TComLookupRoots roots{sys.string(), byId.string()};

  EXPECT_EQ(ComPortDescription("/dev/ttyUSB0", roots), "FTDI FT232R USB UART, ttyUSB0");
  EXPECT_EQ(ComPortDescription("/dev/ttyACM0", roots), "Arduino Uno, ttyACM0") << "no maker twice";
  EXPECT_EQ(ComPortDescription("/dev/ttyUSB1", roots), "USB 067b:2303, ttyUSB1") << "never the hub's name";
  EXPECT_EQ(ComPortDescription("/dev/ttyUSB7", roots), "Prolific Technology Inc. USB-Serial Controller, ttyUSB7");
  EXPECT_EQ(ComPortDescription("/dev/ttyS0", roots), "serial port, ttyS0");
  EXPECT_EQ(ComPortDescription("/dev/ttyUSB9", roots), "USB-serial, ttyUSB9");

  TempComDir dir;
  PtyPair sim(&dir, 2);
  const std::string pts = sim.SlavePath().substr(5);
  EXPECT_EQ(ComPortDescription(dir.Link(2), roots), "simulator, " + pts) << "a link shows where it leads";
}
