#pragma once
// Values of their own for the units of a production line (--units units.csv): one row per unit,
// named by its port or its MAC address, with values in Section.Key columns that replace those of
// the settings given for every unit. A value cell may hold {row}, the row's number (the first
// row under the header is 1), so that "10.0.0.{row}" gives each unit its own address.
//
// The whole file is read and checked before any port opens. Which row a unit gets is decided
// only after its port was read, since only then is its MAC address known: a row's MAC wins over
// its port, so a unit plugged into another port than its row says still gets its own values.

#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "CliSettings.h"

namespace KaVruneCli {

struct TUnitRow {
  int Number = 0;                   // as {row} counts: the first row under the header is 1
  std::string Port;                 // "COM7"; empty when the row names none
  std::string Mac;                  // "02-00-00-8F-1C-2E"; empty when the row names none
  std::vector<TAssignment> Values;  // checked against the device's ranges and lists
};

// The rows of a CSV text (RFC 4180: commas, double quotes, CR LF or LF; UTF-8, a byte order mark
// allowed). Every fault found goes to faults, each as "units.csv row 3, column
// basic_parameters.IP_addr: why", with name the file's name as the user gave it; the rows are
// of no use then. A value that must be each unit's own (its IP address, its DHCP name) in two
// rows is a fault, unless its setting is one of mayRepeat; so is an empty or missing cell of
// such a column, unless mayBeEmpty. emptyCells counts those cells among the faults.
std::vector<TUnitRow> ParseUnits(const std::string& name, const std::string& text, std::vector<std::string>& faults,
                                 const std::vector<const TSettingRow*>& mayRepeat = {}, bool mayBeEmpty = false,
                                 size_t* emptyCells = nullptr);

// The settings whose values no two units may share: two units with one address both fail.
std::vector<const TSettingRow*> OwnPerUnit();

// Hands the rows out to the units found on the ports, each row to one unit; workers of several
// ports ask at once.
class TUnitMatcher final {
 public:
  // untouched: what became of a unit that gets no row, "nothing was written to" it.
  TUnitMatcher(std::string fileName, std::vector<TUnitRow> rows, std::string untouched = "nothing was written to");

  struct TMatch {
    const TUnitRow* Row = nullptr;  // none: the unit is to be left as it is
    std::string Why;                // which row and how it was found, or why there is none
  };
  // The row of the unit that showed mac (empty: it showed none) on port ("COM7").
  TMatch Claim(const std::string& port, const std::string& mac);
  // Rows no unit was found for, in words.
  std::vector<std::string> Unclaimed() const;
  std::vector<const TUnitRow*> UnclaimedRows() const;
  const TUnitRow* RowNumbered(int number) const;
  const std::vector<TUnitRow>& Rows() const { return rows_; }

 private:
  std::string file_;
  std::vector<TUnitRow> rows_;
  std::string untouched_;
  mutable std::mutex lock_;
  std::set<int> claimed_;
};

// The settings for one unit: those for every unit, with its row's values over them.
TDeviceSettings WithUnitValues(TDeviceSettings wanted, const TUnitRow& row);

}  // namespace KaVruneCli
