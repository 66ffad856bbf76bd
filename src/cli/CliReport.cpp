#include "CliReport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "uFileUtils.h"

namespace KaVruneCli {
namespace {

const char* kCsvHeader = "time,port,mac,firmware,row,outcome,status,changed,seconds\r\n";

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

std::string FormatRecord(const TUnitRecord& r, TReportFormat format) {
  if (format == TReportFormat::Jsonl) {
    nlohmann::ordered_json j = {
        {"time", r.Time},
        {"port", r.Port},
        {"mac", r.Mac.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(r.Mac)},
        {"firmware", r.Firmware.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(r.Firmware)},
        {"row", r.Row ? nlohmann::ordered_json(r.Row) : nlohmann::ordered_json()},
        {"outcome", r.Outcome},
        {"status", r.Status},
        {"changed", r.Changed},
        {"seconds", std::stod(Seconds(r.Seconds))}};
    // A device's bytes that are no UTF-8 are written as U+FFFD rather than refused.
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
  }
  std::string changed;
  for (const std::string& name : r.Changed) changed += (changed.empty() ? "" : " ") + name;
  return r.Time + "," + CsvCell(r.Port) + "," + CsvCell(r.Mac) + "," + CsvCell(r.Firmware) + "," +
         (r.Row ? std::to_string(r.Row) : std::string()) + "," + r.Outcome + "," + std::to_string(r.Status) + "," +
         CsvCell(changed) + "," + Seconds(r.Seconds) + "\r\n";
}

TRunReport::TRunReport(const std::string& path)
    : format_(ReportFormatOf(path).value_or(TReportFormat::Jsonl)), file_(std::make_unique<TDurableAppendFile>(path)) {
  headed_ = format_ != TReportFormat::Csv || !file_->WasEmpty();
}

TRunReport::~TRunReport() = default;

bool TRunReport::IsOpen() const { return file_->IsOpen(); }

bool TRunReport::Append(const TUnitRecord& record) {
  std::lock_guard g(lock_);
  // The header goes with the first record, so a run that stops before any unit leaves the file
  // as it was.
  const std::string text = (headed_ ? std::string() : std::string(kCsvHeader)) + FormatRecord(record, format_);
  if (!file_->Append(text)) return false;
  headed_ = true;
  return true;
}

}  // namespace KaVruneCli
