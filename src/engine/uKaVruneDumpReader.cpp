#include "uKaVruneDumpReader.h"

#include "uCommunicationUtils.h"
#include "uKaVruneUtils.h"

namespace {

std::string Blanks(const std::string& text) { return ReplaceAll(text, " ", "_"); }

}  // namespace

void ParseDumpLine(const std::string& line, const TXmlElement& root, TXmlElement& section) {
  if (line.empty()) return;
  try {
    if (line.rfind("***", 0) == 0) {
      TXmlElement parent = root;
      section = parent.AppendChild(Blanks(Trim(line.substr(3))));
      return;
    }
    if (!section) return;
    // "@" becomes "at" in names only ("@" is no name character); a value keeps it, or an SSID
    // "a@b" would go back to the device as "aatb".
    auto keyName = [](const std::string& text) { return Blanks(ReplaceAll(Trim(text), "@", "at")); };
    if (size_t colon = line.find(':'); colon != std::string::npos) {
      section.AppendChild(keyName(line.substr(0, colon))).SetText(Trim(line.substr(colon + 1)));
      return;
    }
    if (size_t is = line.find(" is "); is != std::string::npos) {
      section.AppendChild(keyName(line.substr(0, is))).SetText(Trim(line.substr(is + 4)));
      return;
    }
    std::string rest = line;
    while (!rest.empty()) {
      size_t comma = rest.find(',');
      std::string group = rest.substr(0, comma);
      rest = comma == std::string::npos ? std::string() : Trim(rest.substr(comma + 1));
      group = Trim(group);
      std::string value;
      if (group == "no gateway set") group = "gateway";
      if (size_t blank = group.rfind(' '); blank != std::string::npos) {
        value = Trim(group.substr(blank + 1));
        group = Trim(group.substr(0, blank));
      }
      for (const char* drop : {"-", "/", "'"}) group = ReplaceAll(group, drop, "");
      group = ReplaceAll(group, "+", "plus");
      group = ReplaceAll(group, "@", "at");
      group = Blanks(Trim(group));
      if (group.empty() || (group[0] >= '0' && group[0] <= '9')) continue;
      section.AppendChild(group).SetText(value);
    }
  } catch (...) {
    try {
      if (section) section.AppendChild(ErrorLineMarker);
    } catch (...) {
    }
  }
}

void ReadDump(TAfCustomSerialPort* port, TDumpContext& context) {
  std::string buffer;
  SendAndCollect(port, "\r", 100, LineIncomplete, NoPurge, buffer);
  if (buffer.empty()) return;
  const std::string heading = "*** basic parameters";
  int pass = 0;
  while (pass < 10 || (!buffer.empty() && pass < 100)) {
    if (Contains(buffer, heading)) context.InMenu = true;
    if (context.InMenu && context.DumpWanted) {
      for (size_t p = buffer.find('\r'); p != std::string::npos; p = buffer.find('\r')) {
        std::string line = Trim(buffer.substr(0, p));
        // Everything before the heading belongs to earlier output: the document is started
        // again for as long as the heading is still ahead in the buffer.
        if (Contains(buffer, heading)) {
          context.Document = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
          context.Root = context.Document->Root();
          context.Section = TXmlElement();
          context.Document.reset();
        } else if (Contains(buffer, "Your choice ?")) {
          pass = 100;
        }
        ParseDumpLine(Cp1250ToUtf8(line), context.Root, context.Section);
        buffer.erase(0, p + 1);
      }
    }
    std::string piece;
    SendAndCollect(port, "", 100, LineIncomplete, NoPurge, piece);
    buffer += piece;
    ++pass;
  }
}
