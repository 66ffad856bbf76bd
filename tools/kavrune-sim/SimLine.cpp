#include "SimLine.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <utility>

namespace {

// The first n bytes of text end as a prompt does: ")", ":" or "?", then at most two blanks, with
// more text after them, be it the rest of the line or its end ("Main menu:" before its line end).
bool EndsLikePrompt(const std::string& text, std::size_t n) {
  std::size_t last = n;
  while (last > 0 && n - last < 2 && text[last - 1] == ' ') --last;
  if (last == 0) return false;
  const char c = text[last - 1];
  return c == ')' || c == ':' || c == '?';
}

using namespace std::chrono_literals;

constexpr auto kOpenHold = 50ms;
constexpr auto kHangupPoll = 10ms;
constexpr char kWakeStop = 'q';
constexpr char kWakeLook = 'w';

std::runtime_error SystemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

TSimLine::TSimLine(TSimDevice& device, TSimLineOptions options, std::function<void(const std::string&)> publish)
    : m_Device(device), m_Options(options), m_Publish(std::move(publish)), m_JitterRng(options.Seed) {
  if (::pipe2(m_Wake, O_CLOEXEC | O_NONBLOCK) != 0) throw SystemError("Cannot create a pipe");
  try {
    const std::string slave = OpenPseudoTerminal();
    if (m_Publish) m_Publish(slave);
  } catch (...) {
    CloseAll();
    throw;
  }
}

TSimLine::~TSimLine() { CloseAll(); }

void TSimLine::CloseAll() {
  for (int* fd : {&m_Master, &m_Wake[0], &m_Wake[1]})
    if (*fd >= 0) ::close(std::exchange(*fd, -1));
}

int SimOpenPseudoTerminal(std::string& slave) {
  int m = -1, s = -1;
  char name[256] = {};
  termios raw{};
  cfmakeraw(&raw);
  raw.c_cflag |= CLOCAL | CREAD;
  if (::openpty(&m, &s, name, &raw, nullptr) != 0) throw SystemError("Cannot open a pseudo-terminal");
  ::close(s);  // see the top of SimLine.h: an open slave of our own would hide the client's opens
  tcsetattr(m, TCSANOW, &raw);
  ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
  ::fcntl(m, F_SETFD, FD_CLOEXEC);
  slave = name;
  return m;
}

bool SimSlaveClosed(int master) {
  pollfd p{master, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP);
}

std::string TSimLine::OpenPseudoTerminal() {
  std::string name;
  const int m = SimOpenPseudoTerminal(name);
  const int old = std::exchange(m_Master, m);
  if (old >= 0) {
    // The fresh port is published before the old one dies, so a client that reopens the name
    // as soon as it sees the hangup finds the new port.
    try {
      if (m_Publish) m_Publish(name);
    } catch (...) {
      ::close(std::exchange(m_Master, old));
      throw;
    }
    ::close(old);
  }
  return name;
}

void TSimLine::Stop() { [[maybe_unused]] auto r = ::write(m_Wake[1], &kWakeStop, 1); }

void TSimLine::PowerCycle() {
  std::lock_guard guard(m_Lock);
  Event("power command");
  m_Device.PowerOn(TClock::now());
  m_Powered = true;
  [[maybe_unused]] auto r = ::write(m_Wake[1], &kWakeLook, 1);
}

void TSimLine::Hold(bool held) {
  std::lock_guard guard(m_Lock);
  m_Held = held;
  [[maybe_unused]] auto r = ::write(m_Wake[1], &kWakeLook, 1);
}

void TSimLine::Event(const std::string& text) {
  if (OnEvent) OnEvent(text);
}

void TSimLine::Run() {
  {
    std::lock_guard guard(m_Lock);
    const auto now = TClock::now();
    m_Open = !SimSlaveClosed(m_Master);
    m_OpenSince = m_NextChar = now;
    if (m_Options.PowerOnStart) {
      // A device its owner has powered already stays where it is.
      if (m_Device.Mode() == TSimMode::Off) m_Device.PowerOn(now);
      m_Powered = true;
    }
  }
  // Standard input is read only when asked: a simulator started in the background of a shell
  // would otherwise be stopped by the terminal, and one started from a script would see EOF.
  int controlFd = m_Options.ControlFd;
  for (;;) {
    std::chrono::milliseconds wait;
    int master;
    {
      std::lock_guard guard(m_Lock);
      if (!m_Running) break;
      wait = Turn(TClock::now());
      master = m_Open ? m_Master : -1;
    }
    pollfd fds[3] = {{m_Wake[0], POLLIN, 0}, {controlFd, POLLIN, 0}, {master, POLLIN, 0}};
    if (::poll(fds, 3, static_cast<int>(wait.count())) < 0) {
      if (errno == EINTR) continue;
      throw SystemError("poll");
    }
    if (fds[0].revents) {
      char buf[64];
      bool stop = false;
      for (ssize_t n; (n = ::read(m_Wake[0], buf, sizeof buf)) > 0;)
        stop = stop || std::find(buf, buf + n, kWakeStop) != buf + n;
      if (stop) break;
    }
    if (fds[1].revents) {
      char buf[256];
      const ssize_t n = ::read(controlFd, buf, sizeof buf);
      if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
        controlFd = -1;  // the end of the control input leaves the device running
      else if (n > 0) Control(std::string_view(buf, static_cast<std::size_t>(n)));
    }
    if (fds[2].revents & POLLIN) {
      std::lock_guard guard(m_Lock);
      char buf[512];
      const ssize_t n = ::read(m_Master, buf, sizeof buf);
      if (n > 0) {
        const std::string_view bytes(buf, static_cast<std::size_t>(n));
        if (OnBytes) OnBytes(true, bytes);
        if (m_Powered) m_Device.Receive(bytes, TClock::now());
      }
    }
  }
}

std::chrono::milliseconds TSimLine::Turn(TClock::time_point now) {
  constexpr auto kNever = TClock::time_point::max();
  // Follow the slave's open state.
  const bool closed = SimSlaveClosed(m_Master);
  if (closed && m_Open) {
    m_Open = false;
    m_Powered = false;
    m_Device.PowerOff();
    Event("port closed");
  } else if (!closed && !m_Open) {
    m_Open = true;
    m_OpenSince = now;
    Event("port opened");
  }
  if (m_Open && !m_Powered && now - m_OpenSince >= kOpenHold) {
    tcflush(m_Master, TCIOFLUSH);  // what came while the device was off is lost
    m_Device.PowerOn(now);
    m_Powered = true;
  }

  m_Device.Tick(now);

  // Output, paced at the line's character time. Bursts: after each write the output is held for
  // a random pause; what fell due meanwhile goes out in one write, as from a device that prints
  // in spurts or an adapter that packs.
  const auto charTime = m_Options.CharTime;
  const auto jitter = m_Options.Jitter;
  const std::string& pending = m_Device.Pending();
  const auto composed = m_Device.HeldUntil();  // a device answering late
  if (m_Open && !m_Held && !pending.empty() && now >= m_HoldUntil && now >= composed) {
    std::size_t due = pending.size();
    if (charTime.count() > 0) {
      if (m_NextChar < now - 20ms - jitter) m_NextChar = now;  // idle time does not bank characters
      m_NextChar = std::max(m_NextChar, composed);
      due = now >= m_NextChar ? 1 + static_cast<std::size_t>((now - m_NextChar) / charTime) : 0;
      due = std::min(due, pending.size());
    } else if (jitter.count() > 0) {
      due = 1 + m_JitterRng() % std::min<std::size_t>(due, 256);
    }
    // A write that ends right after ")", ":" or "?" with more to come looks, to a client, like a
    // device waiting at a prompt. A steady line never pauses there, so that a loaded machine
    // holding this process up just then is no pause of the unit's: the few characters up to the
    // next other one go out with it. A line in bursts pauses anywhere, as an adapter's does.
    if (jitter.count() == 0)
      while (due > 0 && due < pending.size() && EndsLikePrompt(pending, due)) ++due;
    // Except where the unit's profile has it pause: right after a menu's heading.
    if (auto p = m_Device.PauseAfter(); p && *p > 0) due = std::min(due, *p);
    if (auto h = m_Device.HangupAfter()) due = std::min(due, *h);
    if (due > 0) {
      const ssize_t n = ::write(m_Master, pending.data(), due);
      if (n > 0) {
        if (OnBytes) OnBytes(false, std::string_view(pending.data(), static_cast<std::size_t>(n)));
        m_Device.Consume(static_cast<std::size_t>(n));
        m_NextChar += charTime * n;
        if (jitter.count() > 0)
          m_HoldUntil =
              now + std::chrono::microseconds(m_JitterRng() % (1000 * static_cast<unsigned>(jitter.count()) + 1));
        m_AdapterHolds = false;
        if (auto p = m_Device.PauseAfter(); p && *p == 0) {
          m_HoldUntil = std::max(m_HoldUntil, now + m_Device.PauseLength());
          m_AdapterHolds = m_Device.PauseIsAdapters();
          m_Device.PauseDone();
        }
        // What is left waits out the hold, and the unit with it, unless the adapter alone holds it.
        if (!pending.empty() && !m_AdapterHolds) m_Device.LineHolds(m_HoldUntil);
      }
    }
  } else if (!m_Open && !pending.empty()) {
    m_Device.Consume(pending.size());  // nobody listens
  }
  // When what is pending would be out at the line's pace, from where the line stands now; never,
  // while the line is held.
  if (charTime.count() > 0)
    m_Device.LineSchedule(m_Held ? TClock::time_point::max()
                                 : std::max({now, m_NextChar, m_AdapterHolds ? now : m_HoldUntil, composed}) +
                                       charTime * static_cast<long>(pending.size()));

  const bool holding = m_Device.HangupAfter() && *m_Device.HangupAfter() == 0;
  if (holding && m_HangupDue == kNever) m_HangupDue = now + 100ms;  // what is on the line reaches the client first
  if (!m_Open) m_HangupDue = kNever;
  if (m_HangupDue != kNever && now >= m_HangupDue) {
    // The line goes dead under the client; a fresh port takes the published name.
    m_HangupDue = kNever;
    Event("hangup");
    m_Device.HangupDone();
    m_Device.PowerOff();
    const std::string slave = OpenPseudoTerminal();
    m_Open = false;
    m_Powered = false;
    Event("new port " + slave);
    return 0ms;
  }

  // How long to wait for input.
  auto wait = 1000ms;
  auto until = [&](TClock::time_point t) {
    auto d = std::chrono::duration_cast<std::chrono::milliseconds>(t - now) + 1ms;
    wait = std::min(wait, std::max(d, 0ms));
  };
  if (m_Open && !m_Held && !pending.empty() && !holding)
    until(std::max({charTime.count() ? m_NextChar : now, m_HoldUntil, composed}));
  if (auto d = m_Device.NextDeadline()) until(*d);
  if (m_HangupDue != kNever) until(m_HangupDue);
  if (m_Device.Mode() == TSimMode::Chatter) wait = std::min<std::chrono::milliseconds>(wait, 10ms);
  if (!m_Open || !m_Powered) wait = std::min<std::chrono::milliseconds>(wait, kHangupPoll);
  return wait;
}

void TSimLine::Control(std::string_view bytes) {
  if (m_Control.size() > 4096) m_Control.clear();
  m_Control.append(bytes);
  for (auto nl = m_Control.find('\n'); nl != std::string::npos; nl = m_Control.find('\n')) {
    std::string cmd = m_Control.substr(0, nl);
    m_Control.erase(0, nl + 1);
    while (!cmd.empty() && (cmd.back() == '\r' || cmd.back() == ' ')) cmd.pop_back();
    if (cmd == "quit") {
      std::lock_guard guard(m_Lock);
      m_Running = false;
    } else if (cmd == "power") {
      PowerCycle();
    } else if (!cmd.empty()) {
      std::cerr << "kavrune-sim: unknown command " << cmd << "\n";
    }
  }
}
