#include "AfPortHolders.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#endif

#ifdef _WIN32

std::vector<TPortHolder> PortHolders(const std::string&) { return {}; }

#else

namespace {

// A device is the same under every name (its node, a by-id link, a comN link): the device
// number tells. Anything else that stands for a port is the same file.
bool SameNode(const struct stat& a, const struct stat& b) {
  if (S_ISCHR(a.st_mode) || S_ISCHR(b.st_mode))
    return S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode) && a.st_rdev == b.st_rdev;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

// Every process's open descriptors are links under /proc; those of other users stay unreadable,
// so a port held by another user's program goes unnamed. path may be a link (comN): the stat of
// it and of each descriptor is that of the node it leads to. Programs that hold a port without
// a lock (cat, a shell's redirection) are found here as well as those that locked it.
std::vector<TPortHolder> PortHolders(const std::string& path) {
  namespace fs = std::filesystem;
  struct stat wanted {};
  if (path.empty() || ::stat(path.c_str(), &wanted) != 0) return {};
  std::vector<TPortHolder> holders;
  std::error_code ec;
  for (const auto& proc : fs::directory_iterator("/proc", ec)) {
    const std::string pid = proc.path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || std::stoi(pid) == ::getpid())
      continue;
    std::error_code ec2;
    for (const auto& fd : fs::directory_iterator(proc.path() / "fd", ec2)) {
      struct stat st {};
      if (::stat(fd.path().c_str(), &st) != 0 || !SameNode(st, wanted)) continue;
      TPortHolder holder{std::stoi(pid), {}};
      std::getline(std::ifstream(proc.path() / "comm"), holder.Name);
      holders.push_back(holder);
      break;
    }
  }
  return holders;
}

#endif
