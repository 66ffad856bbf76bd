#include "CliWriteResult.h"

#include <nlohmann/json.hpp>

namespace KaVruneCli {
namespace {

using TJson = nlohmann::ordered_json;

// The JSON of diff --format json, so a script reads one form of difference everywhere.
TJson DifferencesJson(const TWriteRecord& record) {
  TJson list = TJson::parse(FormatDifferences(record.Differences, TFormat::Json));
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
                   {"status", p.Status},
                   {"changed", p.Record.Changed()},
                   {"result", p.Result},
                   {"diff", DifferencesJson(p.Record)},
                   {"not_asked", Names(p.Record.NotAsked)},
                   {"not_taken", Names(p.Record.NotTaken)},
                   {"errors", p.Record.Errors}});
  }
  const TJson out = {
      {"command", command}, {"dry_run", dryRun}, {"status", status}, {"changed", changed}, {"ports", all}};
  return out.dump(2) + "\n";
}

}  // namespace KaVruneCli
