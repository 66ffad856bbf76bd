#pragma once
// A plain-text transcript of a serial dialogue, as the program and the simulator write it:
// one line per line the device prints and per answer typed, each with its time offset in
// seconds and its direction (">>" to the device, "<<" from it, "--" an event). Control
// characters are spelled out. Passwords and keys never appear: lines are masked whole, after
// the pieces the line delivered have been put together.

#include <chrono>
#include <fstream>
#include <mutex>
#include <set>
#include <string>

class TTranscript final {
 public:
  // Opens the file afresh; IsOpen tells whether that worked.
  explicit TTranscript(const std::string& path);
  ~TTranscript();  // writes the lines still incomplete
  TTranscript(const TTranscript&) = delete;
  TTranscript& operator=(const TTranscript&) = delete;

  bool IsOpen() const { return out_.is_open() && out_.good(); }
  // Bytes sent to the device (sent) or received from it, in the order they went.
  void Record(bool sent, const std::string& bytes);
  void Event(const std::string& text);
  void Flush();
  // The device's line still coming (a prompt waiting for its answer), masked and spelled out as
  // its finished line will be; empty when there is none.
  std::string Unfinished();

  // Control characters and bytes outside ASCII as <CR>, <LF>, <BEL>, <xx>.
  static std::string Readable(const std::string& bytes);
  // One whole device line with the values of password and key lines, and what follows a
  // question for a secret, replaced by stars.
  static std::string MaskLine(const std::string& line);
  // Whether the line is a question for a secret, so that the answer to it is masked.
  static bool AsksForSecret(const std::string& line);

 private:
  using Clock = std::chrono::steady_clock;
  struct TPending {
    std::string text;
    Clock::time_point start;
    bool secret = false;  // sent: an answer to a secret question; received: its echo
  };

  void Complete(bool sent, bool withEnd);
  void FlushOther(bool sent);
  void FlushPending();
  void Write(Clock::time_point at, const char* direction, const std::string& text);
  std::string Hide(std::string text) const;

  std::mutex lock_;
  std::ofstream out_;
  Clock::time_point start_ = Clock::now();
  TPending pending_[2];            // [1]: sent, [0]: received
  std::string lastReceived_;       // the last whole line from the device
  bool sentAfterCr_ = false;       // the last byte sent was CR: an LF after it ends nothing
  bool echoSecret_ = false;        // a secret answer went out; its echo runs to the next line end
  std::set<std::string> secrets_;  // values seen in secret places, masked wherever they recur
};
