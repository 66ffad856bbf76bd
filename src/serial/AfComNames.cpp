#include "AfComNames.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Number after the prefix of a file name ("ttyUSB12" with "ttyUSB" gives 12), -1 otherwise.
int SuffixNumber(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
  int n = 0;
  for (size_t i = prefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    if (n > 100000) return -1;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

// A ttyS node exists for every possible legacy port; only those with a UART behind them count.
bool HasKnownUart(const std::string& name) {
  std::ifstream f("/sys/class/tty/" + name + "/type");
  int type = 0;
  return f && (f >> type) && type != 0;
}

// Where the serial device nodes are looked for; tests point it at an empty folder so that the
// machine's own ports stay out of their way.
std::string DeviceDirectory() {
  const char* dir = std::getenv("KAVRUNE_DEV_DIR");
  return dir && *dir ? dir : "/dev";
}

std::vector<std::string> RealSerialDevices() {
  static const char* const families[] = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "rfcomm"};
  std::map<std::string, std::vector<std::pair<int, std::string>>> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(DeviceDirectory(), ec)) {
    const std::string name = e.path().filename().string();
    for (const char* fam : families) {
      const int n = SuffixNumber(name, fam);
      if (n < 0) continue;
      if (std::string(fam) == "ttyS" && !HasKnownUart(name)) continue;
      found[fam].emplace_back(n, e.path().string());
    }
  }
  std::vector<std::string> out;
  for (const char* fam : families) {
    auto& v = found[fam];
    std::sort(v.begin(), v.end());
    for (auto& [n, path] : v) out.push_back(path);
  }
  return out;
}

std::string Canonical(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::canonical(path, ec);
  return ec ? path : p.string();
}

// First line of a sysfs attribute without its line end; empty when there is none.
std::string ReadAttribute(const fs::path& file) {
  std::ifstream f(file);
  std::string line;
  std::getline(f, line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

// The maker and product a USB device gives. A usb-serial port sits below its interface, which
// sits below the device; a cdc-acm port is the interface itself. The walk ends at the USB
// device (the one with idVendor), so a device without a product string never borrows its hub's.
std::string UsbName(const fs::path& sysRoot, const std::string& node) {
  std::error_code ec;
  fs::path dir = fs::canonical(sysRoot / "class" / "tty" / node / "device", ec);
  if (ec) return {};
  std::string interface;
  for (int up = 0; up < 3 && dir.has_relative_path(); ++up, dir = dir.parent_path()) {
    if (interface.empty()) interface = ReadAttribute(dir / "interface");
    const std::string vendor = ReadAttribute(dir / "idVendor");
    if (vendor.empty()) continue;
    const std::string product = ReadAttribute(dir / "product");
    const std::string maker = ReadAttribute(dir / "manufacturer");
    if (product.empty()) return interface.empty() ? "USB " + vendor + ":" + ReadAttribute(dir / "idProduct") : interface;
    return maker.empty() || product.find(maker) != std::string::npos ? product : maker + " " + product;
  }
  return interface;
}

// udev's name for the node ("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0") made readable.
std::string ByIdName(const fs::path& byIdDir, const fs::path& node) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(byIdDir, ec)) {
    std::error_code ec2;
    fs::path target = fs::read_symlink(e.path(), ec2);
    if (ec2) continue;
    if (target.is_relative()) target = e.path().parent_path() / target;
    if (fs::weakly_canonical(target, ec2) != node) continue;
    std::string name = e.path().filename().string();
    for (const char* bus : {"usb-", "pci-", "platform-"})
      if (name.rfind(bus, 0) == 0) name.erase(0, std::string(bus).size());
    if (const size_t tail = name.rfind("-if"); tail != std::string::npos && tail > 0) name.erase(tail);
    std::replace(name.begin(), name.end(), '_', ' ');
    return name;
  }
  return {};
}

// When nothing names the hardware, the kind of port its node's family stands for.
std::string FamilyName(const std::string& node) {
  if (node.rfind("pts/", 0) == 0) return "simulator";  // our COM links lead to a pseudo-terminal only from kavrune-sim
  if (node.rfind("ttyUSB", 0) == 0 || node.rfind("ttyACM", 0) == 0) return "USB-serial";
  if (node.rfind("rfcomm", 0) == 0) return "Bluetooth";
  if (node.rfind("ttyS", 0) == 0 || node.rfind("ttyAMA", 0) == 0) return "serial port";
  return {};
}

}  // namespace

std::string ComLinkDirectory() {
  if (const char* dir = std::getenv("KAVRUNE_COM_DIR"); dir && *dir) return dir;
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.config/kavrune/com";
}

std::vector<TComPortEntry> EnumerateComPorts(int maxNumber) {
  std::map<int, std::string> links;
  std::set<std::string> linkedTargets;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(ComLinkDirectory(), ec)) {
    const int n = SuffixNumber(e.path().filename().string(), "com");
    if (n < 1 || n > maxNumber) continue;
    if (!fs::exists(e.path(), ec)) continue;  // a dangling link is no port
    links[n] = e.path().string();
    linkedTargets.insert(Canonical(e.path().string()));
  }

  std::vector<TComPortEntry> out;
  const auto devices = RealSerialDevices();
  size_t next = 0;
  for (int n = 1; n <= maxNumber; ++n) {
    if (auto it = links.find(n); it != links.end()) {
      out.push_back({n, it->second});
      continue;
    }
    // A device that a link already names keeps only that number.
    while (next < devices.size() && linkedTargets.count(Canonical(devices[next]))) ++next;
    if (next < devices.size()) {
      out.push_back({n, devices[next++]});
    } else if (links.empty() || links.rbegin()->first < n) {
      break;
    }
  }
  return out;
}

std::string ComDevicePath(int comNumber) {
  if (comNumber < 1) return {};
  for (const auto& e : EnumerateComPorts(comNumber))
    if (e.ComNumber == comNumber) return e.DevicePath;
  return {};
}

TComPortState ProbeDevicePath(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENODEV || errno == ENXIO || errno == ENOTDIR) return TComPortState::Absent;
    return TComPortState::InUse;  // busy, exclusive or no access: not free for us
  }
  TComPortState state = TComPortState::Free;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) state = TComPortState::InUse;
  ::close(fd);  // also drops our lock
  return state;
}

TComPortState ProbeComPort(int comNumber) {
  const std::string path = ComDevicePath(comNumber);
  return path.empty() ? TComPortState::Absent : ProbeDevicePath(path);
}

std::string ComPortDescription(const std::string& devicePath, const TComLookupRoots& roots) {
  std::error_code ec;
  fs::path node = fs::weakly_canonical(devicePath, ec);
  if (ec) node = devicePath;
  const std::string full = node.string();
  const std::string shown = full.rfind("/dev/", 0) == 0 ? full.substr(5) : node.filename().string();
  std::string what;
  if (shown.rfind("pts/", 0) != 0) what = UsbName(roots.Sys, node.filename().string());
  if (what.empty()) what = ByIdName(roots.ById, node);
  // The simulator names the unit it plays beside its link ("com7.unit").
  if (what.empty() && shown.rfind("pts/", 0) == 0) {
    std::ifstream unit(devicePath + ".unit");
    std::string mac;
    if (unit && std::getline(unit, mac) && !mac.empty() && mac.size() <= 32) what = "simulated unit " + mac;
  }
  if (what.empty()) what = FamilyName(shown);
  return what.empty() ? shown : what + ", " + shown;
}
