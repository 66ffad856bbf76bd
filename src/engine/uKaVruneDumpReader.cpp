#include "uKaVruneDumpReader.h"

#include <algorithm>

#include "uCommunicationUtils.h"
#include "uKaVruneUtils.h"
#include "uTranscript.h"

namespace {

std::string Blanks(const std::string& text) { return ReplaceAll(text, " ", "_"); }

// The device prints windows-1250 text (names and SSIDs may hold its letters) and no control
// characters; a control character, or a byte without a character in windows-1250, is noise.
bool Printable(unsigned char c) {
  return c >= 0x20 && c != 0x7F && c != 0x81 && c != 0x83 && c != 0x88 && c != 0x90 && c != 0x98;
}

void AppendMarker(TXmlElement parent) {
  try {
    if (parent) parent.AppendChild(ErrorLineMarker);
  } catch (...) {}
}

// One form of key for every line layout: "Send '+++' in Modem Mode : enabled" and the standard
// "Send '+++' in Modem Mode Y, ..." must name the same setting.
std::string KeyName(const std::string& text) {
  std::string key = Trim(text);
  for (const char* drop : {"-", "/", "'"}) key = ReplaceAll(key, drop, "");
  key = ReplaceAll(key, "+", "plus");
  // "@" becomes "at" in names only ("@" is no name character); a value keeps it, or an SSID
  // "a@b" would go back to the device as "aatb".
  key = ReplaceAll(key, "@", "at");
  return Blanks(Trim(key));
}

bool StartsWithDigit(const std::string& text) { return !text.empty() && text[0] >= '0' && text[0] <= '9'; }

// "0 Server configuration": an item of the root menu that follows the dump.
bool MenuItem(const std::string& line) {
  const size_t digits = line.find_first_not_of("0123456789");
  return digits != 0 && digits != std::string::npos && line[digits] == ' ';
}

// "Change Setup:", "Main menu:": a heading that names what follows and holds no value.
bool MenuHeading(const std::string& line) {
  return line.size() > 1 && line.back() == ':' && line.find(':') + 1 == line.size();
}

}  // namespace

bool ParseDumpLine(const std::string& line, const TXmlElement& root, TXmlElement& section) {
  if (line.empty()) return true;
  if (line[0] == '*') {
    try {
      if (line.rfind("***", 0) != 0) throw EXmlError("no heading");
      TXmlElement parent = root;
      section = parent.AppendChild(Blanks(Trim(line.substr(3))));
      return true;
    } catch (...) {
      // The lines that follow belong to a section that cannot be named: they are kept apart.
      TXmlElement parent = root;
      try {
        section = parent.AppendChild(ErrorLineMarker);
      } catch (...) {
        section = TXmlElement();
      }
      return false;
    }
  }
  if (!section) return true;
  try {
    if (size_t colon = line.find(':'); colon != std::string::npos) {
      section.AppendChild(KeyName(line.substr(0, colon))).SetText(Trim(line.substr(colon + 1)));
      return true;
    }
    if (size_t is = line.find(" is "); is != std::string::npos) {
      section.AppendChild(KeyName(line.substr(0, is))).SetText(Trim(line.substr(is + 4)));
      return true;
    }
    std::string rest = line;
    while (!rest.empty()) {
      size_t comma = rest.find(',');
      std::string group = Trim(rest.substr(0, comma));
      rest = comma == std::string::npos ? std::string() : Trim(rest.substr(comma + 1));
      std::string value;
      if (group == "no gateway set") group = "gateway";
      if (size_t blank = group.rfind(' '); blank != std::string::npos) {
        value = Trim(group.substr(blank + 1));
        group = Trim(group.substr(0, blank));
      }
      group = KeyName(group);
      if (group.empty() || StartsWithDigit(group)) continue;
      section.AppendChild(group).SetText(value);
    }
    return true;
  } catch (...) {
    AppendMarker(section);
    return false;
  }
}

TXmlElement ParseDump(const std::string& text, std::vector<std::string>* damaged) {
  const size_t menu = text.rfind(MenuPrompt);
  if (menu == std::string::npos) return {};
  const size_t heading = text.rfind(DumpHeading, menu);
  if (heading == std::string::npos) return {};
  // Devices end their lines with CR LF, LF CR or CR alone: any run of CR and LF ends a line.
  // Only the line end and blanks frame a line: noise at either end is still noise, or a
  // garbled last character ("C0" as "C\x01") would pass as a shorter value.
  std::vector<std::string> lines;
  for (size_t p = heading; p < menu;) {
    size_t end = text.find_first_of("\r\n", p);
    if (end == std::string::npos || end > menu) end = menu;
    const std::string raw = text.substr(p, end - p);
    p = end + 1;
    const size_t first = raw.find_first_not_of(' ');
    if (first != std::string::npos) lines.push_back(raw.substr(first, raw.find_last_not_of(' ') - first + 1));
  }
  // The root menu follows the dump, its items perhaps under a heading of their own: none of
  // its lines is a setting.
  size_t count = lines.size();
  while (count > 1 && MenuItem(lines[count - 1])) --count;
  if (count < lines.size() && count > 1 && MenuHeading(lines[count - 1])) --count;
  lines.resize(count);

  PXmlDocument document = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  TXmlElement root = document->Root();
  TXmlElement section;
  int number = 0;
  for (const std::string& line : lines) {
    ++number;
    std::string kept;
    for (char c : line)
      if (Printable(static_cast<unsigned char>(c))) kept += c;
    const bool heading = !kept.empty() && kept[0] == '*';
    auto name = [&] {
      std::string where = "line " + std::to_string(number);
      if (!heading && section && section.Name() != ErrorLineMarker) where += " (" + section.Name() + ")";
      if (damaged) damaged->push_back(where + ": " + TTranscript::Readable(TTranscript::MaskLine(line)));
    };
    if (kept.size() != line.size()) {
      // Noise never becomes a value: a garbled address or password sent back to the
      // device would do harm. A garbled heading still opens a section of its own.
      name();
      if (heading) ParseDumpLine("*", root, section);
      else AppendMarker(section);
      continue;
    }
    if (!ParseDumpLine(Cp1250ToUtf8(line), root, section)) name();
  }
  return root;
}

void ReadDump(TDeviceConsole& console, TDumpContext& context) {
  context.Root = TXmlElement();
  context.DamagedLines.clear();
  if (console.EnterRootMenu(context)) context.Root = ParseDump(context.Heard, &context.DamagedLines);
}
