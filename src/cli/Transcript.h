#pragma once
// A readable transcript of the serial dialogue: time, direction and the bytes with control
// characters spelled out. Passwords and keys do not appear in it.

#include <chrono>
#include <fstream>
#include <mutex>
#include <string>

class TTranscript final {
 public:
  explicit TTranscript(const std::string& path);
  bool IsOpen() const { return out_.is_open(); }
  void Record(bool sent, const std::string& bytes);

  // Control characters as <CR>, <LF>, <BEL>, <xx>.
  static std::string Readable(const std::string& bytes);
  // A received text with the values of password lines replaced by stars.
  static std::string MaskReceived(const std::string& text);
  // Whether the device is asking for a secret, so that what is typed next is masked.
  static bool AsksForSecret(const std::string& text);

 private:
  std::mutex lock_;
  std::ofstream out_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  bool secret_ = false;
};
