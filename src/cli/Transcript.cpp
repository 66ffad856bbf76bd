#include "Transcript.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool IsSecretWord(const std::string& lower) {
  return lower.find("password") != std::string::npos || lower.find("enter key") != std::string::npos ||
         lower.find("passphrase") != std::string::npos;
}

}  // namespace

TTranscript::TTranscript(const std::string& path) : out_(path, std::ios::out | std::ios::trunc) {}

std::string TTranscript::Readable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    switch (c) {
      case '\r': out += "<CR>"; break;
      case '\n': out += "<LF>\n            "; break;
      case 7: out += "<BEL>"; break;
      default:
        if (c < 32 || c == 127) {
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

std::string TTranscript::MaskReceived(const std::string& text) {
  // Lines such as "Password : secret" carry the value after the colon.
  std::string out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    const std::string lower = Lower(line);
    const size_t colon = line.find(':');
    if (colon != std::string::npos && IsSecretWord(lower.substr(0, colon)) && lower.find('?') == std::string::npos) {
      const size_t value = line.find_first_not_of(' ', colon + 1);
      if (value != std::string::npos) line = line.substr(0, value) + "********";
    }
    out += line;
    size_t next = end;
    while (next < text.size() && (text[next] == '\r' || text[next] == '\n')) out += text[next++];
    start = next;
  }
  return out;
}

bool TTranscript::AsksForSecret(const std::string& text) {
  const std::string lower = Lower(text);
  const size_t ask = lower.rfind('?');
  if (ask == std::string::npos) return false;
  const size_t lineStart = lower.find_last_of("\r\n", ask);
  const std::string question = lower.substr(lineStart == std::string::npos ? 0 : lineStart + 1);
  return IsSecretWord(question) && question.find("change") == std::string::npos &&
         question.find("enable") == std::string::npos && question.find("type") == std::string::npos;
}

void TTranscript::Record(bool sent, const std::string& bytes) {
  std::lock_guard guard(lock_);
  if (!out_) return;
  std::string shown;
  if (sent) {
    if (secret_) {
      for (char c : bytes) shown += (c == '\r' || c == '\n') ? c : '*';
      if (bytes.find('\r') != std::string::npos) secret_ = false;
    } else {
      shown = bytes;
    }
  } else {
    // While a secret is being typed, what comes back may be its echo.
    const bool newQuestion = bytes.find('?') != std::string::npos;
    if (secret_ && !newQuestion) {
      for (char c : bytes) shown += (static_cast<unsigned char>(c) < 32) ? c : '*';
    } else {
      shown = MaskReceived(bytes);
    }
    secret_ = AsksForSecret(bytes) || (secret_ && !newQuestion);
  }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%7.3f %s ", static_cast<double>(ms) / 1000.0, sent ? ">>" : "<<");
  out_ << stamp << Readable(shown) << '\n';
  out_.flush();
}
