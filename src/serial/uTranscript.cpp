#include "uTranscript.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace {

constexpr const char* Stars = "********";
// Shorter values would mask ordinary numbers and words all over the transcript; they stay
// masked where the rules find them.
constexpr size_t LearnedMinLength = 3;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Whether the name part of a line ("Password", "Enter Key", "Current key") names a secret,
// as opposed to the questions and lines about one ("Change the Password", "Key type ...").
bool NamesSecret(const std::string& name) {
  // Only the name: a value shown in brackets may hold any word.
  const std::string l = Lower(name.substr(0, name.find('(')));
  const bool secret = l.find("password") != std::string::npos || l.find("passphrase") != std::string::npos ||
                      l.find("enter key") != std::string::npos || l.find("current key") != std::string::npos;
  if (!secret) return false;
  for (const char* about : {"change", "enable", "type", "display", "enhanced", "length"})
    if (l.find(about) != std::string::npos) return false;
  return true;
}

bool Blank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

// Replaces the text after pos (keeping its leading blanks) by stars; nothing when it is blank.
// The value replaced goes to found.
std::string MaskFrom(const std::string& line, size_t pos, std::vector<std::string>& found) {
  if (pos >= line.size() || Blank(line.substr(pos))) return line;
  const size_t value = line.find_first_not_of(' ', pos);
  std::string secret = line.substr(value);
  while (!secret.empty() && secret.back() == ' ') secret.pop_back();
  found.push_back(secret);
  return line.substr(0, value) + Stars;
}

std::string Mask(const std::string& line, std::vector<std::string>& found) {
  if (const size_t ask = line.find('?'); ask != std::string::npos) {
    if (!NamesSecret(line.substr(0, ask))) return line;
    // "Password (old) ? typed": the value shown and the answer echoed.
    std::string head = line.substr(0, ask);
    const size_t open = head.find('(');
    const size_t close = head.rfind(')');
    if (open != std::string::npos && close != std::string::npos && close > open + 1) {
      found.push_back(head.substr(open + 1, close - open - 1));
      head = head.substr(0, open + 1) + Stars + head.substr(close);
    }
    return head + MaskFrom(line.substr(ask), 1, found);
  }
  for (const char* separator : {":", " is "}) {
    const size_t at = line.find(separator);
    if (at != std::string::npos && NamesSecret(line.substr(0, at)))
      return MaskFrom(line, at + std::char_traits<char>::length(separator), found);
  }
  return line;
}

}  // namespace

TTranscript::TTranscript(const std::string& path) : out_(path, std::ios::out | std::ios::trunc | std::ios::binary) {}

TTranscript::~TTranscript() { Flush(); }

std::string TTranscript::Readable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    switch (c) {
      case '\r': out += "<CR>"; break;
      case '\n': out += "<LF>"; break;
      case 7: out += "<BEL>"; break;
      default:
        if (c < 32 || c >= 127) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "<%02X>", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

bool TTranscript::AsksForSecret(const std::string& line) {
  const size_t ask = line.find('?');
  return ask != std::string::npos && NamesSecret(line.substr(0, ask));
}

std::string TTranscript::MaskLine(const std::string& line) {
  std::vector<std::string> found;
  return Mask(line, found);
}

std::string TTranscript::Hide(std::string text) const {
  for (const std::string& secret : secrets_)
    for (size_t p = text.find(secret); p != std::string::npos; p = text.find(secret, p + 8))
      text.replace(p, secret.size(), Stars);
  return text;
}

void TTranscript::Write(Clock::time_point at, const char* direction, const std::string& text) {
  if (!out_.is_open()) return;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - start_).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%8.3f %s ", static_cast<double>(ms) / 1000.0, direction);
  out_ << stamp << Readable(text) << '\n';
  out_.flush();
}

void TTranscript::Complete(bool sent, bool withEnd) {
  TPending& p = pending_[sent ? 1 : 0];
  if (sent) {
    std::string shown;
    std::string value = p.text;
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.pop_back();
    if (p.secret) {
      if (value.size() >= LearnedMinLength) secrets_.insert(value);
      shown = (value.empty() ? std::string() : std::string(Stars)) + p.text.substr(value.size());
      echoSecret_ = withEnd && !value.empty();
    } else {
      shown = Hide(p.text);
    }
    Write(p.start, ">>", shown);
  } else if (!p.text.empty()) {
    std::string shown;
    if (echoSecret_) {
      // The echo of a secret answer, to its line end however it came in pieces.
      shown = Stars;
      echoSecret_ = !withEnd;
    } else {
      std::vector<std::string> found;
      shown = Mask(p.text, found);
      for (const std::string& secret : found)
        if (secret.size() >= LearnedMinLength) secrets_.insert(secret);
      shown = Hide(shown);
    }
    lastReceived_ = p.text;
    Write(p.start, "<<", shown);
  }
  p.text.clear();
  p.secret = false;
}

void TTranscript::FlushOther(bool sent) {
  TPending& other = pending_[sent ? 0 : 1];
  if (!other.text.empty()) Complete(!sent, false);
}

void TTranscript::Record(bool sent, const std::string& bytes) {
  std::lock_guard guard(lock_);
  const auto now = Clock::now();
  TPending& p = pending_[sent ? 1 : 0];
  for (char c : bytes) {
    const bool end = c == '\r' || c == '\n';
    if (sent) {
      if (c == '\n' && sentAfterCr_) {
        sentAfterCr_ = false;
        continue;
      }
      sentAfterCr_ = c == '\r';
      if (p.text.empty()) {
        p.start = now;
        const std::string& question = pending_[0].text.empty() ? lastReceived_ : pending_[0].text;
        p.secret = AsksForSecret(question);
      }
      p.text += c;
      if (end) {
        // The question the answer belongs to goes first, however much of it has come.
        FlushOther(true);
        Complete(true, true);
      }
    } else {
      if (end) {
        if (!p.text.empty()) {
          if (!pending_[1].text.empty() && pending_[1].start < p.start) Complete(true, false);
          Complete(false, true);
        }
        echoSecret_ = false;  // an echo ends at the first line end, even an empty one
        FlushOther(false);
        continue;
      }
      if (p.text.empty()) p.start = now;
      p.text += c;
    }
  }
}

void TTranscript::Event(const std::string& text) {
  std::lock_guard guard(lock_);
  FlushPending();
  Write(Clock::now(), "--", text);
}

std::string TTranscript::Unfinished() {
  std::lock_guard guard(lock_);
  const TPending& p = pending_[0];
  if (p.text.empty()) return {};
  if (echoSecret_) return Stars;
  std::vector<std::string> found;
  return Readable(Hide(Mask(p.text, found)));
}

void TTranscript::Flush() {
  std::lock_guard guard(lock_);
  FlushPending();
}

void TTranscript::FlushPending() {
  const bool sentFirst =
      !pending_[1].text.empty() && (pending_[0].text.empty() || pending_[1].start < pending_[0].start);
  if (sentFirst) Complete(true, false);
  if (!pending_[0].text.empty()) Complete(false, false);
  if (!pending_[1].text.empty()) Complete(true, false);
}
