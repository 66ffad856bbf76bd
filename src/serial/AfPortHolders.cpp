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

// Every process's open descriptors are links under /proc; those of other users stay unreadable,
// so a port held by another user's program goes unnamed.
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
      if (::stat(fd.path().c_str(), &st) != 0 || st.st_rdev != wanted.st_rdev || !S_ISCHR(st.st_mode)) continue;
      TPortHolder holder{std::stoi(pid), {}};
      std::getline(std::ifstream(proc.path() / "comm"), holder.Name);
      holders.push_back(holder);
      break;
    }
  }
  return holders;
}

#endif
