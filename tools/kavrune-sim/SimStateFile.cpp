// The simulator's state file, which keeps a device's settings across runs.

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "SimModel.h"
#include "uFileUtils.h"

namespace {

std::string Trimmed(const std::string& text) {
  const auto b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const auto e = text.find_last_not_of(" \t\r\n");
  return text.substr(b, e - b + 1);
}

}  // namespace

// State file: plain text, one "[section]" line per section followed by its "Key=value" lines, in
// the device's own order. Keys are the write-form keys, values as the window's write document
// types them (addresses dotted, the netmask dotted, hex bytes without leading zeros, flags Y/N,
// "m:s" times, "rate:fallback", the address table as sixteen numbers). The value runs from the
// first "=" to the line end; lines starting with "#" and unknown keys are ignored.
TSimSettings LoadState(const std::string& path) {
  TSimSettings settings = SimDefaults();
  std::ifstream in(path);
  if (!in) return settings;
  std::string line, section;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string t = Trimmed(line);
    if (t.empty() || t[0] == '#') continue;
    if (t.front() == '[' && t.back() == ']') {
      section = t.substr(1, t.size() - 2);
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos || section.empty()) continue;
    const std::string key = Trimmed(line.substr(0, eq));
    auto s = settings.Sections.find(section);
    if (s == settings.Sections.end() || !s->second.count(key)) continue;
    s->second[key] = line.substr(eq + 1);
  }
  return settings;
}

void SaveState(const TSimSettings& settings, const std::string& path) {
  std::ostringstream out;
  out << "# kavrune-sim stored parameters\n";
  for (const auto& info : SimSections()) {
    auto s = settings.Sections.find(info.Name);
    if (s == settings.Sections.end()) continue;
    out << "[" << info.Name << "]\n";
    for (const auto& def : SimSettingDefs())
      if (def.Group == info.Group && s->second.count(def.Key)) out << def.Key << "=" << s->second.at(def.Key) << "\n";
  }
  if (!WriteFileAtomically(path, out.str())) throw std::runtime_error("Cannot write state file " + path);
}
