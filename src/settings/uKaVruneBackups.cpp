#include "uKaVruneBackups.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "uFileUtils.h"

namespace {

namespace fs = std::filesystem;
using SystemClock = std::chrono::system_clock;

constexpr fs::perms OwnerOnlyFolder = fs::perms::owner_all;
constexpr fs::perms OwnerOnlyFile = fs::perms::owner_read | fs::perms::owner_write;

// "20261207T194739.123Z": sorts as it is named, and holds no character Windows refuses.
// "COM4" itself is a device name on Windows, with or without an extension: no file may take it.
std::string PortRecordName(const std::string& port) { return "unit-on-" + port; }

std::string Stamp(SystemClock::time_point t) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", &utc);
  char millis[8];
  std::snprintf(millis, sizeof millis, ".%03dZ", static_cast<int>(ms % 1000));
  return std::string(text) + millis;
}

bool IsStamp(const std::string& s) {
  static const char shape[] = "dddddddd_dddddd.dddZ";
  if (s.size() != sizeof shape - 1 || s[8] != 'T') return false;
  for (size_t i = 0; i < s.size(); ++i)
    if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(s[i])) : shape[i] != '_' && s[i] != shape[i])
      return false;
  return true;
}

std::mutex& Keeping() {
  static std::mutex keeping;
  return keeping;
}

bool IsUnitFolder(const std::string& name) { return name == TBackupStore::UnknownUnit || NormalizeMac(name) == name; }

// Creates the folder (and those above it) and makes it the user's alone.
void MakePrivateFolder(const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) throw std::runtime_error("cannot create the backup folder " + folder.string() + ": " + ec.message());
  fs::permissions(folder, OwnerOnlyFolder, ec);
  if (ec) throw std::runtime_error("cannot make the backup folder " + folder.string() + " private: " + ec.message());
}

void WritePrivateFile(const fs::path& path, const std::string& text) {
  errno = 0;
  if (!WriteFileAtomically(path.string(), text))
    throw std::runtime_error("cannot write the backup " + path.string() +
                             (errno ? ": " + std::string(std::strerror(errno)) : std::string()));
  std::error_code ec;
  fs::permissions(path, OwnerOnlyFile, ec);
  if (ec) {
    fs::remove(path, ec);
    throw std::runtime_error("cannot make the backup " + path.string() + " private: " + ec.message());
  }
}

}  // namespace

std::string TBackupEntry::Time() const {
  if (!IsStamp(Stamp)) return Stamp;
  return Stamp.substr(0, 4) + "-" + Stamp.substr(4, 2) + "-" + Stamp.substr(6, 2) + " " + Stamp.substr(9, 2) + ":" +
         Stamp.substr(11, 2) + ":" + Stamp.substr(13, 2) + " UTC";
}

std::string TBackupEntry::IsoTime() const {
  if (!IsStamp(Stamp)) return Stamp;
  return Stamp.substr(0, 4) + "-" + Stamp.substr(4, 2) + "-" + Stamp.substr(6, 5) + ":" + Stamp.substr(11, 2) + ":" +
         Stamp.substr(13);
}

std::string TBackupStore::DefaultFolder() {
  // A relative XDG_STATE_HOME is ignored, as other programs of the desktop ignore it.
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state && fs::path(state).is_absolute())
    return (fs::path(state) / "kavrune" / "backups").string();
#ifdef _WIN32
  if (const char* local = std::getenv("LOCALAPPDATA"); local && *local)
    return (fs::path(local) / "kavrune" / "backups").string();
#endif
  const char* home = std::getenv("HOME");
  return (fs::path(home && *home ? home : ".") / ".local" / "state" / "kavrune" / "backups").string();
}

TBackupStore::TBackupStore(std::string folder) : folder_(std::move(folder)) {}

TBackupEntry TBackupStore::Keep(const std::string& mac, const std::string& text, const std::string& port) const {
  const TBackupEntry entry = Hold(mac, text);
  Settle(entry, port);
  return entry;
}

TBackupEntry TBackupStore::Hold(const std::string& mac, const std::string& text) const {
  TBackupEntry entry;
  entry.Mac = NormalizeMac(mac);
  if (entry.Mac.empty()) entry.Mac = UnknownUnit;
  const fs::path unit = fs::path(folder_) / entry.Mac;
  // Ports written side by side keep their backups one after the other: two units showing the
  // same MAC would otherwise pick the same name and share a temporary file.
  std::lock_guard guard(Keeping());
  MakePrivateFolder(folder_);
  MakePrivateFolder(unit);
  // Two writes within a millisecond still get a file each, the later one sorting after.
  auto when = SystemClock::now();
  std::error_code ec;
  for (entry.Stamp = Stamp(when); fs::exists(unit / (entry.Stamp + ".xml"), ec); entry.Stamp = Stamp(when))
    when += std::chrono::milliseconds(1);
  entry.Path = (unit / (entry.Stamp + ".xml")).string();
  WritePrivateFile(entry.Path, text);
  return entry;
}

void TBackupStore::Settle(const TBackupEntry& entry, const std::string& port) const {
  std::lock_guard guard(Keeping());
  if (!port.empty() && entry.Mac != UnknownUnit) {
    const fs::path ports = fs::path(folder_) / "ports";
    MakePrivateFolder(ports);
    WritePrivateFile(ports / PortRecordName(port), entry.Mac + "\n");
  }
  std::error_code ec;
  const std::vector<TBackupEntry> kept = List(entry.Mac);
  for (size_t i = 0; i + KeptPerUnit < kept.size(); ++i) fs::remove(kept[i].Path, ec);
}

bool TBackupStore::Discard(const TBackupEntry& entry) const {
  std::lock_guard guard(Keeping());
  std::error_code ec;
  fs::remove(entry.Path, ec);
  return !fs::exists(entry.Path, ec);
}

std::vector<TBackupEntry> TBackupStore::List(const std::string& mac) const {
  std::vector<TBackupEntry> entries;
  std::error_code ec;
  for (const auto& unit : fs::directory_iterator(folder_, ec)) {
    const std::string name = unit.path().filename().string();
    if (!IsUnitFolder(name) || (!mac.empty() && name != mac)) continue;
    std::error_code fileEc;
    for (const auto& file : fs::directory_iterator(unit.path(), fileEc)) {
      const std::string stamp = file.path().stem().string();
      if (file.path().extension() != ".xml" || !IsStamp(stamp)) continue;
      entries.push_back({name, stamp, file.path().string()});
    }
  }
  std::sort(entries.begin(), entries.end(), [](const TBackupEntry& a, const TBackupEntry& b) {
    return a.Mac != b.Mac ? a.Mac < b.Mac : a.Stamp < b.Stamp;
  });
  return entries;
}

std::optional<TBackupEntry> TBackupStore::Newest(const std::string& mac) const {
  const std::vector<TBackupEntry> entries = List(mac);
  if (entries.empty()) return std::nullopt;
  return entries.back();
}

std::string TBackupStore::LastUnitOn(const std::string& port) const {
  std::error_code ec;
  const fs::path record = fs::path(folder_) / "ports" / PortRecordName(port);
  if (!fs::is_regular_file(record, ec)) return {};
  FILE* f = std::fopen(record.string().c_str(), "rb");
  if (!f) return {};
  char line[64] = {};
  const bool read = std::fgets(line, sizeof line, f) != nullptr;
  std::fclose(f);
  return read ? NormalizeMac(std::string(line, std::strcspn(line, "\r\n"))) : std::string();
}
