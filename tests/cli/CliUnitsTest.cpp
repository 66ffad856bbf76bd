// Per-unit values of a production line: a bad units file is refused whole, naming row and
// column; a good one gives each unit its row, by MAC before port. Run records: one line per unit
// that survives reopening the file.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "CliReport.h"
#include "CliSha256.h"
#include "CliUnits.h"
#include "TestPlatform.h"

using namespace KaVruneCli;

namespace {

std::vector<TUnitRow> Parse(const std::string& text, std::vector<std::string>& faults) {
  return ParseUnits("units.csv", text, faults);
}

std::string ValueOf(const TUnitRow& row, const std::string& name) {
  for (const TAssignment& a : row.Values)
    if (SettingName(*a.Row) == name) return a.Value;
  return "(none)";
}

}  // namespace

TEST(CliUnits, aBadFileShouldBeRefusedWholeNamingRowAndColumn) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "units.csv: the file is empty"},
      {"\xEF\xBB\xBF\r\n", "units.csv: the file is empty"},
      {"port,basic_parameters.IP_addr\r\n", "units.csv: no unit under the header"},
      {"basic_parameters.IP_addr\n10.0.0.1\n", "units.csv: the header names neither a port nor a mac column"},
      {"port,basic_parameters.IP_adr\nCOM1,10.0.0.1\n",
       "units.csv header, column basic_parameters.IP_adr: the section basic_parameters has no such key; did you mean "
       "basic_parameters.IP_addr?"},
      {"port,Chanel_1.Baudrate\nCOM1,9600\n", "column Chanel_1.Baudrate: no setting of the device"},
      {"port,Channel_1.Remote_IP_Adr\nCOM1,1.2.3.4\n", "give each a column of its own"},
      {"port,basic_parameters.IP_addr,basic_parameters.IP_Address\nCOM1,,\n",
       "column basic_parameters.IP_Address: names the same setting as column basic_parameters.IP_addr"},
      {"port,,basic_parameters.IP_addr\nCOM1,x,10.0.0.1\n",
       "units.csv header, column 2: the column has values but no name"},
      {"port,basic_parameters.IP_addr\nCOM1,10.0.0.1\nCOM2,10.0.{row}.300\n",
       "units.csv row 2, column basic_parameters.IP_addr: \"10.0.2.300\" is not a valid value for IP address"},
      {"port,Channel_1.Baudrate\nCOM1,9600\n\nCOM3,12\n",  // the blank row counts, as {row} does
       "units.csv row 3, column Channel_1.Baudrate: channel 1 baud rate: \"12\" is not one the device takes"},
      {"port,basic_parameters.IP_addr\nCOM1,10.0.0.1\ncom1,10.0.0.2\n",
       "units.csv row 2, column port: COM1 is in row 1"},
      {"port,mac\nCOM1,02-00-00-00-00-01\nCOM2,020000000001\n",
       "units.csv row 2, column mac: 02-00-00-00-00-01 is in row 1"},
      {"port,mac\nCOM1,02-00-00-00-00\n", "units.csv row 1, column mac: \"02-00-00-00-00\" is not a MAC address"},
      {"port,mac\nCOM1,02-00:00-00-00-01\n", "not a MAC address"},
      {"port\n/dev/ttyS0\n", "units.csv row 1, column port: \"/dev/ttyS0\" is not a port; give COM<n>"},
      {"port,mac,basic_parameters.IP_addr\n,,10.0.0.1\n", "units.csv row 1: names no unit"},
      {"port,basic_parameters.IP_addr\nCOM1,10.0.0.1,x\n", "units.csv row 1: 3 cells, but the header names 2 columns"},
      {"port,basic_parameters.DHCP_device_name\nCOM1,\"a\"b\n", "units.csv row 1: text after the closing quote"},
      {"port,basic_parameters.DHCP_device_name\r\nCOM1,\"line\r\n", "units.csv row 1: a quoted cell is not closed"},
      {"port,basic_parameters.DHCP_device_name\nCOM1,\xE2\x82\xAC\xF0\x9F\x98\x80\n", "windows-1250"},
      // What must be each unit's own, in two rows ({row} worked out first; names in any case).
      {"port,basic_parameters.IP_addr\nCOM1,10.0.0.9\nCOM2,10.0.0.{row}\nCOM3,10.0.0.2\n",
       "units.csv rows 2 and 3, column basic_parameters.IP_addr: both give 10.0.0.2, which each unit needs of its own"},
      {"port,basic_parameters.DHCP_device_name\nCOM1,Press\nCOM2,press\n",
       "units.csv rows 1 and 2, column "
       "basic_parameters.DHCP_device_name: both give press"},
      // An empty or missing cell there would leave two units with the value for every unit.
      {"port,basic_parameters.IP_addr,Channel_1.Baudrate\nCOM7,10.0.0.1,\nCOM8\nCOM9,\n",
       "units.csv row 2, column basic_parameters.IP_addr: missing, but each unit needs a value of its own there"},
      {"mac,basic_parameters.DHCP_device_name\n02-00-00-00-00-09, \n",
       "units.csv row 1, column basic_parameters.DHCP_device_name: empty"},
  };
  for (const auto& [text, why] : cases) {
    std::vector<std::string> faults;
    const auto rows = Parse(text, faults);
    EXPECT_TRUE(rows.empty()) << text;
    ASSERT_FALSE(faults.empty()) << text;
    EXPECT_NE(faults.front().find(why), std::string::npos) << text << "\n -> " << faults.front();
  }
}

TEST(CliUnits, rowsShouldGoToUnitsByMacBeforePortAndEachToOneUnit) {
  // Quoted cells with a comma, quotes and {row}; CR LF and LF; blank rows; empty cells allowed.
  std::vector<std::string> faults;
  auto rows = ParseUnits("units.csv",
                         "\xEF\xBB\xBFPort,MAC,basic_parameters.IP_addr,basic_parameters.DHCP_device_name\r\n"
                         "com7,,10.0.0.{row},\"st,\"\"{row}\"\"\"\r\n"
                         "COM8,02:a0:00:00:00:f7,10.0.0.{row},\n"
                         "\n"
                         ",0200000000F9,10.0.0.{row},\n"
                         "COM11,,10.0.0.{row},\n",
                         faults, {}, true);
  ASSERT_TRUE(faults.empty()) << faults.front();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].Port, "COM7");
  EXPECT_EQ(ValueOf(rows[0], "basic_parameters.DHCP_device_name"), "st,\"1\"");
  EXPECT_EQ(ValueOf(rows[0], "basic_parameters.IP_addr"), "10.0.0.1");
  EXPECT_EQ(rows[1].Mac, "02-A0-00-00-00-F7");
  EXPECT_EQ(ValueOf(rows[1], "basic_parameters.DHCP_device_name"), "(none)") << "an empty cell keeps the file's value";
  EXPECT_EQ(rows[2].Number, 4) << "a blank row is counted";
  EXPECT_EQ(ValueOf(rows[2], "basic_parameters.IP_addr"), "10.0.0.4");

  TUnitMatcher units("units.csv", rows);
  // The unit of row 2 sits on COM9: its MAC finds it.
  auto match = units.Claim("COM9", "02-A0-00-00-00-F7");
  ASSERT_TRUE(match.Row);
  EXPECT_EQ(match.Row->Number, 2);
  EXPECT_NE(match.Why.find("found by its MAC address (the row names COM8)"), std::string::npos) << match.Why;
  // Row 2's port holds another unit, or one that showed no MAC: neither is row 2's unit.
  for (const std::string& mac : {std::string("02-00-00-00-00-01"), std::string()}) {
    match = units.Claim("COM8", mac);
    EXPECT_FALSE(match.Row);
    EXPECT_NE(match.Why.find("units.csv row 2 names COM8 for unit 02-A0-00-00-00-F7"), std::string::npos) << match.Why;
  }
  match = units.Claim("COM7", "02-00-00-00-00-07");
  ASSERT_TRUE(match.Row);
  EXPECT_EQ(match.Row->Number, 1);
  match = units.Claim("COM10", "02-00-00-00-00-10");
  EXPECT_FALSE(match.Row);
  EXPECT_EQ(match.Why, "unit 02-00-00-00-00-10 on COM10 is in no row of units.csv: nothing was written to it");
  // Two units showing one MAC: the second gets nothing.
  EXPECT_TRUE(units.Claim("COM12", "02-00-00-00-00-F9").Row);
  EXPECT_FALSE(units.Claim("COM13", "02-00-00-00-00-F9").Row);
  EXPECT_EQ(units.Unclaimed(), std::vector<std::string>{"units.csv row 5 (COM11): no such unit on the ports given"});

  // Shared values where they are allowed; the other columns stay each unit's own.
  const std::string shared = "port,basic_parameters.IP_addr,Channel_1.Baudrate\nCOM1,10.0.0.1,9600\nCOM2,10.0.0.1,9600\n";
  EXPECT_EQ(ParseUnits("units.csv", shared, faults, OwnPerUnit()).size(), 2u);
  EXPECT_TRUE(faults.empty());
}

TEST(CliReport, sha256ShouldMatchTheStandardsExamples) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),  // two blocks
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Sha256Hex(std::string(1000, 'a')), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3");
}

TEST(CliReport, recordsShouldBeAddedOneALineAndTheCsvHeaderOnce) {
  TempDir dir;
  const TUnitRecord record{"2026-12-07T20:15:03Z",
                           "COM7",
                           "02-00-00-00-00-07",
                           "V1.0, \"beta\"",
                           1,
                           "not taken",
                           6,
                           {"basic_parameters.IP_addr", "Channel_1.Password"},
                           5.25,
                           {{"basic_parameters.IP_addr", "10.0.0.1"}}};
  for (const std::string name : {"run.csv", "run.jsonl"}) {
    const std::string path = dir.Path() + "/" + name;
    for (int run = 0; run < 2; ++run) {
      TRunReport report(path, {"r1", "kavrune-cli 9", "golden.xml", "ab12", "Ana, line 2", "Bench 3"});
      ASSERT_TRUE(report.IsOpen());
      ASSERT_TRUE(report.Append(record));
    }
    const std::string text = Slurp(path);
    if (name == "run.csv") {
      const std::string line =
          "2026-12-07T20:15:03Z,COM7,02-00-00-00-00-07,\"V1.0, \"\"beta\"\"\",1,not taken,6,"
          "basic_parameters.IP_addr Channel_1.Password,5.2,unit,r1,kavrune-cli 9,golden.xml,ab12,"
          "\"{\"\"basic_parameters.IP_addr\"\":\"\"10.0.0.1\"\"}\",,\"Ana, line 2\",Bench 3\r\n";
      const std::string header =
          "time,port,mac,firmware,row,outcome,status,changed,seconds,record,run,tool,settings,settings_sha256,"
          "values,differs,operator,station\r\n";
      EXPECT_EQ(text, header + line + line);
      // A report begun by an earlier version keeps its columns; one of unknown columns is not added to.
      const std::string old = dir.Path() + "/old.csv", other = dir.Path() + "/other.csv";
      const std::string first = header.substr(0, header.find(",record")),
                        second = header.substr(0, header.find(",differs")),
                        third = header.substr(0, header.find(",operator"));
      for (const auto& [columns, kept] : {std::pair{first, line.substr(0, line.find(",unit,"))},
                                          std::pair{second, line.substr(0, line.find(",,\"Ana"))},
                                          std::pair{third, line.substr(0, line.find(",\"Ana"))}}) {
        std::ofstream(old) << columns << "\r\n";
        ASSERT_TRUE(TRunReport(old, {"r1", "kavrune-cli 9", "golden.xml", "ab12"}).Append(record));
        EXPECT_EQ(Slurp(old), columns + "\r\n" + kept + "\r\n");
      }
      std::ofstream(other) << "when,where\r\n";
      TRunReport unknown(other);
      EXPECT_FALSE(unknown.IsOpen());
      EXPECT_NE(unknown.Why().find("has other columns"), std::string::npos);
    } else {
      const auto line = nlohmann::json::parse(text.substr(0, text.find('\n')));
      EXPECT_EQ(line["firmware"], "V1.0, \"beta\"");
      EXPECT_EQ(line["changed"][1], "Channel_1.Password");
      EXPECT_EQ(line["operator"], "Ana, line 2");
      EXPECT_EQ(line["station"], "Bench 3");
      EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    }
  }
  EXPECT_FALSE(TRunReport(dir.Path()).IsOpen()) << "a folder is no report";
}
