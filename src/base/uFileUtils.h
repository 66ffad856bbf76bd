#pragma once
// File helpers every part of the program may use (std and the platform's C library only).

#include <string>

// Writes the bytes beside the target under a name of this process and puts that file in the
// target's place in one step, so a failed or interrupted write never leaves half a file and a
// reader sees the old content or the new. False when the file could not be written; the target
// is then untouched.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);

// A file that records are added to at its end, each on the disk before Append returns, so a
// crash loses no record that was finished. A record that cannot be written whole is taken back.
class TDurableAppendFile final {
 public:
  explicit TDurableAppendFile(const std::string& path);  // creates the file when it is missing
  ~TDurableAppendFile();
  TDurableAppendFile(const TDurableAppendFile&) = delete;
  TDurableAppendFile& operator=(const TDurableAppendFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  bool WasEmpty() const { return wasEmpty_; }  // held nothing when it was opened
  bool Append(const std::string& bytes);

 private:
  int fd_ = -1;
  bool wasEmpty_ = true;
};
