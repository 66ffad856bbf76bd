#pragma once
// COM numbers. On Windows they are the system's own (AfComNamesWin32.cpp). On Linux a COM
// number resolves to a device node: first the links "comN" in the link directory
// ($KAVRUNE_COM_DIR, default ~/.config/kavrune/com), then the remaining numbers from 1 upward
// go, in order, to the serial devices present: /dev/ttyS* with a known UART type, /dev/ttyUSB*,
// /dev/ttyACM*, /dev/ttyAMA*, /dev/rfcomm*, each family in numeric order.

#include <string>
#include <vector>

enum class TComPortState { Absent, Free, InUse };

struct TComPortEntry {
  int ComNumber = 0;
  std::string DevicePath;  // the link or the device node as found
};

// Directory that holds the comN links.
std::string ComLinkDirectory();

// Every COM number from 1 to maxNumber that resolves to something, in ascending order.
std::vector<TComPortEntry> EnumerateComPorts(int maxNumber = 255);

// Device path of one COM number, empty when it resolves to nothing.
std::string ComDevicePath(int comNumber);

// Where the description of a port is looked up; tests give folders of their own.
struct TComLookupRoots {
  std::string Sys = "/sys";                  // sysfs: class/tty/<node>/device and its parents
  std::string ById = "/dev/serial/by-id";    // udev's stable names, when sysfs says nothing
};

// What is behind a port, for a person choosing one: "FTDI FT232R USB UART, ttyUSB0",
// "serial port, ttyS0", "simulator, pts/7". Empty when nothing is known (on Windows for now).
std::string ComPortDescription(const std::string& devicePath, const TComLookupRoots& roots = {});

// Whether a device node can be opened for exclusive use now. Never keeps it open.
TComPortState ProbeDevicePath(const std::string& path);
TComPortState ProbeComPort(int comNumber);
