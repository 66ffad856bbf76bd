#include "SimProfile.h"

#include <cctype>
#include <random>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "SimModel.h"

namespace {

TSimProfile FieldProfile() {
  TSimProfile p;
  p.MacWithDashes = true;
  p.TcpFlags = TSimTcpFlagLayout::ThreeLinesColon;
  p.FlagOn = "enabled";
  p.FlagOff = "disabled";
  p.HardwareLine = p.CountryLine = p.AlternateMacLine = true;
  p.RootHeading = "Change Setup:";
  p.AddressByNumber = true;
  p.NetmaskWithoutQuestionMark = true;
  p.ExitText = "Exiting without save !";
  p.DefaultsReprintDump = true;
  p.TableInAnyUdpMode = true;
  p.SaysRestarting = true;
  p.OfferEnd = TSimOfferEnd::CrLf;
  p.Banner = TSimBanner::ProductLine;
  p.Echo = TSimEcho::Raw;
  return p;
}

TSimProfile RandomProfile(unsigned seed) {
  // A generator of its own, so that the draws do not depend on anything but the seed; the
  // distributions of the standard library differ between implementations, plain modulo does not.
  std::mt19937 rng(seed);
  auto pick = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
  auto coin = [&] { return pick(2) == 1; };
  const TSimProfile standard, field = FieldProfile();
  TSimProfile p;
  p.MacWithDashes = coin();
  p.TcpFlags = static_cast<TSimTcpFlagLayout>(pick(3));
  static const char* const pairs[][2] = {
      {"enabled", "disabled"}, {"Y", "N"}, {"yes", "no"}, {"on", "off"}, {"ON", "OFF"}};
  const auto pair = pick(5);
  p.FlagOn = pairs[pair][0];
  p.FlagOff = pairs[pair][1];
  p.HardwareLine = coin();
  p.CountryLine = coin();
  p.AlternateMacLine = coin();
  static const char* const headings[] = {"", "Change Setup:", "Main menu:"};
  p.RootHeading = headings[pick(3)];
  p.AddressByNumber = coin();
  p.NetmaskWithoutQuestionMark = coin();
  p.ExitText = coin() ? field.ExitText : standard.ExitText;
  p.DefaultsReprintDump = coin();
  p.TableInAnyUdpMode = coin();
  p.SaysRestarting = coin();
  static const char* const ends[] = {"\r\n", "\n\r", "\r"};
  p.LineEnd = ends[pick(3)];
  p.Colons = static_cast<TSimColonSpacing>(pick(3));
  p.BlankLinesBetweenSections = coin();
  // Later differences are drawn after all the others, so that a seed keeps the unit it was.
  p.OfferEnd = static_cast<TSimOfferEnd>(pick(3));
  p.Banner = static_cast<TSimBanner>(pick(3));
  p.AlternateMacInBanner = coin();
  p.Echo = coin() ? TSimEcho::Raw : TSimEcho::Cooked;
  p.Wlan = pick(4) != 0;
  // How fast it restarts after a store, and how briefly its offer stays open.
  static const int restartDelays[] = {300, 0, 50, 1000};
  p.RestartDelayMs = restartDelays[pick(4)];
  static const int offerWindows[] = {0, 1000, 300};
  p.OfferWindowMs = offerWindows[pick(3)];
  // How it asks for the DHCP name's change, and how long its line pauses inside that question.
  static const TSimDhcpForm dhcpForms[] = {TSimDhcpForm::TwoParts, TSimDhcpForm::TwoParts, TSimDhcpForm::OnePart,
                                           TSimDhcpForm::Bracketed};
  p.DhcpForm = dhcpForms[pick(4)];
  static const int partPauses[] = {0, 4, 12, 16};
  p.PartPauseMs = partPauses[pick(4)];
  // The words of its store's confirmation.
  static const char* const storedTexts[] = {"Parameters stored ...", "PARAMETERS STORED",
                                            "Parameters stored to flash ...", "parameters stored"};
  p.StoredText = storedTexts[pick(4)];
  // How late an adapter hands over the offer's last byte, and how long the unit takes to enter
  // Setup Mode.
  static const int adapterHolds[] = {0, 0, 16, 40};
  p.AdapterHoldMs = adapterHolds[pick(4)];
  static const int setupDelays[] = {0, 0, 30, 120};
  p.SetupDelayMs = setupDelays[pick(4)];
  return p;
}

}  // namespace

bool SimProfileFor(const std::string& variant, unsigned seed, TSimProfile& profile) {
  if (variant == "standard") profile = TSimProfile{};
  else if (variant == "field") profile = FieldProfile();
  else if (variant == "random") profile = RandomProfile(seed);
  else return false;
  return true;
}

TSimProfile SimProfileFor(const std::string& variant, unsigned seed) {
  TSimProfile p;
  if (!SimProfileFor(variant, seed, p)) throw std::invalid_argument("unknown variant " + variant);
  return p;
}

bool SimParseModel(const std::string& model, TSimProfile& profile) {
  if (model != "standard" && model != "no-wlan") return false;
  profile.Wlan = model == "standard";
  return true;
}

bool SimParseMac(const std::string& text, std::string& twelveHexDigits) {
  std::string digits;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += static_cast<char>(std::toupper(c));
    else if ((c != '-' && c != ':') || i % 3 != 2 || text.size() != 17) return false;
  }
  if (digits.size() != 12) return false;
  twelveHexDigits = digits;
  return true;
}

namespace {

const char* const kFlagRows[] = {"Power_management",
                                 "Monitor_Mode_at_bootup",
                                 "SNMP",
                                 "Telnet_Setup",
                                 "TFTP_Download",
                                 "Port_77FEh",
                                 "Web_Server",
                                 "Web_Setup",
                                 "ECHO",
                                 "Encryption",
                                 "Enhanced_Password",
                                 "Port_77F0h"};

bool IsFlagRow(const TSimDumpRow& row) {
  // WLAN has an encryption line too, which names a cipher.
  for (const char* key : kFlagRows)
    if (row.ReadKeys == std::string_view(key))
      return key != std::string_view("Encryption") || row.Group == TSimGroup::Security;
  return false;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// One flag word of the profile for a stored Y/N, or the standard word when the profile has none.
std::string Word(const TSimProfile& p, bool on, const char* standardOn, const char* standardOff) {
  if (p.FlagOn.empty()) return on ? standardOn : standardOff;
  return on ? p.FlagOn : p.FlagOff;
}

void TcpFlagLines(const TSimSection& s, const TSimProfile& p, std::vector<std::string>& lines) {
  const std::pair<const char*, const char*> flags[] = {{"Send '+++' in Modem Mode", "Send_______in_Modem_Mode"},
                                                       {"Show IP addr after 'RING'", "Show_IP_addr_after__RING"},
                                                       {"Auto increment source port", "Auto_increment_source_port"}};
  std::string oneLine;
  for (const auto& [label, key] : flags) {
    auto it = s.find(key);
    const bool on = it != s.end() && it->second == "Y";
    switch (p.TcpFlags) {
      case TSimTcpFlagLayout::OneLine:
        oneLine += (oneLine.empty() ? "" : ", ") + std::string(label) + " " + Word(p, on, "Y", "N");
        break;
      case TSimTcpFlagLayout::ThreeLinesColon:
        lines.push_back(std::string(label) + " : " + Word(p, on, "enabled", "disabled"));
        break;
      case TSimTcpFlagLayout::ThreeLinesBare:
        lines.push_back(std::string(label) + " " + Word(p, on, "enabled", "disabled"));
        break;
    }
  }
  if (!oneLine.empty()) lines.push_back(oneLine);
}

// The blanks before every label's colon as the profile has them. A colon without a blank after it
// belongs to a value (a time, a rate) and stays.
std::string SpaceColons(const std::string& line, TSimColonSpacing spacing) {
  if (spacing == TSimColonSpacing::AsIs) return line;
  std::string out;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ':' && i + 1 < line.size() && line[i + 1] == ' ') {
      while (!out.empty() && out.back() == ' ') out.pop_back();
      out += spacing == TSimColonSpacing::Spaced ? " :" : ":";
    } else {
      out += line[i];
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> SimDumpLines(const TSimSettings& settings, const TSimProfile& profile) {
  std::vector<std::string> lines;
  const TSimSection empty;
  for (const auto& info : SimSections()) {
    if (info.Group == TSimGroup::WLAN && !profile.Wlan) continue;
    if (profile.BlankLinesBetweenSections && !lines.empty()) lines.emplace_back();
    lines.push_back(std::string("*** ") + info.Heading);
    auto it = settings.Sections.find(info.Name);
    const TSimSection& section = it == settings.Sections.end() ? empty : it->second;
    for (const auto& row : SimDumpRows()) {
      if (row.Group != info.Group || (row.Shown && !row.Shown(section))) continue;
      if (!profile.Wlan && row.ReadKeys == std::string_view("Network_mode")) continue;
      std::string line = row.Line(section);
      if (std::string_view(row.ReadKeys).starts_with("Send_plusplusplus")) {
        TcpFlagLines(section, profile, lines);
        continue;
      }
      if (IsFlagRow(row) && !profile.FlagOn.empty()) {
        if (EndsWith(line, " enabled")) line.replace(line.size() - 7, 7, profile.FlagOn);
        else if (EndsWith(line, " disabled")) line.replace(line.size() - 8, 8, profile.FlagOff);
      }
      lines.push_back(line);
    }
    if (info.Group == TSimGroup::Basic && profile.HardwareLine)
      lines.emplace_back(profile.Wlan ? "Hardware: KV-200 rev C, 2 serial ports, WLAN 802.11b/g"
                                      : "Hardware: KV-200 rev C, 2 serial ports");
    if (info.Group == TSimGroup::WLAN && profile.CountryLine) lines.emplace_back("Country: Europe (ETSI)");
    if (info.Group == TSimGroup::Expert && profile.AlternateMacLine) lines.emplace_back("Alternate MAC: disabled");
  }
  for (auto& line : lines) line = SpaceColons(line, profile.Colons);
  return lines;
}
