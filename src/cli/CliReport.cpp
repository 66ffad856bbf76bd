#include "CliReport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>
#include <vector>

#include "uFileUtils.h"

namespace KaVruneCli {
namespace {

// The columns of each version, oldest first: the earlier versions' columns come first, so that
// scripts that count them still find theirs, and a file begun by one of them keeps its columns.
const std::vector<std::string>& CsvColumns() {
  static const std::vector<std::string> columns = [] {
    std::vector<std::string> each = {"time,port,mac,firmware,row,outcome,status,changed,seconds"};
    each.push_back(each.back() + ",record,run,tool,settings,settings_sha256,values");
    each.push_back(each.back() + ",differs");
    each.push_back(each.back() + ",operator,station");
    return each;
  }();
  return columns;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : " ") + name;
  return out;
}

using TJson = nlohmann::ordered_json;

TJson OrNull(const std::string& text) { return text.empty() ? TJson() : TJson(text); }

TJson ValuesOf(const TUnitRecord& r) {
  TJson values = TJson::object();
  for (const auto& [name, value] : r.Values) values[name] = value;
  return values;
}

void AddRun(TJson& j, const TRunInfo& run) {
  j["run"] = OrNull(run.Id);
  j["tool"] = OrNull(run.Tool);
  j["settings"] = OrNull(run.Settings);
  j["settings_sha256"] = OrNull(run.SettingsSha256);
  j["operator"] = OrNull(run.Operator);
  j["station"] = OrNull(run.Station);
}

// A device's bytes that are no UTF-8 are written as U+FFFD rather than refused.
std::string Line(const TJson& j) { return j.dump(-1, ' ', false, TJson::error_handler_t::replace) + "\n"; }

// RFC 4180: a cell with a comma, a quote or a line end is quoted, its quotes doubled.
std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", s);
  return text;
}

}  // namespace

std::optional<TReportFormat> ReportFormatOf(const std::string& path) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  auto endsWith = [&](const std::string& end) {
    return lower.size() > end.size() && lower.compare(lower.size() - end.size(), end.size(), end) == 0;
  };
  if (endsWith(".jsonl")) return TReportFormat::Jsonl;
  if (endsWith(".csv")) return TReportFormat::Csv;
  return std::nullopt;
}

std::string UtcTime(double secondsAgo) {
  const auto when = std::chrono::system_clock::now() - std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                                           std::chrono::duration<double>(secondsAgo));
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &t);
#else
  gmtime_r(&t, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string NewRunId() {
  std::random_device random;
  std::uniform_int_distribution<unsigned> byte(0, 255);
  std::string id = UtcTime(0);
  id.erase(std::remove_if(id.begin(), id.end(), [](char c) { return c == '-' || c == ':'; }), id.end());
  id += "-";
  const char* hex = "0123456789abcdef";
  for (int i = 0; i < 6; ++i) {
    const unsigned b = byte(random);
    id += hex[b >> 4];
    id += hex[b & 15];
  }
  return id;  // "20261207T201503Z-3f9a0c71d2e4"
}

size_t CsvVersions() { return CsvColumns().size(); }

std::string FormatRecord(const TUnitRecord& r, TReportFormat format, const TRunInfo& run, size_t version) {
  if (format == TReportFormat::Jsonl) {
    TJson j = {{"time", r.Time},
               {"port", OrNull(r.Port)},
               {"mac", OrNull(r.Mac)},
               {"firmware", OrNull(r.Firmware)},
               {"row", r.Row ? TJson(r.Row) : TJson()},
               {"outcome", r.Outcome},
               {"status", r.HasStatus ? TJson(r.Status) : TJson()},
               {"changed", r.Changed},
               {"differs", r.Differs},
               {"seconds", std::stod(Seconds(r.Seconds))},
               {"record", "unit"}};
    AddRun(j, run);
    j["values"] = ValuesOf(r);
    return Line(j);
  }
  const std::string changed = Joined(r.Changed);
  const std::string values = r.Values.empty() ? std::string() : ValuesOf(r).dump(-1, ' ', false, TJson::error_handler_t::replace);
  const std::string earlier = r.Time + "," + CsvCell(r.Port) + "," + CsvCell(r.Mac) + "," + CsvCell(r.Firmware) +
                              "," + (r.Row ? std::to_string(r.Row) : std::string()) + "," + r.Outcome + "," +
                              (r.HasStatus ? std::to_string(r.Status) : std::string()) + "," + CsvCell(changed) +
                              "," + Seconds(r.Seconds);
  if (version == 0) return earlier + "\r\n";
  const std::string second = earlier + ",unit," + CsvCell(run.Id) + "," + CsvCell(run.Tool) + "," +
                             CsvCell(run.Settings) + "," + run.SettingsSha256 + "," + CsvCell(values);
  if (version == 1) return second + "\r\n";
  const std::string third = second + "," + CsvCell(Joined(r.Differs));
  if (version == 2) return third + "\r\n";
  return third + "," + CsvCell(run.Operator) + "," + CsvCell(run.Station) + "\r\n";
}

void TRunTotals::Count(const TUnitRecord& r) {
  if (!r.HasStatus) ++NotFound;
  else if (r.Outcome == "stored not checked") ++StoredNotChecked;
  else if (r.Status != 0) ++Failed;
  else if (r.Outcome == "confirmed" || r.Outcome == "matches") ++Confirmed;
}

std::string TRunTotals::Line() const {
  return std::to_string(Confirmed) + " confirmed, " + std::to_string(Failed) + " failed, " +
         std::to_string(NotFound) + " not found, " + std::to_string(StoredNotChecked) + " stored not checked";
}

std::string FormatTotals(const TRunTotals& t, int status, const TRunInfo& run) {
  TJson j = {{"time", UtcTime(0)},
             {"record", "summary"},
             {"confirmed", t.Confirmed},
             {"failed", t.Failed},
             {"not_found", t.NotFound},
             {"stored_not_checked", t.StoredNotChecked},
             {"status", status}};
  AddRun(j, run);
  return Line(j);
}

TRunReport::TRunReport(const std::string& path, TRunInfo run)
    : format_(ReportFormatOf(path).value_or(TReportFormat::Jsonl)),
      run_(std::move(run)),
      file_(std::make_unique<TDurableAppendFile>(path)) {
  headed_ = format_ != TReportFormat::Csv || !file_->WasEmpty();
  if (format_ == TReportFormat::Csv && file_->IsOpen() && !file_->WasEmpty()) {
    // Rows under another header would sit in the wrong columns.
    std::ifstream in(path, std::ios::binary);
    std::string first;
    std::getline(in, first);
    if (!first.empty() && first.back() == '\r') first.pop_back();
    const auto& columns = CsvColumns();
    const auto known = std::find(columns.begin(), columns.end(), first);
    if (known != columns.end()) version_ = static_cast<size_t>(known - columns.begin());
    else why_ = path + " has other columns than this version writes (" + first + "); give a new file";
  }
}

TRunReport::~TRunReport() = default;

bool TRunReport::IsOpen() const { return why_.empty() && file_->IsOpen(); }

std::string TRunReport::Why() const { return why_; }

bool TRunReport::Append(const TUnitRecord& record) {
  if (!IsOpen()) return false;
  std::lock_guard g(lock_);
  // The header goes with the first record, so a run that stops before any unit leaves the file
  // as it was.
  const std::string text =
      (headed_ ? std::string() : CsvColumns().back() + "\r\n") + FormatRecord(record, format_, run_, version_);
  if (!file_->Append(text)) return false;
  headed_ = true;
  return true;
}

bool TRunReport::AppendTotals(const TRunTotals& totals, int status) {
  if (!IsOpen()) return false;
  if (format_ != TReportFormat::Jsonl) return true;
  std::lock_guard g(lock_);
  return file_->Append(FormatTotals(totals, status, run_));
}

}  // namespace KaVruneCli
