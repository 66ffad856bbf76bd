#pragma once
// The run record of a production line (--report FILE): one record per unit, added as each unit
// is done and on the disk before the next, so that a crash or a pulled plug loses no record of a
// unit that was finished. Lines of JSON (.jsonl) or CSV with a header (.csv); a record names the
// settings changed, never a value. The values a unit got from its row of --units are written,
// but never a password's or key's: only that it was set.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TDurableAppendFile;

namespace KaVruneCli {

struct TUnitRecord {
  std::string Time;  // UTC, when the unit's run began: "2026-12-07T20:15:03Z"
  std::string Port;  // "COM7"
  std::string Mac;   // empty when the unit showed none
  std::string Firmware;
  int Row = 0;  // its row of --units; 0 without
  // confirmed, not taken, nothing stored, stored not checked, not written; verify: matches,
  // differs, not compared
  std::string Outcome;
  int Status = 0;                    // the exit status the port had
  std::vector<std::string> Changed;  // Section.Key of each setting changed
  double Seconds = 0;
  // Section.Key and value of each cell of its row of --units; a secret's value is kSecretSet
  std::vector<std::pair<std::string, std::string>> Values = {};
  bool HasStatus = true;  // false for a row of --units whose unit was on none of the ports
  std::vector<std::string> Differs = {};  // verify: Section.Key of each setting the unit holds otherwise
};

// What every record of one run shares.
struct TRunInfo {
  std::string Id;              // the same in every record of the run, another in the next
  std::string Tool;            // "kavrune-cli 1.4.0"
  std::string Settings;        // apply: the settings file as given; empty for set
  std::string SettingsSha256;  // of its bytes
  std::string Operator = {};   // --operator; empty when not given
  std::string Station = {};    // --station; likewise
};

// The totals of a run, the last record of a .jsonl report and a line of the summary; a unit that
// verify finds to match counts as confirmed.
struct TRunTotals {
  int Confirmed = 0, Failed = 0, NotFound = 0, StoredNotChecked = 0;
  void Count(const TUnitRecord& record);
  std::string Line() const;  // "3 confirmed, 1 failed, 0 not found, 0 stored not checked"
};

inline const char* const kSecretSet = "(set)";

enum class TReportFormat { Jsonl, Csv };
// By the file's extension, in any letter case; nothing for another.
std::optional<TReportFormat> ReportFormatOf(const std::string& path);

// How many sets of .csv columns there have been; each version's columns begin with those of the
// one before.
size_t CsvVersions();
// version: a .csv line with the columns of that version (0 the first), for a file begun by it.
std::string FormatRecord(const TUnitRecord& record, TReportFormat format, const TRunInfo& run = {},
                         size_t version = CsvVersions() - 1);
std::string FormatTotals(const TRunTotals& totals, int status, const TRunInfo& run);  // a .jsonl line
std::string UtcTime(double secondsAgo);
std::string NewRunId();

class TRunReport final {
 public:
  // Appends to what the file holds. A .csv file begun by an earlier version gets lines in its
  // columns; one begun with columns of no version is not opened.
  explicit TRunReport(const std::string& path, TRunInfo run = {});
  ~TRunReport();
  bool IsOpen() const;
  std::string Why() const;                 // why it is not open, when the tool can tell
  bool Append(const TUnitRecord& record);  // from any thread
  // The totals as the run's last record (.jsonl only; a .csv report keeps one kind of line).
  bool AppendTotals(const TRunTotals& totals, int status);

 private:
  TReportFormat format_;
  TRunInfo run_;
  std::string why_;
  size_t version_ = CsvVersions() - 1;  // the columns of the file's first line
  std::unique_ptr<TDurableAppendFile> file_;
  std::mutex lock_;
  bool headed_ = false;
};

}  // namespace KaVruneCli
