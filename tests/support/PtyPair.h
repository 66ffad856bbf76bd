#pragma once
// A pseudo-terminal published as a COM number, for tests that need a real serial device node.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "TestPlatform.h"

class PtyPair {
 public:
  // Opens a pseudo-terminal; with comNumber > 0 its slave is published as comN in dir.
  explicit PtyPair(const TempComDir* dir = nullptr, int comNumber = 0) {
    int slave = -1;
    char name[256];
    if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) return;
    slavePath_ = name;
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    ::close(slave);  // the port under test opens the slave itself
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (dir && comNumber > 0) {
      link_ = dir->Link(comNumber);
      std::filesystem::create_symlink(slavePath_, link_);
    }
  }
  ~PtyPair() {
    if (!link_.empty()) ::unlink(link_.c_str());
    if (master_ >= 0) ::close(master_);
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int Master() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }

  void Send(const std::string& s) const {
    size_t done = 0;
    while (done < s.size()) {
      const ssize_t n = ::write(master_, s.data() + done, s.size() - done);
      if (n > 0) done += static_cast<size_t>(n);
      else std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  // Reads what the port sent until `want` bytes arrived or timeoutMs passed.
  std::string Receive(size_t want, int timeoutMs = 2000) const {
    std::string out;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < want && std::chrono::steady_clock::now() < until) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
        char buf[4096];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) out.append(buf, static_cast<size_t>(n));
      }
    }
    return out;
  }

  // Line settings as the slave has them (a pseudo-terminal shares them with its master).
  termios Settings() const {
    termios t{};
    ::tcgetattr(master_, &t);
    return t;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
  std::string link_;
};
