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
