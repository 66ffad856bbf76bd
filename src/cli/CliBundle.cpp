#include "CliBundle.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <streambuf>

#include "CliPlatform.h"
#include "CliReport.h"
#include "CliSettings.h"
#include "KaVruneCli.h"
#include "uFileUtils.h"

namespace KaVruneCli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStars = "********";
// Shorter values would mask ordinary numbers and words all over the bundle, as in the transcript.
constexpr size_t kSecretMinLength = 3;

std::uint32_t Crc32(const std::string& bytes) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

// Zip's numbers are little-endian.
void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Standard error as the user sees it, and a copy of it: the messages go into the bundle.
class TStderrCopy final : public std::streambuf {
 public:
  TStderrCopy() : original_(std::cerr.rdbuf(this)) {}
  ~TStderrCopy() override { std::cerr.rdbuf(original_); }
  TStderrCopy(const TStderrCopy&) = delete;
  TStderrCopy& operator=(const TStderrCopy&) = delete;
  std::string Text() const {
    std::lock_guard g(lock_);
    return text_;
  }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    // Workers of several ports write at once.
    std::lock_guard g(lock_);
    text_.append(s, static_cast<size_t>(n));
    return original_->sputn(s, n);
  }
  int sync() override { return original_->pubsync(); }

 private:
  std::streambuf* original_;
  mutable std::mutex lock_;
  std::string text_;
};

// The lines as a terminal ends up showing them: of a progress line redrawn in place, its last form.
std::string AsShown(const std::string& text) {
  std::string out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    for (size_t p; (p = line.find("\033[K")) != std::string::npos;) line.erase(p, 3);
    if (const size_t cr = line.rfind('\r'); cr != std::string::npos) line.erase(0, cr + 1);
    if (!line.empty()) out += line + '\n';
  }
  return out;
}

// The command line with the value of every assignment to a password or key as stars, and of every
// one whose name is no setting's: it may be a password's with a slip in its name.
std::string CommandLine(const std::vector<std::string>& args) {
  std::string line = "kavrune-cli";
  for (const std::string& a : args) {
    std::string shown = a;
    if (const size_t eq = a.find('='); eq != std::string::npos && eq > 0 && a[0] != '-') {
      std::string error;
      const auto rows = FindSettings(a.substr(0, eq), error);
      if (rows.empty() || std::any_of(rows.begin(), rows.end(), [](const TSettingRow* r) { return Confidential(*r); }))
        shown = a.substr(0, eq + 1) + kStars;
    }
    line += " " + (shown.empty() || shown.find(' ') != std::string::npos ? "\"" + shown + "\"" : shown);
  }
  return line;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string Report(const TOptions& o, const std::vector<std::string>& args, int status, const TDeviceRun& run,
                   const std::vector<std::string>& transcripts, const std::string& messages) {
  std::ostringstream r;
  r << "kaVRUNE setup: a bundle for a bug report\n"
    << "Tool:        kavrune-cli " KAVRUNE_VERSION "\n"
    << "System:      " << CliPlatform::SystemDescription() << '\n'
    << "Command:     " << CommandLine(args) << '\n'
    << "Time:        " << UtcTime(0) << '\n'
    << "Exit status: " << status << '\n';
  if (run.Results.empty()) r << "\nNo port was opened.\n";
  for (size_t i = 0; i < run.Results.size(); ++i) {
    const TPortResult& p = run.Results[i];
    r << "\nPort " << p.Port << '\n'
      << "  MAC address: " << (p.Unit.Mac.empty() ? "(not shown by the unit)" : p.Unit.Mac) << '\n'
      << "  Firmware:    " << (p.Unit.Firmware.empty() ? "(not shown by the unit)" : p.Unit.Firmware) << '\n'
      << "  Model:       " << (p.Model.empty() ? "(not shown by the unit)" : p.Model) << '\n'
      << "  Transcript:  " << (transcripts[i].empty() ? "(none: the port was not opened)" : transcripts[i]) << '\n'
      << "  Outcome:     status " << p.Status << '\n';
    // What went wrong where something did, else what was done.
    const std::vector<std::string> said =
        p.Status != Ok && !p.Write.Errors.empty() ? p.Write.Errors : std::vector<std::string>{p.Result};
    for (const std::string& text : said) {
      std::istringstream lines(text);
      for (std::string line; std::getline(lines, line);)
        if (!line.empty()) r << "               " << line << '\n';
    }
  }
  r << "\nMessages" << (o.quiet ? " (--quiet: errors only)" : "") << ":\n" << AsShown(messages);
  return r.str();
}

// Every secret the command was given, as stars wherever it stands.
void MaskSecrets(std::string& text, const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    if (secret.size() < kSecretMinLength) continue;
    for (size_t p = text.find(secret); p != std::string::npos; p = text.find(secret, p))
      text.replace(p, secret.size(), kStars);
  }
}

}  // namespace

std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& files) {
  // Every entry gets the time of now, in the local time zip records.
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  const auto dosTime = static_cast<std::uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  const auto dosDate =
      static_cast<std::uint32_t>((std::max(local.tm_year - 80, 0) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  std::string out, directory;
  for (const auto& [name, data] : files) {
    const std::uint32_t crc = Crc32(data);
    const auto size = static_cast<std::uint32_t>(data.size());
    const auto offset = static_cast<std::uint32_t>(out.size());
    // The entry's own header: version 1.0 needed, no flags, stored.
    Put32(out, 0x04034b50);
    for (std::uint32_t v : {10u, 0u, 0u, dosTime, dosDate}) Put16(out, v);
    for (std::uint32_t v : {crc, size, size}) Put32(out, v);
    Put16(out, static_cast<std::uint32_t>(name.size()));
    Put16(out, 0);
    out += name;
    out += data;
    // Its entry in the central directory, made by version 2.0.
    Put32(directory, 0x02014b50);
    for (std::uint32_t v : {20u, 10u, 0u, 0u, dosTime, dosDate}) Put16(directory, v);
    for (std::uint32_t v : {crc, size, size}) Put32(directory, v);
    for (std::uint32_t v : {static_cast<std::uint32_t>(name.size()), 0u, 0u, 0u, 0u}) Put16(directory, v);
    Put32(directory, 0);  // external attributes
    Put32(directory, offset);
    directory += name;
  }
  const auto directoryAt = static_cast<std::uint32_t>(out.size());
  out += directory;
  Put32(out, 0x06054b50);
  for (std::uint32_t v : {0u, 0u, static_cast<std::uint32_t>(files.size()), static_cast<std::uint32_t>(files.size())})
    Put16(out, v);
  Put32(out, static_cast<std::uint32_t>(directory.size()));
  Put32(out, directoryAt);
  Put16(out, 0);
  return out;
}

int RunWithBundle(const TOptions& o, const std::vector<std::string>& args,
                  const std::function<int(const TOptions&, TDeviceRun&)>& run) {
  // Found out before the device is touched, as for every file a command writes.
  if (!Writable(o.bundle)) {
    std::cerr << "kavrune-cli: cannot write the bundle " << o.bundle << "; nothing was sent to the device\n";
    return FileError;
  }
  const std::string folder = CliPlatform::MakePrivateTempDirectory();
  if (folder.empty()) {
    std::cerr << "kavrune-cli: cannot make a temporary folder for the bundle's transcript\n";
    return FileError;
  }
  struct TRemove {
    const std::string& Dir;
    ~TRemove() {
      std::error_code ec;
      fs::remove_all(Dir, ec);
    }
  } remove{folder};

  TOptions logged = o;
  if (logged.log.empty()) logged.log = (fs::path(folder) / "transcript.txt").string();
  TDeviceRun result;
  int status = Ok;
  std::string messages;
  {
    TStderrCopy copy;
    status = run(logged, result);
    messages = copy.Text();
  }

  const bool several = o.ports.size() > 1;
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<std::string> names;
  for (const TPortResult& p : result.Results) {
    std::error_code ec;
    const std::string path = PortFileName(logged.log, p.Port, several);
    names.push_back(fs::is_regular_file(path, ec) ? PortFileName("transcript.txt", p.Port, several) : std::string());
    if (!names.back().empty()) files.emplace_back(names.back(), ReadWhole(path));
  }
  files.insert(files.begin(), {"report.txt", Report(o, args, status, result, names, messages)});
  for (auto& file : files) MaskSecrets(file.second, result.Secrets);
  if (!WriteFileAtomically(o.bundle, StoredZip(files))) {
    std::cerr << "kavrune-cli: cannot write the bundle " << o.bundle << '\n';
    return status == Ok ? FileError : status;
  }
  if (!o.quiet) std::cerr << "bundle for a bug report written to " << o.bundle << '\n';
  return status;
}

}  // namespace KaVruneCli
