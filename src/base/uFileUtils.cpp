#include "uFileUtils.h"

#include <cstdio>
#include <fstream>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

int ProcessId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(::getpid());
#endif
}

bool MoveOver(const std::string& from, const std::string& to) {
#ifdef _WIN32
  // rename() of the C library refuses an existing target here.
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  // The process id keeps two programs writing the same file from sharing a temporary one.
  const std::string temp = path + ".tmp" + std::to_string(ProcessId());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      std::remove(temp.c_str());
      return false;
    }
  }
  if (!MoveOver(temp, path)) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}
