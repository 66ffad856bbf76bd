#include "uFileUtils.h"

#include <cerrno>
#include <cstdio>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
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

#ifdef _WIN32
TDurableAppendFile::TDurableAppendFile(const std::string& path) {
  fd_ = ::_open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  if (fd_ >= 0) wasEmpty_ = ::_lseeki64(fd_, 0, SEEK_END) == 0;
}

TDurableAppendFile::~TDurableAppendFile() {
  if (fd_ >= 0) ::_close(fd_);
}

bool TDurableAppendFile::Append(const std::string& bytes) {
  if (fd_ < 0) return false;
  const __int64 before = ::_lseeki64(fd_, 0, SEEK_END);
  const int written = ::_write(fd_, bytes.data(), static_cast<unsigned>(bytes.size()));
  if (written == static_cast<int>(bytes.size()) && ::_commit(fd_) == 0) return true;
  if (before >= 0) ::_chsize_s(fd_, before);
  return false;
}
#else
TDurableAppendFile::TDurableAppendFile(const std::string& path) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  struct stat st {};
  if (fd_ >= 0 && ::fstat(fd_, &st) == 0) wasEmpty_ = st.st_size == 0;
  // A folder opens for reading only, so it never gets here; anything but a plain file (a
  // terminal, a pipe) cannot be made durable and is refused as well.
  if (fd_ >= 0 && !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
  }
}

TDurableAppendFile::~TDurableAppendFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool TDurableAppendFile::Append(const std::string& bytes) {
  if (fd_ < 0) return false;
  const off_t before = ::lseek(fd_, 0, SEEK_END);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  if (done == bytes.size() && ::fsync(fd_) == 0) return true;
  // Half a record would spoil the line after it as well.
  if (before >= 0 && ::ftruncate(fd_, before) == 0) ::fsync(fd_);
  return false;
}
#endif
