// COM numbers on Windows are the system's own: COM n is \\.\COMn. The drivers announce their
// ports under HARDWARE\DEVICEMAP\SERIALCOMM; ports that software makes later (virtual
// ports, wine's dosdevices links) may be missing there, so the numbers it does not name are
// probed with a plain open.
#include <windows.h>

#include <cctype>
#include <set>

#include "AfComNames.h"

namespace {

// "COM12" gives 12; anything else 0.
int ComNumberOf(const std::string& name) {
  if (name.size() < 4 || _strnicmp(name.c_str(), "COM", 3) != 0) return 0;
  int n = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || n > 1000) return 0;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

std::set<int> AnnouncedPorts() {
  std::set<int> found;
  HKEY key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return found;
  for (DWORD i = 0;; ++i) {
    char name[256], data[64];
    DWORD nameLen = sizeof name, dataLen = sizeof data - 1, type = 0;
    const LONG r = ::RegEnumValueA(key, i, name, &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataLen);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS || type != REG_SZ) continue;
    data[dataLen] = '\0';
    if (const int n = ComNumberOf(data); n > 0) found.insert(n);
  }
  ::RegCloseKey(key);
  return found;
}

}  // namespace

// The drivers of real ports admit one open at a time, but other serial drivers (wine's among
// them) admit several: our ports also hold a named mutex while open, as flock does on Linux.
std::string AfPortLockName(const std::string& path) {
  std::string name = "Local\\kavrune-serial-";
  for (char c : path.rfind("\\\\.\\", 0) == 0 ? path.substr(4) : path)
    name += std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : '_';
  return name;
}

std::string ComLinkDirectory() { return {}; }

std::vector<TComPortEntry> EnumerateComPorts(int maxNumber) {
  const std::set<int> announced = AnnouncedPorts();
  std::vector<TComPortEntry> out;
  for (int n = 1; n <= maxNumber; ++n) {
    const std::string path = ComDevicePath(n);
    if (announced.count(n) || ProbeDevicePath(path) != TComPortState::Absent) out.push_back({n, path});
  }
  return out;
}

std::string ComDevicePath(int comNumber) {
  if (comNumber < 1 || comNumber > 255) return {};
  return "\\\\.\\COM" + std::to_string(comNumber);
}

// The device manager's friendly name would go here; the COM number says enough for now.
std::string ComPortDescription(const std::string&, const TComLookupRoots&) { return {}; }

TComPortState ProbeDevicePath(const std::string& path) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    ::CloseHandle(h);
    HANDLE lock = ::OpenMutexA(SYNCHRONIZE, FALSE, AfPortLockName(path).c_str());
    if (!lock) return TComPortState::Free;
    ::CloseHandle(lock);
    return TComPortState::InUse;
  }
  const DWORD e = ::GetLastError();
  if (e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION || e == ERROR_BUSY) return TComPortState::InUse;
  return TComPortState::Absent;
}

TComPortState ProbeComPort(int comNumber) {
  const std::string path = ComDevicePath(comNumber);
  return path.empty() ? TComPortState::Absent : ProbeDevicePath(path);
}
