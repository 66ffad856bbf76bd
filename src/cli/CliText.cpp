#include "CliText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <optional>

#include "CliSettings.h"

namespace KaVruneCli {
namespace {

std::string Join(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : separator) + p;
  return out;
}

std::optional<uint8_t> ByteOf(const std::string& value) {
  if (value.empty() || value.size() > 2 || value.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
    return std::nullopt;
  return static_cast<uint8_t>(std::stoul(value, nullptr, 16));
}

// The item's word, or what the byte holds when no item matches.
std::string Item(int item, std::initializer_list<const char*> words, const std::string& unknown) {
  if (item >= 0 && item < static_cast<int>(words.size())) return *(words.begin() + item);
  return unknown;
}

std::string InterfaceMode(uint8_t byte) {
  const std::vector<int> i = DecodeFields(IFModeFields(), byte);
  return Join({Item(i[0], {"RS232", "RS422", "RS485"}, "unknown line"),
               Item(i[1], {"7 data bits", "8 data bits"}, "unknown data bits"),
               Item(i[2], {"no parity", "even parity", "odd parity"}, "unknown parity"),
               Item(i[3], {"1 stop bit", "2 stop bits"}, "unknown stop bits")},
              ", ");
}

std::string FlowControl(uint8_t byte) {
  const std::array<const char*, FlowControlCodes.size()> words = {"none", "XON/XOFF",
                                                                  "XON/XOFF, passed on to the host"};
  const auto code = std::find(FlowControlCodes.begin(), FlowControlCodes.end(), byte);
  return code == FlowControlCodes.end() ? "code " + HexByte2(byte) + "h"
                                        : words[static_cast<size_t>(code - FlowControlCodes.begin())];
}

// When the device empties a buffer: the three moments each have a bit.
std::string FlushMoments(uint8_t byte, int shift) {
  std::vector<std::string> when;
  const std::array<const char*, 3> moments = {"on active connect", "on passive connect", "at disconnect"};
  for (int bit = 0; bit < 3; ++bit)
    if (byte & (1 << (bit + shift))) when.push_back(moments[static_cast<size_t>(bit)]);
  return when.empty() ? std::string("never") : Join(when, ", ");
}

std::string FlushMode(uint8_t byte) {
  return std::string(byte & 0x80 ? "packing on" : "packing off") + "; input flushed " + FlushMoments(byte, 4) +
         "; output flushed " + FlushMoments(byte, 0);
}

std::string PackControl(uint8_t byte) {
  const std::vector<int> i = DecodeFields(PackControlFields(), byte);
  std::vector<std::string> parts = {
      "idle gap " + Item(i[0], {"12 ms", "52 ms", "250 ms", "5000 ms"}, "unknown"),
      Item(i[1], {"no trailing bytes", "1 trailing byte", "2 trailing bytes"}, "no trailing bytes")};
  if (i[2] == 1) parts.push_back("sends 2 characters");
  if (i[3] == 1) parts.push_back("sends immediately");
  return Join(parts, ", ");
}

std::string ConnectMode(uint8_t byte) {
  TConnectMode m;
  DecodeConnectMode(byte, m);
  const char* incoming[] = {"accepts incoming", "refuses incoming", "accepts incoming with active modem control in"};
  if (m.ConnectionType == 1) return std::string("UDP, ") + incoming[std::clamp(m.UDPAcceptIncoming, 0, 2)];
  std::vector<std::string> parts = {"TCP", incoming[std::clamp(m.AcceptIncoming, 0, 2)]};
  if (m.ModemMode == 0) {
    parts.push_back(m.ActiveConnect == 0
                        ? "no active connect"
                        : "active connect " + Item(m.ActiveConnect - 1,
                                                   {"with any character", "with active modem control in",
                                                    "with start character", "by hand", "at start"},
                                                   "code " + std::to_string(byte & 0x07)));
    parts.push_back(m.ConnectResponse ? "character response" : "no connect response");
  } else {
    parts.push_back("modem mode " + Item(m.ModemMode - 1,
                                         {"without echo", "verbose responses and echo", "numeric responses and echo",
                                          "verbose responses only", "numeric responses only"},
                                         "unknown"));
  }
  if (m.UseHostlist) parts.push_back("uses the hostlist");
  return Join(parts, ", ");
}

std::string DisconnectMode(uint8_t byte) {
  const std::vector<int> i = DecodeFields(DisconnectModeFields(), byte);
  std::vector<std::string> parts = {i[0] == 1 ? "LED off" : "LED blinks"};
  const std::array<const char*, 5> options = {"hard disconnect", "password required", "checks EOT", "COM port control",
                                              "disconnects when modem control in drops"};
  for (size_t k = 0; k < options.size(); ++k)
    if (i[k + 1] == 1) parts.push_back(options[k]);
  return Join(parts, ", ");
}

std::string Unit(const TSettingRow& row) { return row.UnitName.empty() ? row.Unit : " " + row.UnitName; }

std::string HexWords(const TSettingRow& row, uint8_t byte) {
  const std::string& key = row.Key();
  if (key == "I_F_Mode") return InterfaceMode(byte);
  if (key == "Flow") return FlowControl(byte);
  if (key == "FlushMode") return FlushMode(byte);
  if (key == "Pack_Cntrl") return PackControl(byte);
  if (key == "ConnectMode") return ConnectMode(byte);
  if (key == "DisConnMode") return DisconnectMode(byte);
  return HexByte2(byte) + "h";
}

std::string Capitalized(std::string s) {
  if (!s.empty()) s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
  return s;
}

// The heading of a section, and what its names may drop beneath it.
struct TSectionHeading {
  std::string Title;
  std::string NamePrefix;
};

TSectionHeading HeadingOf(const std::string& section) {
  if (section == "basic_parameters") return {"Network", ""};
  if (section.rfind("Channel_", 0) == 0) {
    const std::string n = section.substr(8);
    return {"Channel " + n, "channel " + n + " "};
  }
  if (section == "WLAN") return {"WLAN", "WLAN "};
  return {section, ""};
}

// Columns line up for UTF-8 texts too: a character is every byte that does not continue one.
size_t Width(const std::string& s) {
  return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string Padded(const std::string& s, size_t width) {
  const size_t w = Width(s);
  return w >= width ? s : s + std::string(width - w, ' ');
}

}  // namespace

std::string ValueInWords(const TSettingRow& row, const TDeviceSettings& settings) {
  const std::string* value = settings.Find(row);
  if (!value) return {};
  switch (row.Kind) {
    case TSettingKind::Flag: return row.On(*value) ? "on" : "off";
    case TSettingKind::Number: return *value + Unit(row);
    case TSettingKind::HexByte: {
      const auto byte = ByteOf(*value);
      return byte ? HexWords(row, *byte) : *value;
    }
    case TSettingKind::Time: {
      const size_t colon = value->find(':');
      if (colon == std::string::npos) return *value;
      const std::string minutes = value->substr(0, colon), seconds = value->substr(colon + 1);
      const bool noMinutes = minutes.find_first_not_of('0') == std::string::npos;
      const std::string s = std::to_string(std::atoi(seconds.c_str())) + " s";
      return noMinutes ? s : std::to_string(std::atoi(minutes.c_str())) + " min " + s;
    }
    case TSettingKind::Text: {
      const std::string shown = ShownValue(row, settings);
      return shown.empty() ? "(empty)" : shown;
    }
    default: {
      const std::string shown = ShownValue(row, settings);
      return shown.empty() ? "none" : shown;
    }
  }
}

std::string ReadableText(const TDeviceSettings& settings, const std::vector<const TSettingRow*>* rows) {
  struct TLine {
    std::string Heading, Name, Words, Setting;
  };
  std::vector<TLine> lines;
  std::vector<const TSettingRow*> held;
  if (rows) held = *rows;
  else
    for (const TSettingRow& r : SettingRows()) held.push_back(&r);
  for (const TSettingRow* r : held) {
    if (!settings.Find(*r)) continue;
    std::string name = r->Name;
    std::string heading;
    if (!rows) {
      const TSectionHeading h = HeadingOf(r->Section);
      heading = h.Title;
      if (!h.NamePrefix.empty() && name.rfind(h.NamePrefix, 0) == 0) name = name.substr(h.NamePrefix.size());
    }
    lines.push_back(
        {heading, Capitalized(name), ValueInWords(*r, settings), SettingName(*r) + "=" + ShownValue(*r, settings)});
  }
  // Long values (a connect mode in words) push only their own line's last column out.
  constexpr size_t kMaxWordsColumn = 40;
  size_t nameWidth = 0, wordsWidth = 0;
  for (const TLine& l : lines) {
    nameWidth = std::max(nameWidth, Width(l.Name));
    if (Width(l.Words) <= kMaxWordsColumn) wordsWidth = std::max(wordsWidth, Width(l.Words));
  }
  std::string out, heading;
  const std::string indent = rows ? "" : "  ";
  for (const TLine& l : lines) {
    if (!rows && l.Heading != heading) {
      heading = l.Heading;
      out += (out.empty() ? "" : "\n") + heading + "\n";
    }
    out += indent + Padded(l.Name, nameWidth) + "  " + Padded(l.Words, wordsWidth) + "  " + l.Setting + "\n";
  }
  return out;
}

}  // namespace KaVruneCli
