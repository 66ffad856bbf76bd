#include "DialogueCase.h"

#include <algorithm>

#include <cstdlib>
#include <random>
#include <set>
#include <sstream>

namespace {

using A = TSimAnswer;

// Plain modulo on the engine's own generator: the same seed gives the same case with any
// standard library.
class TDraw final {
 public:
  explicit TDraw(unsigned seed) : m_Rng(seed * 2654435761u + 0x5EED) {}
  unsigned Below(unsigned n) { return static_cast<unsigned>(m_Rng() % n); }
  bool Chance(unsigned inN) { return Below(inN) == 0; }
  template <class T>
  const T& Pick(const std::vector<T>& items) {
    return items[Below(static_cast<unsigned>(items.size()))];
  }

 private:
  std::mt19937 m_Rng;
};

const TSimSettingDef* FindDef(TSimGroup group, const std::string& key) {
  for (const auto& def : SimSettingDefs())
    if (def.Group == group && key == def.Key) return &def;
  return nullptr;
}

const TSimSectionInfo* FindSection(const std::string& name) {
  for (const auto& info : SimSections())
    if (name == info.Name) return &info;
  return nullptr;
}

// Passwords and keys, which no log may show.
bool IsSecret(const std::string& key) {
  return key == "Password" || key == "Enter_new_Password" || key == "Enter_Password" || key == "Enter_Key";
}

// Settings a case sets: asked in a menu, and seen again in the dump or stored as typed. Keys
// and the key length are left alone: the dump never shows them and they need an exact length.
bool Editable(const TSimSettingDef& def) {
  if (!def.Question) return false;
  switch (def.Kind) {
    case A::Decision:
    case A::ShowKey:
    case A::HexKey:
    case A::WlanKey: return false;
    default: return std::string(def.Key) != "Key_length_in_bits";
  }
}

std::string Text(TDraw& d, std::size_t maxLength, bool mayBeEmpty) {
  static const char chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.";
  const std::size_t length =
      (mayBeEmpty ? 0 : 1) + d.Below(static_cast<unsigned>(std::min<std::size_t>(maxLength, 20)));
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text += chars[d.Below(sizeof chars - 1)];
  return text;
}

std::string Address(TDraw& d, bool host) {
  const unsigned first = host ? 1 + d.Below(223) : d.Below(256);
  return std::to_string(first) + "." + std::to_string(d.Below(256)) + "." + std::to_string(d.Below(256)) + "." +
         std::to_string(host ? 1 + d.Below(254) : d.Below(256));
}

// A value of the setting the device takes in the section as it stands; empty when none is found.
std::string RandomValue(TDraw& d, const TSimSettingDef& def, const TSimSection& section, bool forEdit) {
  const std::string key = def.Key;
  switch (def.Kind) {
    case A::YesNo: return d.Chance(2) ? "Y" : "N";
    case A::Number: {
      static const std::vector<long> edges = {0,    1,    2,     3,     4,      5,      7,     11,   13,  45,
                                              65,   66,   80,    128,   300,    511,    512,   600,  601, 1400,
                                              1401, 9600, 38400, 57600, 115200, 460800, 65535, 65536};
      std::vector<long> fits;
      for (long v : edges)
        if (!def.Accepts || def.Accepts(v, section)) fits.push_back(v);
      for (int i = 0; i < 8; ++i) {
        const long v = d.Below(70000);
        if (!def.Accepts || def.Accepts(v, section)) fits.push_back(v);
      }
      return fits.empty() ? std::string() : std::to_string(d.Pick(fits));
    }
    case A::HexByte: {
      if (key == "ConnectMode") return d.Pick(std::vector<std::string>{"C0", "C1", "C3", "CC", "4C", "C"});
      if (key == "Datagram_Type") return d.Pick(std::vector<std::string>{"1", "FD", "0", "2"});
      return SimHexByte(d.Below(256));
    }
    case A::Text:
    case A::Secret: return Text(d, def.MaxLength, !forEdit && d.Chance(4));
    case A::Address: return key == "IP_Address" ? Address(d, true) : d.Chance(5) ? "0.0.0.0" : Address(d, false);
    case A::Gateway: return d.Chance(3) ? "0.0.0.0" : Address(d, true);
    case A::Netmask: return SimNetmaskFromHostBits(2 + static_cast<int>(d.Below(23)));
    case A::Time: return std::to_string(d.Below(24)) + ":" + std::to_string(d.Below(60));
    case A::DataRate: return std::to_string(d.Below(8)) + ":" + std::to_string(d.Below(2));
    case A::AddressTable: {
      std::string table;
      for (int i = 0; i < 16; ++i) table += (i ? " " : "") + std::to_string(d.Chance(3) ? 0 : d.Below(256));
      return table;
    }
    default: return {};
  }
}

// Every number of the section is one the device takes beside the others.
bool Consistent(TSimGroup group, const TSimSection& section) {
  for (const auto& def : SimSettingDefs()) {
    if (def.Group != group || def.Kind != A::Number || !def.Accepts) continue;
    long v = 0;
    auto it = section.find(def.Key);
    if (it == section.end() || !SimParseDecimal(it->second, v) || !def.Accepts(v, section)) return false;
  }
  return true;
}

std::vector<const TSimSectionInfo*> MenuSections() {
  std::vector<const TSimSectionInfo*> sections;
  for (const auto& info : SimSections())
    if (info.MenuChoice >= 0) sections.push_back(&info);
  return sections;
}

}  // namespace

std::string TDialogueCase::Describe() const {
  std::ostringstream out;
  out << "KAVRUNE_CASE_SEED=" << Seed << " variant " << VariantName;
  if (TakesEarlyEnter) out << " --takes-early-enter";
  if (TypeAhead) out << " --type-ahead";
  if (LatencyMs) out << " --latency " << LatencyMs;
  if (JitterMs) out << " --jitter " << JitterMs;
  if (Fault == TSimFault::RestartInWalk) out << " --fault restart-in-walk";
  if (Fault == TSimFault::NoReturn) out << " --fault no-return";
  out << " edits:";
  for (const auto& [section, keys] : Edits.Sections)
    for (const auto& [key, value] : keys) out << " " << section << "." << key << "=" << (IsSecret(key) ? "***" : value);
  return out.str();
}

TSimSettings TDialogueCase::After() const {
  TSimSettings after = Before;
  for (const auto& [section, keys] : Edits.Sections)
    for (const auto& [key, value] : keys) after.Set(section, key, value);
  return after;
}

bool TDialogueCase::WillAsk(const std::string& section, const std::string& key) const {
  const TSimSectionInfo* info = FindSection(section);
  const TSimSettingDef* def = info ? FindDef(info->Group, key) : nullptr;
  if (!def || !def->Question) return false;
  if (!Profile.Wlan && (info->Group == TSimGroup::WLAN || key == "Network_mode")) return false;
  const TSimSection merged = After().Sections.at(section);
  if (def->Kind == A::AddressTable && Profile.TableInAnyUdpMode) return SimIsUdp(merged);
  TSimAnswers yes;
  for (const auto& d : SimSettingDefs())
    if (d.Group == info->Group && d.Kind == A::Decision) yes[d.Key] = "Y";
  return !def->Asked || def->Asked(merged, yes);
}

std::size_t TDialogueCase::EditCount() const {
  std::size_t n = 0;
  for (const auto& [section, keys] : Edits.Sections) n += keys.size();
  return n;
}

TDialogueCase MakeDialogueCase(unsigned seed, const std::string& variant, bool withFaults) {
  TDraw d(seed);
  TDialogueCase c;
  c.Seed = seed;
  static const std::vector<std::string> variants = {"standard", "field", "random"};
  c.VariantName = variant.empty() ? d.Pick(variants) : variant;
  c.Profile = SimProfileFor(c.VariantName, seed);
  c.TakesEarlyEnter = d.Chance(2);
  c.TypeAhead = d.Chance(2);
  c.LatencyMs = d.Pick(std::vector<int>{0, 0, 3, 20});
  c.JitterMs = d.Pick(std::vector<int>{0, 0, 4, 20});

  // The stored state: every setting drawn in the device's order, so that a range that depends on
  // an earlier setting (the WLAN's encryption on its suite) sees the value drawn for it.
  c.Before = SimDefaults();
  for (const TSimSectionInfo* info : MenuSections()) {
    TSimSection& section = c.Before.Sections[info->Name];
    for (const auto& def : SimSettingDefs()) {
      if (def.Group != info->Group || !Editable(def) || def.Kind == A::Secret) continue;
      const std::string v = RandomValue(d, def, section, false);
      if (!v.empty()) section[def.Key] = v;
    }
  }

  // Sometimes an edit the device will not ask for in the channel's mode.
  std::set<std::string> modeKeysFixed;
  if (d.Chance(4)) {
    const std::string channel = d.Chance(2) ? "Channel_1" : "Channel_2";
    TSimSection& ch = c.Before.Sections[channel];
    if (d.Chance(2)) {
      ch["ConnectMode"] = "C0";
      long mode = 0;
      SimParseHex(ch["DisConnMode"], mode);
      ch["DisConnMode"] = SimHexByte(mode & ~0x10);
      c.Edits.Set(channel, "Password", Text(d, 31, false));
    } else {
      ch["ConnectMode"] = "CC";
      ch["Datagram_Type"] = "1";
      c.Edits.Set(channel, "Change_address_table",
                  RandomValue(d, *FindDef(TSimGroup::Channel, "Change_address_table"), ch, true));
    }
    modeKeysFixed = {channel + ".ConnectMode", channel + ".DisConnMode", channel + ".Datagram_Type"};
  }

  const auto sections = MenuSections();
  const std::size_t wanted = 1 + d.Below(8);
  for (int attempt = 0; attempt < 200 && c.EditCount() < wanted; ++attempt) {
    const TSimSectionInfo* info = d.Pick(sections);
    std::vector<const TSimSettingDef*> defs;
    for (const auto& def : SimSettingDefs())
      if (def.Group == info->Group && Editable(def) && (def.Kind != A::Secret || d.Chance(3))) defs.push_back(&def);
    const TSimSettingDef* def = d.Pick(defs);
    const std::string key = def->Key;
    if (modeKeysFixed.count(std::string(info->Name) + "." + key) || c.Edits.Sections[info->Name].count(key)) continue;
    TSimSection merged = c.After().Sections.at(info->Name);
    const std::string value = RandomValue(d, *def, merged, true);
    if (value.empty() || value == merged[key]) continue;
    merged[key] = value;
    if (!Consistent(info->Group, merged)) continue;
    c.Edits.Set(info->Name, key, value);
  }
  for (auto it = c.Edits.Sections.begin(); it != c.Edits.Sections.end();)
    it = it->second.empty() ? c.Edits.Sections.erase(it) : std::next(it);
  // Drawn last, so that every seed keeps the unit and the edits it had before.
  const unsigned fault = d.Below(10);
  if (withFaults) c.Fault = fault == 0 ? TSimFault::RestartInWalk : fault == 1 ? TSimFault::NoReturn : TSimFault::None;
  return c;
}

std::vector<unsigned> DialogueCaseSeeds(unsigned first, unsigned count) {
  if (const char* one = std::getenv("KAVRUNE_CASE_SEED"); one && *one)
    return {static_cast<unsigned>(std::strtoul(one, nullptr, 10))};
  // A slower build (the sanitizers') runs fewer of them.
  if (const char* limit = std::getenv("KAVRUNE_CASE_LIMIT"); limit && *limit)
    count = std::min(count, static_cast<unsigned>(std::strtoul(limit, nullptr, 10)));
  std::vector<unsigned> seeds;
  for (unsigned i = 0; i < count; ++i) seeds.push_back(first + i);
  return seeds;
}

namespace {

InProcessSimOptions SimOptions(const TDialogueCase& c, long baud) {
  InProcessSimOptions o;
  o.State = c.Before;
  o.Profile = c.Profile;
  o.TakesEarlyEnter = c.TakesEarlyEnter;
  o.TypeAhead = c.TypeAhead;
  o.Latency = std::chrono::milliseconds(c.LatencyMs);
  o.CharTime = std::chrono::microseconds(10'000'000 / baud);
  o.Jitter = std::chrono::milliseconds(c.JitterMs);
  o.Seed = c.Seed;
  o.Fault = c.Fault;
  return o;
}

}  // namespace

TDialogueDevice::TDialogueDevice(const TDialogueCase& c, int com, long baud)
    : m_Case(c), m_Sim(com, SimOptions(c, baud)) {
  const char* busy = std::getenv("KAVRUNE_BUSY_THREADS");
  for (unsigned long i = 0, n = busy ? std::strtoul(busy, nullptr, 10) : 0; i < n && i < 8; ++i)
    m_Load.emplace_back([this] {
      volatile unsigned long spin = 0;
      while (m_Busy.load(std::memory_order_relaxed)) spin = spin + 1;
    });
}

TDialogueDevice::~TDialogueDevice() {
  m_Busy = false;
  for (std::thread& t : m_Load) t.join();
}
