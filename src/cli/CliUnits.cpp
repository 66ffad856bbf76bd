#include "CliUnits.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "uKaVruneIdentity.h"

namespace KaVruneCli {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

struct TCsvRecord {
  std::vector<std::string> Cells;
  bool Blank() const {
    return std::all_of(Cells.begin(), Cells.end(), [](const std::string& c) { return Trim(c).empty(); });
  }
};

// RFC 4180 records. A quote opens a quoted cell only at the cell's start; inside one, a doubled
// quote is a quote and line ends are part of the text. A lone CR ends a record as CR LF does.
// False with the number of the record (0: the header) where a quoted cell is broken.
bool ParseCsv(const std::string& text, std::vector<TCsvRecord>& records, size_t& broken, std::string& why) {
  TCsvRecord record;
  std::string cell;
  bool quoted = false, closed = false, started = false;
  auto endCell = [&] {
    record.Cells.push_back(std::move(cell));
    cell.clear();
    closed = false;
  };
  auto endRecord = [&] {
    endCell();
    records.push_back(std::move(record));
    record = {};
    started = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        cell += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else {
        quoted = false;
        closed = true;
      }
      continue;
    }
    started = true;
    if (c == ',') {
      endCell();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      endRecord();
    } else if (closed) {
      broken = records.size();
      why = "text after the closing quote of a cell (a quote inside a quoted cell is written twice: \"\")";
      return false;
    } else if (c == '"' && cell.empty()) {
      quoted = true;
    } else {
      cell += c;
    }
  }
  if (quoted) {
    broken = records.size();
    why = "a quoted cell is not closed before the end of the file";
    return false;
  }
  if (started || closed || !cell.empty() || !record.Cells.empty()) endRecord();
  return true;
}

std::optional<std::string> ParsePortCell(const std::string& text) {
  const std::string t = Trim(text);
  if (t.size() < 4 || Lower(t.substr(0, 3)) != "com") return std::nullopt;
  const std::string digits = t.substr(3);
  if (digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const int n = std::stoi(digits);
  if (n < 1 || n > 255) return std::nullopt;
  return "COM" + std::to_string(n);
}

// A message of the settings parser without the name it starts with, which the column names.
std::string WithoutName(const std::string& error, const std::string& name) {
  const std::string prefix = name + ": ";
  return error.rfind(prefix, 0) == 0 ? error.substr(prefix.size()) : error;
}

}  // namespace

std::vector<const TSettingRow*> OwnPerUnit() {
  std::vector<const TSettingRow*> rows;
  for (const char* name : {"basic_parameters.IP_addr", "basic_parameters.DHCP_device_name"}) {
    std::string error;
    const auto found = FindSettings(name, error);
    rows.insert(rows.end(), found.begin(), found.end());
  }
  return rows;
}

std::vector<TUnitRow> ParseUnits(const std::string& name, const std::string& text, std::vector<std::string>& faults,
                                 const std::vector<const TSettingRow*>& mayRepeat, bool mayBeEmpty,
                                 size_t* emptyCells) {
  const size_t faultsBefore = faults.size();
  size_t empty = 0;
  if (emptyCells) *emptyCells = 0;
  const std::vector<const TSettingRow*> ownColumns = OwnPerUnit();
  std::string body = text;
  if (body.rfind("\xEF\xBB\xBF", 0) == 0) body.erase(0, 3);  // spreadsheets write one
  std::vector<TCsvRecord> records;
  size_t broken = 0;
  std::string why;
  if (!ParseCsv(body, records, broken, why)) {
    faults.push_back(name + (broken == 0 ? " header" : " row " + std::to_string(broken)) + ": " + why);
    return {};
  }
  if (records.empty() || (records.size() == 1 && records.front().Blank())) {
    faults.push_back(name + ": the file is empty; its first line names the columns (port or mac, and Section.Key)");
    return {};
  }

  // The header: what each column is.
  enum class TColumnKind { Port, Mac, Setting, Unnamed };
  struct TColumn {
    TColumnKind Kind = TColumnKind::Unnamed;
    std::string Name;
    const TSettingRow* Row = nullptr;
  };
  std::vector<TColumn> columns;
  std::map<const TSettingRow*, std::string> settingColumns;
  bool namesUnits = false;
  const auto& header = records.front().Cells;
  for (size_t c = 0; c < header.size(); ++c) {
    TColumn column;
    column.Name = Trim(header[c]);
    const std::string where = name + " header, column " + (column.Name.empty() ? std::to_string(c + 1) : column.Name);
    if (column.Name.empty()) {
      // A spreadsheet's empty column at the end is harmless; values without a name are not.
      const bool used = std::any_of(records.begin() + 1, records.end(), [&](const TCsvRecord& r) {
        return c < r.Cells.size() && !Trim(r.Cells[c]).empty();
      });
      if (used) faults.push_back(where + ": the column has values but no name");
    } else if (Lower(column.Name) == "port" || Lower(column.Name) == "mac") {
      column.Kind = Lower(column.Name) == "port" ? TColumnKind::Port : TColumnKind::Mac;
      const bool twice =
          std::any_of(columns.begin(), columns.end(), [&](const TColumn& o) { return o.Kind == column.Kind; });
      if (twice) faults.push_back(where + ": the header names it twice");
      namesUnits = true;
    } else {
      column.Kind = TColumnKind::Setting;
      std::string error;
      const auto rows = FindSettings(column.Name, error);
      if (rows.empty()) {
        std::string guess = NearestSettingName(column.Name, true);
        faults.push_back(where + ": " + WithoutName(error, column.Name) +
                         (guess.empty() ? std::string() : "; did you mean " + guess + "?"));
      } else if (rows.size() > 1) {
        std::string each;
        for (const TSettingRow* r : rows) each += " " + SettingName(*r);
        faults.push_back(where + ": the name holds several settings; give each a column of its own:" + each);
      } else if (!rows.front()->Writable()) {
        faults.push_back(where + ": the " + rows.front()->Name +
                         " can only be read; no menu of the device asks for it");
      } else if (const auto [at, fresh] = settingColumns.emplace(rows.front(), column.Name); !fresh) {
        faults.push_back(where + ": names the same setting as column " + at->second);
      } else {
        column.Row = rows.front();
      }
    }
    columns.push_back(std::move(column));
  }
  if (!namesUnits)
    faults.push_back(name + ": the header names neither a port nor a mac column, so no row names a unit");
  if (faults.size() > faultsBefore) return {};

  std::vector<TUnitRow> units;
  std::map<std::string, int> rowOfPort, rowOfMac;
  for (size_t r = 1; r < records.size(); ++r) {
    const TCsvRecord& record = records[r];
    if (record.Blank()) continue;
    TUnitRow unit;
    unit.Number = static_cast<int>(r);
    const std::string at = name + " row " + std::to_string(r);
    if (record.Cells.size() > columns.size()) {
      faults.push_back(at + ": " + std::to_string(record.Cells.size()) + " cells, but the header names " +
                       std::to_string(columns.size()) + " columns");
      continue;
    }
    for (size_t c = 0; c < columns.size(); ++c) {
      const TColumn& column = columns[c];
      const std::string cell = c < record.Cells.size() ? record.Cells[c] : std::string();
      if (Trim(cell).empty()) {
        // Two units left with the value for every unit would share one address: an empty cell of
        // a column each unit needs of its own is a slip, unless the user says otherwise.
        if (!mayBeEmpty && column.Row &&
            std::find(ownColumns.begin(), ownColumns.end(), column.Row) != ownColumns.end()) {
          faults.push_back(at + ", column " + column.Name + ": " + (c < record.Cells.size() ? "empty" : "missing") +
                           ", but each unit needs a value of its own there");
          ++empty;
        }
        continue;  // the value for every unit stays
      }
      const std::string where = at + ", column " + column.Name + ": ";
      if (column.Kind == TColumnKind::Port) {
        if (const auto port = ParsePortCell(cell)) unit.Port = *port;
        else
          faults.push_back(where + "\"" + Trim(cell) + "\" is not a port; give COM<n>, as kavrune-cli ports lists them");
      } else if (column.Kind == TColumnKind::Mac) {
        unit.Mac = NormalizeMac(Trim(cell));
        if (unit.Mac.empty())
          faults.push_back(where + "\"" + Trim(cell) +
                           "\" is not a MAC address (12 hex digits, bytes may be parted by - or :)");
      } else if (column.Row) {
        const std::string value = ReplaceAll(cell, "{row}", std::to_string(r));
        std::string error;
        if (const auto assignment = ParseAssignment(column.Name + "=" + value, error))
          unit.Values.push_back(*assignment);
        else faults.push_back(where + WithoutName(error, column.Name));
      }
    }
    if (unit.Port.empty() && unit.Mac.empty()) {
      faults.push_back(at + ": names no unit; give its port or its mac");
      continue;
    }
    for (auto [key, seen] : {std::pair{&unit.Port, &rowOfPort}, std::pair{&unit.Mac, &rowOfMac}}) {
      if (key->empty()) continue;
      const char* column = seen == &rowOfPort ? "port" : "mac";
      if (const auto [first, fresh] = seen->emplace(*key, unit.Number); !fresh)
        faults.push_back(at + ", column " + column + ": " + *key + " is in row " + std::to_string(first->second) +
                         " as well");
    }
    units.push_back(std::move(unit));
  }
  if (emptyCells) *emptyCells = empty;
  for (const TSettingRow* own : ownColumns) {
    if (std::find(mayRepeat.begin(), mayRepeat.end(), own) != mayRepeat.end()) continue;
    std::map<std::string, int> rowOfValue;  // names are told apart in any letter case, as DHCP does
    for (const TUnitRow& unit : units)
      for (const TAssignment& a : unit.Values)
        if (a.Row == own)
          if (const auto [first, fresh] = rowOfValue.emplace(Lower(a.Value), unit.Number); !fresh)
            faults.push_back(name + " rows " + std::to_string(first->second) + " and " + std::to_string(unit.Number) +
                             ", column " + SettingName(*own) + ": both give " + a.Value +
                             ", which each unit needs of its own (--allow-duplicate " + SettingName(*own) +
                             " allows it)");
  }
  if (faults.size() > faultsBefore) return {};
  if (units.empty()) faults.push_back(name + ": no unit under the header");
  return units;
}

TUnitMatcher::TUnitMatcher(std::string fileName, std::vector<TUnitRow> rows, std::string untouched)
    : file_(std::move(fileName)), rows_(std::move(rows)), untouched_(std::move(untouched)) {}

TUnitMatcher::TMatch TUnitMatcher::Claim(const std::string& port, const std::string& mac) {
  const std::string unit = mac.empty() ? "the unit" : "unit " + mac;
  const TUnitRow* row = nullptr;
  std::string how;
  if (!mac.empty()) {
    const auto byMac = std::find_if(rows_.begin(), rows_.end(), [&](const TUnitRow& r) { return r.Mac == mac; });
    if (byMac != rows_.end()) {
      row = &*byMac;
      how = !byMac->Port.empty() && byMac->Port != port
                ? ", found by its MAC address (the row names " + byMac->Port + ")"
                : "";
    }
  }
  if (!row) {
    const auto byPort = std::find_if(rows_.begin(), rows_.end(), [&](const TUnitRow& r) { return r.Port == port; });
    if (byPort != rows_.end() && !byPort->Mac.empty())
      return {nullptr, file_ + " row " + std::to_string(byPort->Number) + " names " + port + " for unit " +
                           byPort->Mac + ", but " +
                           (mac.empty() ? "the unit there did not show its MAC address" : unit + " is there") + ": " +
                           untouched_ + " it"};
    if (byPort != rows_.end()) row = &*byPort;
  }
  if (!row) return {nullptr, unit + " on " + port + " is in no row of " + file_ + ": " + untouched_ + " it"};
  std::lock_guard g(lock_);
  if (!claimed_.insert(row->Number).second)
    return {nullptr, file_ + " row " + std::to_string(row->Number) +
                         " went to another port already (a MAC address on two units?): " + untouched_ + " " + unit};
  return {row, unit + ": " + file_ + " row " + std::to_string(row->Number) + how};
}

std::vector<const TUnitRow*> TUnitMatcher::UnclaimedRows() const {
  std::lock_guard g(lock_);
  std::vector<const TUnitRow*> rows;
  for (const TUnitRow& row : rows_)
    if (!claimed_.count(row.Number)) rows.push_back(&row);
  return rows;
}

std::vector<std::string> TUnitMatcher::Unclaimed() const {
  std::vector<std::string> lines;
  for (const TUnitRow* row : UnclaimedRows()) {
    std::string unit = row->Mac;
    if (!row->Port.empty()) unit += (unit.empty() ? "" : " on ") + row->Port;
    lines.push_back(file_ + " row " + std::to_string(row->Number) + " (" + unit + "): no such unit on the ports given");
  }
  return lines;
}

const TUnitRow* TUnitMatcher::RowNumbered(int number) const {
  for (const TUnitRow& row : rows_)
    if (row.Number == number) return &row;
  return nullptr;
}

TDeviceSettings WithUnitValues(TDeviceSettings wanted, const TUnitRow& row) {
  for (const TAssignment& a : row.Values) wanted.Set(*a.Row, a.Value);
  return wanted;
}

}  // namespace KaVruneCli
