#pragma once
// The run record of a production line (--report FILE): one record per unit, added as each unit
// is done and on the disk before the next, so that a crash or a pulled plug loses no record of a
// unit that was finished. Lines of JSON (.jsonl) or CSV with a header (.csv); a record names the
// settings changed, never a value, so a password or key never gets into it.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class TDurableAppendFile;

namespace KaVruneCli {

struct TUnitRecord {
  std::string Time;  // UTC, when the unit's run began: "2026-12-07T20:15:03Z"
  std::string Port;  // "COM7"
  std::string Mac;   // empty when the unit showed none
  std::string Firmware;
  int Row = 0;                       // its row of --units; 0 without
  std::string Outcome;               // confirmed, not taken, nothing stored, stored not checked, not written
  int Status = 0;                    // the exit status the port had
  std::vector<std::string> Changed;  // Section.Key of each setting changed
  double Seconds = 0;
};

enum class TReportFormat { Jsonl, Csv };
// By the file's extension, in any letter case; nothing for another.
std::optional<TReportFormat> ReportFormatOf(const std::string& path);

std::string FormatRecord(const TUnitRecord& record, TReportFormat format);
std::string UtcTime(double secondsAgo);

class TRunReport final {
 public:
  explicit TRunReport(const std::string& path);  // appends to what the file holds
  ~TRunReport();
  bool IsOpen() const;
  bool Append(const TUnitRecord& record);  // from any thread

 private:
  TReportFormat format_;
  std::unique_ptr<TDurableAppendFile> file_;
  std::mutex lock_;
  bool headed_ = false;
};

}  // namespace KaVruneCli
