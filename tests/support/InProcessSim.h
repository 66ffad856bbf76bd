#pragma once
// The simulated device in the test's own process, on a real pseudo-terminal published as COM n in
// a private COM folder, for tests that watch or steer the device while the engine talks to it:
// what it received, what happened to it ("store", "defaults", "menu WLAN" ...), its settings.
// Every wait is on an event, bounded only so that a failing run ends.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SimLine.h"
#include "TestPlatform.h"

struct InProcessSimOptions {
  TSimSettings State = SimDefaults();
  bool AtRootMenu = false;  // powered and in Setup Mode before the client opens the port
  TSimFault Fault = TSimFault::None;
  TSimProfile Profile = {};  // the kind of unit
  bool TakesEarlyEnter = false, TypeAhead = false;
  bool LineEcho = false;  // the line echoes what it brings, ahead of the unit's answer
  std::chrono::milliseconds Latency{0};
  std::chrono::microseconds CharTime{0};  // pacing; 0: unpaced
  std::chrono::milliseconds Jitter{0};
  unsigned Seed = 1;        // of the jitter's pauses and corrupt-digit's digit
  unsigned FaultAfter = 4;  // where restart-in-walk and status-line strike
  std::chrono::milliseconds BootWindow{3000};  // how long the offer stays open
};

class InProcessSim final {
 public:
  explicit InProcessSim(int com, InProcessSimOptions options = {})
      : device_(std::move(options.State), DeviceOptions(options)),
        line_(device_, {options.CharTime, options.Jitter, options.Seed, options.AtRootMenu, -1},
              [this, com](const std::string& slave) { Publish(com, slave); }) {
    device_.OnEvent = [this](const std::string& e) { Record(e); };
    line_.OnEvent = device_.OnEvent;
    line_.OnBytes = [this](bool fromClient, std::string_view bytes) {
      std::lock_guard g(lock_);
      Log(fromClient ? ">> " : "<< ", bytes);
      if (!fromClient) return;
      received_.append(bytes);
      changed_.notify_all();
    };
    if (options.AtRootMenu) {
      device_.PowerOn(std::chrono::steady_clock::now());
      device_.Receive("\r", std::chrono::steady_clock::now());
      device_.Consume(device_.Pending().size());
    }
    thread_ = std::thread([this] {
      try {
        line_.Run();
      } catch (const std::exception& e) {
        Record(std::string("line failed: ") + e.what());
      }
    });
  }
  ~InProcessSim() {
    line_.Stop();
    thread_.join();
  }
  InProcessSim(const InProcessSim&) = delete;
  InProcessSim& operator=(const InProcessSim&) = delete;

  // Runs fn with the device, between two steps of the line.
  template <class F>
  auto With(F&& fn) {
    return line_.With(std::forward<F>(fn));
  }
  TSimSettings Stored() {
    return With([](TSimDevice& d) { return d.Stored(); });
  }
  std::string Current(const char* section, const char* key) {
    return With([&](TSimDevice& d) { return d.Current().Get(section, key); });
  }
  TSimLine& Line() { return line_; }

  // What the device received, and how often an event happened to it.
  std::string Received() {
    std::lock_guard g(lock_);
    return received_;
  }
  // Both directions and the device's events, one line each, control characters named.
  std::string Transcript() {
    std::lock_guard g(lock_);
    return transcript_;
  }
  void ClearReceived() {
    std::lock_guard g(lock_);
    received_.clear();
  }
  size_t Count(const std::string& event) {
    std::lock_guard g(lock_);
    size_t n = 0;
    for (const std::string& e : events_) n += e == event;
    return n;
  }
  // Waits until the event has happened n times in all.
  bool WaitEvent(const std::string& event, size_t n = 1) {
    return Wait([&] {
      size_t count = 0;
      for (const std::string& e : events_) count += e == event;
      return count >= n;
    });
  }
  // Waits until the device has received text n times in all.
  bool WaitReceived(const std::string& text, size_t n = 1) {
    return Wait([&] {
      size_t count = 0;
      for (auto p = received_.find(text); p != std::string::npos; p = received_.find(text, p + text.size())) ++count;
      return count >= n;
    });
  }
  // fn is called on the line's thread, the device locked, as each event happens: a test can
  // hold the line or change the device at an exact point of the dialogue.
  void OnEvent(std::function<void(const std::string& event)> fn) {
    With([&](TSimDevice&) { onEvent_ = std::move(fn); });
  }

 private:
  static TSimDevice::TOptions DeviceOptions(const InProcessSimOptions& o) {
    TSimDevice::TOptions d;
    d.Fault = o.Fault;
    d.CharTime = o.CharTime;
    d.Profile = o.Profile;
    d.TakesEarlyEnter = o.TakesEarlyEnter;
    d.TypeAhead = o.TypeAhead;
    d.Echo = o.LineEcho;
    d.Latency = o.Latency;
    d.FaultAfter = o.FaultAfter;
    d.Seed = o.Seed;
    d.BootWindow = o.BootWindow;
    return d;
  }
  // Called locked. A device line end starts a new line; so does every change of direction.
  void Log(const char* direction, std::string_view bytes) {
    for (char c : bytes) {
      if (lastDirection_ != direction || (atLineStart_ && c != '\r' && c != '\n')) {
        if (!transcript_.empty() && transcript_.back() != '\n') transcript_ += '\n';
        transcript_ += direction;
        lastDirection_ = direction;
        atLineStart_ = false;
      }
      if (c == '\r') transcript_ += "<CR>";
      else if (c == '\n') transcript_ += "<LF>";
      else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) transcript_ += "<" + std::to_string(int(c)) + ">";
      else transcript_ += c;
      if ((c == '\r' || c == '\n') && *direction == '<') atLineStart_ = true;
    }
  }
  void Publish(int com, const std::string& slave) {
    const std::string link = dir_.Link(com), temp = link + ".new";
    std::filesystem::remove(temp);
    std::filesystem::create_symlink(slave, temp);
    std::filesystem::rename(temp, link);
  }
  void Record(const std::string& event) {
    {
      std::lock_guard g(lock_);
      events_.push_back(event);
      if (!transcript_.empty() && transcript_.back() != '\n') transcript_ += '\n';
      transcript_ += "-- " + event + "\n";
      atLineStart_ = true;
      changed_.notify_all();
    }
    if (onEvent_) onEvent_(event);
  }
  template <class P>
  bool Wait(P done) {
    std::unique_lock g(lock_);
    return changed_.wait_for(g, std::chrono::seconds(30), done);
  }

  TempComDir dir_;
  TSimDevice device_;
  TSimLine line_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::string received_;
  std::vector<std::string> events_;
  std::string transcript_;
  const char* lastDirection_ = "";
  bool atLineStart_ = true;
  std::function<void(const std::string&)> onEvent_;
  std::thread thread_;
};
