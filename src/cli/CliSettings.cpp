#include "CliSettings.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <map>

namespace KaVruneCli {
namespace {

using TJson = nlohmann::ordered_json;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

bool SameName(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

// A value of the JSON forms: numbers as numbers, flags as booleans, everything else as printed.
TJson Typed(const TSettingRow& row, const std::string& value, const std::string& shown) {
  if (row.Kind == TSettingKind::Number && !value.empty() && value.find_first_not_of("-0123456789") == std::string::npos)
    return std::stol(value);
  if (row.Kind == TSettingKind::Flag) return row.On(value);
  return shown;
}

TSectionValues SectionOf(const TDeviceSettings& settings, const std::string& section) {
  const auto s = settings.Sections().find(section);
  return s == settings.Sections().end() ? TSectionValues() : s->second;
}

std::vector<const TSettingRow*> RowsHeld(const TDeviceSettings& settings) {
  std::vector<const TSettingRow*> rows;
  for (const TSettingRow& row : SettingRows())
    if (settings.Find(row)) rows.push_back(&row);
  return rows;
}

}  // namespace

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      const bool same =
          std::tolower(static_cast<unsigned char>(a[i - 1])) == std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

const std::string& KeyName(const TSettingRow& row) { return SettingKeyName(row); }

std::vector<const TSettingRow*> FindSettings(const std::string& name, std::string& error) {
  const TSplit parts = SplitAt(Trim(name), ".");
  std::vector<const TSettingRow*> byName, byKey;
  for (const TSettingRow& r : SettingRows()) {
    if (!SameName(r.Section, parts.Head)) continue;
    if (SameName(KeyName(r), parts.Tail)) byName.push_back(&r);
    else if (SameName(r.ReadKey, parts.Tail) || SameName(r.PromptKey, parts.Tail)) byKey.push_back(&r);
  }
  if (!byName.empty()) return byName;
  if (byKey.empty()) {
    const bool section = std::any_of(SettingRows().begin(), SettingRows().end(),
                                     [&](const TSettingRow& r) { return SameName(r.Section, parts.Head); });
    error = !section || parts.Tail.empty()
                ? name + ": no setting of the device (names are Section.Key, as \"read --format text\" prints them)"
                : name + ": the section " + parts.Head + " has no such key";
  }
  return byKey;
}

std::string ShownValue(const TSettingRow& row, const TDeviceSettings& settings) {
  const std::string* value = settings.Find(row);
  if (!value) return {};
  if (row.Compose && KeyName(row) == row.ReadKey) return row.Compose(SectionOf(settings, row.Section));
  return DumpText(row, *value);
}

std::string NearestSettingName(const std::string& name, bool writable) {
  std::string best;
  size_t bestDistance = std::max<size_t>(2, name.size() / 5) + 1;
  for (const TSettingRow& row : SettingRows()) {
    if (!(writable ? row.Writable() : row.Readable())) continue;
    const std::string candidate = SettingName(row);
    if (const size_t d = EditDistance(name, candidate); d < bestDistance) best = candidate, bestDistance = d;
  }
  return best;
}

std::optional<std::string> ParseShownValue(const TSettingRow& row, const std::string& text, bool byPromptKey,
                                           const TDeviceSettings* context) {
  if (row.Kind == TSettingKind::Flag) {
    const std::string t = Lower(Trim(text));
    // The words the dump prints for it ("enabled", "Broadcast" or nothing).
    if (row.Compose && !byPromptKey && KeyName(row) == row.ReadKey)
      for (const char* v : {"Y", "N"})
        if (Lower(row.Compose({{row.Key(), v}})) == t) return std::string(v);
    const auto on = FlagWord(t);
    if (!on) return std::nullopt;
    // A flag named by the dump's word (Security.SNMP) says whether the function is on.
    return byPromptKey ? (*on ? "Y" : "N") : row.FlagValue(*on);
  }
  if (auto v = ParseSettingValue(row, text)) return v;
  // Forms only the dump line gives: the empty gateway of "no gateway set", the WLAN words that
  // depend on the security suite printed before them.
  if (byPromptKey || !row.Extract || KeyName(row) != row.ReadKey) return std::nullopt;
  auto extract = [&](const TDeviceSettings& others) -> std::optional<std::string> {
    auto doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
    ToReadDocument(others, doc->Root());
    TXmlElement section = FindNodePath(doc->Root(), row.Section, true);
    TXmlElement key = section.FirstChild(row.ReadKey);
    (key ? key : section.AppendChild(row.ReadKey)).SetText(text);
    return row.Extract(section);
  };
  if (context) return extract(*context);
  std::optional<std::string> found = extract({});
  if (!found && row.Section == "WLAN") {
    for (const char* suite : {"1", "2", "3"}) {
      TDeviceSettings s;
      s.Set("WLAN", "Security_suite", suite);
      const auto v = extract(s);
      if (v && found && *v != *found) return std::nullopt;  // the suite decides: give the number
      if (v) found = v;
    }
  }
  return found;
}

std::optional<TAssignment> ParseAssignment(const std::string& text, std::string& error,
                                           const TDeviceSettings* context) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos) {
    error = text + ": give Section.Key=Value";
    return std::nullopt;
  }
  const std::string name = Trim(text.substr(0, eq));
  const std::string value = text.substr(eq + 1);
  const auto rows = FindSettings(name, error);
  if (rows.empty()) return std::nullopt;
  if (rows.size() > 1) {
    error = name + " holds several settings; set them one by one:";
    for (const TSettingRow* r : rows) error += " " + SettingName(*r);
    return std::nullopt;
  }
  const TSettingRow& row = *rows.front();
  if (!row.Writable()) {
    error = name + ": the " + row.Name + " can only be read; no menu of the device asks for it";
    return std::nullopt;
  }
  const bool byPromptKey = !SameName(SplitAt(name, ".").Tail, KeyName(row));
  const auto parsed = ParseShownValue(row, value, byPromptKey, context);
  if (!parsed) {
    error = name + ": " + (Confidential(row) ? std::string("the value given") : "\"" + value + "\"") +
            " is not a valid value for " + row.Name;
    if (row.Kind == TSettingKind::Flag) error += " (give on or off)";
    if (row.Kind == TSettingKind::Choice) {
      std::string words;
      for (const std::string& w : row.Words)
        if (!w.empty()) words += (words.empty() ? "" : ", ") + w;
      error += words.empty() ? " (give its number)" : " (give one of " + words + ", or its number)";
    }
    return std::nullopt;
  }
  if (const auto faults = CheckBeforeWrite(TSettingChanges{{&row, std::nullopt, *parsed}}); !faults.empty()) {
    error = name + ": " + faults.front();
    return std::nullopt;
  }
  return TAssignment{&row, *parsed};
}

std::vector<TDifference> Compare(const TDeviceSettings& a, const TDeviceSettings& b) {
  std::vector<TDifference> out;
  for (const TSettingRow& row : SettingRows()) {
    if (row.Kind == TSettingKind::Secret) continue;
    const std::string *va = a.Find(row), *vb = b.Find(row);
    if ((!va && !vb) || (va && vb && *va == *vb)) continue;
    TDifference d{&row, {}, {}, {}, {}};
    if (va) d.FromValue = *va, d.From = ShownValue(row, a);
    if (vb) d.ToValue = *vb, d.To = ShownValue(row, b);
    out.push_back(std::move(d));
  }
  return out;
}

std::optional<TFormat> ParseFormat(const std::string& name) {
  if (name == "xml") return TFormat::Xml;
  if (name == "json") return TFormat::Json;
  if (name == "text") return TFormat::Text;
  return std::nullopt;
}

std::string FormatSettings(const TDeviceSettings& settings, TFormat format,
                           const std::vector<const TSettingRow*>* rows) {
  const std::vector<const TSettingRow*> held = rows ? *rows : RowsHeld(settings);
  switch (format) {
    case TFormat::Text: {
      std::string out;
      for (const TSettingRow* r : held)
        if (settings.Find(*r)) out += SettingName(*r) + "=" + ShownValue(*r, settings) + "\n";
      return out;
    }
    case TFormat::Json: {
      TJson j = TJson::object();
      for (const TSettingRow* r : held)
        if (const std::string* v = settings.Find(*r))
          j[r->Section][KeyName(*r)] = Typed(*r, *v, ShownValue(*r, settings));
      return j.dump(2) + "\n";
    }
    case TFormat::Xml: {
      auto doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
      for (const TSettingRow* r : held)
        if (settings.Find(*r))
          FindNodePath(doc->Root(), r->Section, true).AppendChild(KeyName(*r)).SetText(ShownValue(*r, settings));
      return doc->SaveToText();
    }
  }
  return {};
}

std::string FormatDifferences(const std::vector<TDifference>& differences, TFormat format) {
  switch (format) {
    case TFormat::Text: {
      std::string out;
      for (const TDifference& d : differences)
        out += SettingName(*d.Row) + ": " + d.From.value_or("(none)") + " -> " + d.To.value_or("(none)") + "\n";
      return out;
    }
    case TFormat::Json: {
      TJson list = TJson::array();
      for (const TDifference& d : differences) {
        TJson e = {{"setting", SettingName(*d.Row)}, {"from", nullptr}, {"to", nullptr}};
        if (d.From) e["from"] = Typed(*d.Row, *d.FromValue, *d.From);
        if (d.To) e["to"] = Typed(*d.Row, *d.ToValue, *d.To);
        list.push_back(std::move(e));
      }
      return list.dump(2) + "\n";
    }
    case TFormat::Xml: {
      auto doc = TXmlDocument::CreateFromText("<?xml version=\"1.0\" encoding=\"windows-1250\"?><differences/>");
      for (const TDifference& d : differences) {
        TXmlElement e = FindNodePath(doc->Root(), d.Row->Section, true).AppendChild(KeyName(*d.Row));
        if (d.From) e.SetAttribute("from", *d.From);
        if (d.To) e.SetAttribute("to", *d.To);
      }
      return doc->SaveToText();
    }
  }
  return {};
}

std::vector<TDifference> Masked(std::vector<TDifference> differences) {
  for (TDifference& d : differences)
    if (Confidential(*d.Row)) {
      if (d.From) d.From = d.FromValue = "********";
      if (d.To) d.To = d.ToValue = "********";
    }
  return differences;
}

}  // namespace KaVruneCli
