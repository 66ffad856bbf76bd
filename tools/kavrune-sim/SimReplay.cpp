#include "SimReplay.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>

#include "SimLine.h"
#include "uTranscript.h"

namespace {

using namespace std::chrono_literals;

// How the transcript masks a secret.
constexpr std::string_view kStars = "********";
// A client that keeps the port open this long is the tool, not a port picker looking.
constexpr auto kOpenHold = 50ms;
// Masked text at the end of an answer (a hex key, typed without Enter) ends when the tool pauses.
constexpr auto kSecretPause = 200ms;
// What came after a difference is shown up to its line end, or as much as comes this soon.
constexpr auto kMoreOfTheLine = 100ms;
constexpr std::size_t kShownMost = 80;
constexpr char kWakeStop = 'q';

struct TRecord {
  int Line = 0;
  long AtMs = -1;  // none: the time of the record before
  char Direction = '-';
  std::string Bytes;
  std::string Shown;
};

bool IsLineEnd(int c) { return c == '\r' || c == '\n'; }

// The bytes a transcript line spells out: <CR>, <LF>, <BEL> and <xx> back to their bytes.
std::string Decode(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '<') {
      const std::size_t close = text.find('>', i);
      const std::string_view name = close == std::string_view::npos ? "" : text.substr(i + 1, close - i - 1);
      int byte = -1;
      if (name == "CR") byte = '\r';
      else if (name == "LF") byte = '\n';
      else if (name == "BEL") byte = 7;
      else if (name.size() == 2 && std::isxdigit(static_cast<unsigned char>(name[0])) &&
               std::isxdigit(static_cast<unsigned char>(name[1])))
        byte = static_cast<int>(std::strtol(std::string(name).c_str(), nullptr, 16));
      if (byte >= 0) {
        out += static_cast<char>(byte);
        i = close + 1;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

[[noreturn]] void Bad(int line, const std::string& why) {
  throw std::invalid_argument("line " + std::to_string(line) + ": " + why);
}

// One line of a transcript: "   0.066 << text", the time optional; nothing for a blank line.
std::optional<TRecord> ParseRecord(std::string line, int number) {
  if (!line.empty() && line.back() == '\r') line.pop_back();  // a transcript kept with CR LF line ends
  std::size_t p = line.find_first_not_of(' ');
  if (p == std::string::npos) return std::nullopt;
  TRecord r;
  r.Line = number;
  if (std::isdigit(static_cast<unsigned char>(line[p]))) {
    std::size_t end = p;
    while (end < line.size() && (std::isdigit(static_cast<unsigned char>(line[end])) || line[end] == '.')) ++end;
    r.AtMs = std::lround(std::strtod(line.substr(p, end - p).c_str(), nullptr) * 1000.0);
    p = line.find_first_not_of(' ', end);
    if (p == std::string::npos || p == end) Bad(number, "a time with nothing after it");
  }
  const std::string direction = line.substr(p, 2);
  if (direction != ">>" && direction != "<<" && direction != "--")
    Bad(number, "no transcript line: the time, then >>, << or --, then the text");
  if (p + 2 < line.size() && line[p + 2] != ' ') Bad(number, "a blank belongs between " + direction + " and the text");
  r.Direction = direction[0];
  r.Shown = line.substr(p);
  r.Bytes = Decode(p + 3 <= line.size() ? std::string_view(line).substr(p + 3) : std::string_view());
  return r;
}

// The keys of a record: its bytes, and masked text for each run of stars.
std::vector<int> PatternOf(const std::string& bytes) {
  std::vector<int> pattern;
  for (std::size_t i = 0; i < bytes.size();) {
    if (bytes.compare(i, kStars.size(), kStars) == 0) {
      pattern.push_back(TReplayStep::AnyText);
      i += kStars.size();
    } else {
      pattern.push_back(static_cast<unsigned char>(bytes[i++]));
    }
  }
  return pattern;
}

// The keys typed, without the line end that sends them.
std::vector<int> TypedPart(const std::vector<int>& pattern) {
  std::vector<int> typed = pattern;
  while (!typed.empty() && IsLineEnd(typed.back())) typed.pop_back();
  return typed;
}

bool HasSecret(const std::vector<int>& pattern) {
  return std::find(pattern.begin(), pattern.end(), TReplayStep::AnyText) != pattern.end();
}

std::size_t EchoLength(const std::vector<int>& typed) {
  std::size_t n = 0;
  for (int k : typed) n += k == TReplayStep::AnyText ? kStars.size() : 1;
  return n;
}

// The unit's echo of typed keys, if text is that: each key as typed, in the other letter case
// or as "*", and masked text as the transcript's stars. The echo of each key, or nothing.
std::optional<std::vector<int>> EchoOf(std::string_view text, const std::vector<int>& typed) {
  if (typed.empty() || text.size() != EchoLength(typed)) return std::nullopt;
  std::vector<int> echo;
  std::size_t j = 0;
  for (int k : typed) {
    if (k == TReplayStep::AnyText) {
      if (text.substr(j, kStars.size()) != kStars) return std::nullopt;
      echo.push_back('*');
      j += kStars.size();
      continue;
    }
    const auto c = static_cast<unsigned char>(text[j++]);
    if (c != '*' && std::tolower(c) != std::tolower(k)) return std::nullopt;
    echo.push_back(c);
  }
  return echo;
}

std::runtime_error SystemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

std::string Quoted(const std::string& bytes) { return "\"" + TTranscript::Readable(bytes) + "\""; }

}  // namespace

TReplayPlan SimReplayPlan(std::istream& in, std::chrono::milliseconds maxGap) {
  TReplayPlan plan;
  std::vector<TRecord> records;
  for (std::string line; std::getline(in, line);)
    if (auto r = ParseRecord(line, ++plan.Lines)) records.push_back(std::move(*r));

  std::string lineEnd = "\r\n";
  long previousAt = 0;
  std::optional<std::size_t> lastKeys;  // the answer just typed, while the unit has not printed since
  std::vector<int> promptEcho;          // the echo cut from the end of the prompt before the next answer
  std::string lastLine;                 // the unit's last line, which may ask for a secret
  for (std::size_t i = 0; i < records.size(); ++i) {
    TRecord& r = records[i];
    if (r.AtMs < 0) r.AtMs = previousAt;
    if (r.Direction == '-') {
      if (r.Bytes.rfind("line end ", 0) == 0) {
        lineEnd = r.Bytes.substr(9);
        if (lineEnd != "\r\n" && lineEnd != "\n\r" && lineEnd != "\r" && lineEnd != "\n")
          Bad(r.Line, "a line end is <CR><LF>, <LF><CR>, <CR> or <LF>");
      }
      continue;
    }
    TReplayStep step;
    step.Line = r.Line;
    step.Shown = r.Shown;
    if (r.Direction == '>') {
      step.Keys = true;
      step.Pattern = PatternOf(r.Bytes);
      step.Echo.assign(step.Pattern.size(), TReplayStep::NoEcho);
      std::copy(promptEcho.begin(), promptEcho.end(), step.Echo.begin());
      promptEcho.clear();
      step.Secret = HasSecret(step.Pattern) || TTranscript::AsksForSecret(lastLine);
      previousAt = r.AtMs;
      plan.Steps.push_back(std::move(step));
      lastKeys = plan.Steps.size() - 1;
      continue;
    }
    std::string bytes = r.Bytes;
    lastLine = bytes;
    step.Gap = std::clamp(std::chrono::milliseconds(r.AtMs - previousAt), 0ms, maxGap);
    previousAt = r.AtMs;
    if (lastKeys) {
      // Right after an answer: its echo, or a line of the unit's own.
      const std::vector<int> typed = TypedPart(plan.Steps[*lastKeys].Pattern);
      const std::size_t n = EchoLength(typed);
      if (typed.empty() || bytes.size() < n || !EchoOf(std::string_view(bytes).substr(0, n), typed)) {
        if (bytes.empty() || !IsLineEnd(bytes.front())) bytes = lineEnd + bytes;
      } else {
        step.StarsForSecret = HasSecret(typed) && bytes.rfind(kStars, 0) == 0;
      }
      lastKeys.reset();
    }
    auto next = std::find_if(records.begin() + static_cast<long>(i) + 1, records.end(),
                             [](const TRecord& x) { return x.Direction != '-'; });
    if (next != records.end() && next->Direction == '>') {
      // A prompt, answered before its line end; the echo of the answer at its end goes out as the
      // keys come.
      const std::vector<int> typed = TypedPart(PatternOf(next->Bytes));
      const std::size_t n = EchoLength(typed);
      if (bytes.size() >= n)
        if (auto echo = EchoOf(std::string_view(bytes).substr(bytes.size() - n), typed)) {
          bytes.resize(bytes.size() - n);
          promptEcho = *echo;
        }
    } else if (bytes.empty() || !IsLineEnd(bytes.back())) {
      bytes += lineEnd;
    }
    step.Bytes = std::move(bytes);
    plan.Steps.push_back(std::move(step));
  }
  return plan;
}

TSimReplay::TSimReplay(TReplayPlan plan, TSimReplayOptions options,
                       const std::function<void(const std::string&)>& publish)
    : m_Plan(std::move(plan)), m_Options(options) {
  if (::pipe2(m_Wake, O_CLOEXEC | O_NONBLOCK) != 0) throw SystemError("Cannot create a pipe");
  try {
    std::string slave;
    m_Master = SimOpenPseudoTerminal(slave);
    if (publish) publish(slave);
  } catch (...) {
    for (int fd : {m_Master, m_Wake[0], m_Wake[1]})
      if (fd >= 0) ::close(fd);
    throw;
  }
}

TSimReplay::~TSimReplay() {
  for (int fd : {m_Master, m_Wake[0], m_Wake[1]})
    if (fd >= 0) ::close(fd);
}

void TSimReplay::Stop() { [[maybe_unused]] auto r = ::write(m_Wake[1], &kWakeStop, 1); }

TSimReplay::TWait TSimReplay::Fill(TClock::time_point until) {
  for (;;) {
    const auto now = TClock::now();
    const auto left = until > now ? std::chrono::ceil<std::chrono::milliseconds>(until - now) : 0ms;
    pollfd fds[2] = {{m_Wake[0], POLLIN, 0}, {m_Master, POLLIN, 0}};
    const int n = ::poll(fds, 2, static_cast<int>(left.count()));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw SystemError("poll");
    }
    if (fds[0].revents) {
      char buf[64];
      bool stop = false;
      for (ssize_t got; (got = ::read(m_Wake[0], buf, sizeof buf)) > 0;)
        stop = stop || std::find(buf, buf + got, kWakeStop) != buf + got;
      if (stop) return TWait::Stopped;
    }
    if (fds[1].revents & POLLIN) {
      char buf[512];
      const ssize_t got = ::read(m_Master, buf, sizeof buf);
      if (got > 0) {
        const std::string_view bytes(buf, static_cast<std::size_t>(got));
        if (OnBytes) OnBytes(true, bytes);
        m_In.append(bytes);
        return TWait::Data;
      }
      if (got < 0 && errno != EIO && errno != EAGAIN && errno != EINTR) throw SystemError("read");
    }
    if (fds[1].revents & (POLLHUP | POLLERR)) return TWait::Closed;
    if (n == 0 || TClock::now() >= until) return TWait::Timeout;
  }
}

bool TSimReplay::WaitForOpen(std::chrono::milliseconds limit) {
  const auto end = TClock::now() + limit;
  std::optional<TClock::time_point> openSince;
  for (;;) {
    const auto now = TClock::now();
    if (SimSlaveClosed(m_Master)) openSince.reset();
    else if (!openSince) openSince = now;
    if (openSince && now - *openSince >= kOpenHold) break;
    if (now >= end) {
      m_Difference =
          "before line 1: the tool did not open the line within " + std::to_string(limit.count() / 1000) + " s";
      return false;
    }
    pollfd wake{m_Wake[0], POLLIN, 0};
    if (::poll(&wake, 1, 10) > 0) {
      m_Difference = "before line 1: stopped before the tool opened the line";
      return false;
    }
  }
  ::tcflush(m_Master, TCIOFLUSH);  // what a port picker may have sent is no part of the dialogue
  if (OnEvent) OnEvent("replay: the tool opened the line");
  return true;
}

bool TSimReplay::Write(const std::string& bytes) {
  std::size_t done = 0;
  const auto end = TClock::now() + m_Options.KeyWait;
  while (done < bytes.size()) {
    const ssize_t n = ::write(m_Master, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      if (OnBytes) OnBytes(false, std::string_view(bytes.data() + done, static_cast<std::size_t>(n)));
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;  // the line is gone: the caller finds it closed
    // The tool is not reading: wait for room, as long as for a key.
    pollfd fds[2] = {{m_Wake[0], POLLIN, 0}, {m_Master, POLLOUT, 0}};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - TClock::now());
    if (left <= 0ms || ::poll(fds, 2, static_cast<int>(left.count())) == 0) {
      m_Difference = "the tool read nothing of what the unit printed for " +
                     std::to_string(m_Options.KeyWait.count() / 1000) + " s";
      return false;
    }
    if (fds[0].revents || (fds[1].revents & (POLLHUP | POLLERR))) return false;
  }
  return true;
}

std::string TSimReplay::MoreOfTheLine(std::string came) {
  const auto end = TClock::now() + kMoreOfTheLine;
  for (;;) {
    const std::size_t lineEnd = m_In.find_first_of("\r\n");
    if (lineEnd != std::string::npos || came.size() + m_In.size() >= kShownMost) {
      came += m_In.substr(0, std::min(lineEnd == std::string::npos ? m_In.size() : lineEnd + 1,
                                      kShownMost > came.size() ? kShownMost - came.size() : 0));
      return came;
    }
    if (!came.empty() && IsLineEnd(came.back())) return came;
    if (Fill(end) != TWait::Data) return came + m_In;
  }
}

bool TSimReplay::Differs(int line, const std::string& expected, const std::string& came) {
  m_Difference = "at line " + std::to_string(line) + ": expected \"" + expected + "\", came " + came;
  return false;
}

bool TSimReplay::Print(std::size_t& at) {
  const auto until = TClock::now() + m_Plan.Steps[at].Gap;
  for (TWait w = TWait::Data; TClock::now() < until;) {
    w = Fill(until);
    if (w == TWait::Stopped || w == TWait::Closed) return false;
  }
  // What the unit prints at once goes out in one piece, as from a unit printing a block.
  std::string out;
  do {
    const TReplayStep& s = m_Plan.Steps[at++];
    std::string bytes = s.Bytes;
    if (s.StarsForSecret && m_SecretLength > 0) bytes.replace(0, kStars.size(), std::string(m_SecretLength, '*'));
    out += bytes;
  } while (at < m_Plan.Steps.size() && !m_Plan.Steps[at].Keys && m_Plan.Steps[at].Gap == 0ms);
  return Write(out);
}

bool TSimReplay::Keys(const TReplayStep& step) {
  const auto& pattern = step.Pattern;
  std::size_t i = 0, secret = 0;
  std::string came;
  // An answer to a secret question is never shown.
  auto shown = [&](const std::string& bytes) { return Quoted(step.Secret ? std::string(kStars) : bytes); };
  auto deadline = TClock::now() + m_Options.KeyWait;
  while (i < pattern.size()) {
    if (m_In.empty()) {
      const bool openEnd = pattern[i] == TReplayStep::AnyText && i + 1 == pattern.size() && secret > 0;
      switch (Fill(openEnd ? std::min(deadline, TClock::now() + kSecretPause) : deadline)) {
        case TWait::Data: continue;
        case TWait::Stopped:
          m_Difference = "at line " + std::to_string(step.Line) + ": stopped before the end of the recording";
          return false;
        case TWait::Closed:
          // Nothing of the answer: Run tells whether the tool may close the line here.
          return came.empty() ? false : Differs(step.Line, step.Shown, shown(came) + ": the tool closed the line");
        case TWait::Timeout:
          if (openEnd) {
            ++i;
            continue;
          }
          return Differs(step.Line, step.Shown,
                         (came.empty() ? std::string("nothing") : shown(came) + ", then nothing") + " within " +
                             std::to_string(m_Options.KeyWait.count() / 1000) + " s");
      }
    }
    const char c = m_In.front();
    m_In.erase(0, 1);
    if (c == '\n' && m_LastCr) {  // the LF of a CR LF line end, which the transcript leaves out
      m_LastCr = false;
      continue;
    }
    m_LastCr = c == '\r';
    came += c;
    const auto k = static_cast<unsigned char>(c);
    int echo = TReplayStep::NoEcho;
    if (pattern[i] == TReplayStep::AnyText && !(secret > 0 && i + 1 < pattern.size() && k == pattern[i + 1])) {
      ++secret;
      echo = step.Echo[i];
    } else {
      if (pattern[i] == TReplayStep::AnyText) ++i;  // the masked text ended with the key after it
      if (k != pattern[i]) return Differs(step.Line, step.Shown, shown(MoreOfTheLine(came)));
      echo = step.Echo[i++];
    }
    if (echo != TReplayStep::NoEcho && !Write(std::string(1, static_cast<char>(echo)))) return false;
    deadline = TClock::now() + m_Options.KeyWait;
  }
  if (secret > 0) m_SecretLength = secret;
  ++m_KeysMatched;
  return true;
}

bool TSimReplay::Run() {
  if (!WaitForOpen(m_Options.OpenWait)) return false;
  for (std::size_t at = 0; at < m_Plan.Steps.size();) {
    const TReplayStep& step = m_Plan.Steps[at];
    const std::size_t from = at;
    if (step.Keys ? Keys(step) : Print(at)) {
      if (step.Keys) ++at;
      continue;
    }
    if (!m_Difference.empty()) return false;
    if (!SimSlaveClosed(m_Master)) {
      m_Difference = "at line " + std::to_string(step.Line) + ": stopped before the end of the recording";
      return false;
    }
    // The tool may close the line where only the unit's lines are left.
    const auto keys = std::find_if(m_Plan.Steps.begin() + static_cast<long>(from), m_Plan.Steps.end(),
                                   [](const TReplayStep& s) { return s.Keys; });
    if (keys == m_Plan.Steps.end()) return true;
    if (m_KeysMatched > 0 || !m_In.empty())
      return Differs(keys->Line, keys->Shown, "nothing: the tool closed the line");
    // Closed before the first answer: a port picker that held the line a while. The recording
    // starts again when the line is opened again, as a unit powered by its port does.
    if (OnEvent) OnEvent("replay: the line was closed before the first answer; it starts again at the next open");
    m_LastCr = false;
    if (!WaitForOpen(m_Options.KeyWait)) {
      m_Difference = "at line " + std::to_string(keys->Line) + ": expected \"" + keys->Shown +
                     "\", came nothing: the tool closed the line";
      return false;
    }
    at = 0;
  }
  // Played out: the tool is to close the line without typing more.
  const auto end = TClock::now() + m_Options.Linger;
  for (;;) {
    while (!m_In.empty() && m_In.front() == '\n' && m_LastCr) m_In.erase(0, 1), m_LastCr = false;
    if (!m_In.empty()) {
      const std::string more = MoreOfTheLine({});
      m_Difference = "after line " + std::to_string(m_Plan.Lines) +
                     ", the end of the recording: expected nothing more, came " + Quoted(more);
      return false;
    }
    const TWait w = Fill(end);
    if (w == TWait::Closed || w == TWait::Timeout || w == TWait::Stopped) break;
  }
  return true;
}
