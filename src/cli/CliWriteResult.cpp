#include "CliWriteResult.h"

#include <nlohmann/json.hpp>

namespace KaVruneCli {
namespace {

using TJson = nlohmann::ordered_json;

// The JSON of diff --format json, so a script reads one form of difference everywhere. A record
// of a write ends up in playbook logs and CI output: no password in clear.
TJson DifferencesJson(const TWriteRecord& record) {
  TJson list = TJson::parse(FormatDifferences(record.Differences, TFormat::Json));
  for (size_t i = 0; i < record.Differences.size(); ++i) {
    if (!Confidential(*record.Differences[i].Row)) continue;
    for (const char* side : {"from", "to"})
      if (!list[i][side].is_null()) list[i][side] = "********";
    list[i]["secret"] = true;
  }
  for (const TSettingRow* row : record.Secrets)
    list.push_back({{"setting", SettingName(*row)}, {"from", "********"}, {"to", "********"}, {"secret", true}});
  return list;
}

TJson Names(const std::vector<const TSettingRow*>& rows) {
  TJson list = TJson::array();
  for (const TSettingRow* row : rows) list.push_back(SettingName(*row));
  return list;
}

}  // namespace

std::string WriteResultJson(const std::string& command, bool dryRun, int status, const std::vector<TPortWrite>& ports) {
  TJson all = TJson::array();
  bool changed = false;
  for (const TPortWrite& p : ports) {
    changed = changed || p.Record.Changed();
    all.push_back({{"port", p.Port},
                   {"mac", p.Mac.empty() ? TJson() : TJson(p.Mac)},
                   {"firmware", p.Firmware.empty() ? TJson() : TJson(p.Firmware)},
                   {"status", p.Status},
                   {"changed", p.Record.Changed()},
                   {"result", p.Result},
                   {"diff", DifferencesJson(p.Record)},
                   {"not_asked", Names(p.Record.NotAsked)},
                   {"not_taken", Names(p.Record.NotTaken)},
                   {"not_on_unit", Names(p.Record.NotOnUnit)},
                   {"errors", p.Record.Errors}});
  }
  const TJson out = {
      {"command", command}, {"dry_run", dryRun}, {"status", status}, {"changed", changed}, {"ports", all}};
  return out.dump(2) + "\n";
}

}  // namespace KaVruneCli
