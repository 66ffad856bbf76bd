// A production line from end to end: one golden setup cloned onto three units at once, each
// with an address and a DHCP name of its own from units.csv, one of them plugged into another
// port than its row says; a read of each confirms it and the run report holds a record of each,
// what the run went with, the values each unit got (a password only as set) and the totals.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "SimProcess.h"
#include "SimStates.h"
#include "TestPlatform.h"

namespace {

ProgramResult RunCli(const std::vector<std::string>& args) {
  TempDir scratch;
  return RunProgram(KAVRUNE_CLI_PATH, args, scratch.Path());
}

std::vector<nlohmann::json> Records(const std::string& path) {
  std::vector<nlohmann::json> records;
  std::istringstream lines(Slurp(path));
  for (std::string line; std::getline(lines, line);) records.push_back(nlohmann::json::parse(line));
  return records;
}

}  // namespace

TEST(ProductionLine, unitsShouldGetTheGoldenSetupWithValuesOfTheirOwnAndARecordEach) {
  TempComDir dir;
  auto state = [&](int com) { return dir.Path() + "/unit" + std::to_string(com) + ".txt"; };
  SimProcess com7(7, state(7), {"--unpaced", "--mac", "02-00-00-00-00-07"});
  SimProcess com8(8, state(8), {"--unpaced", "--mac", "02-00-00-00-00-08", "--variant", "field"});
  SimProcess com9(9, state(9), {"--unpaced", "--mac", "02-00-00-00-00-09"});
  ASSERT_TRUE(com7.Ready() && com8.Ready() && com9.Ready());

  TSimSettings golden = SimDefaults();
  golden.Set("Channel_1", "Baudrate", "115200");
  golden.Set("Security", "Disable_SNMP", "Y");
  const std::string goldenFile = dir.Path() + "/golden.xml";
  std::ofstream(goldenFile) << DumpDocument(golden)->SaveToText();
  const std::string units = dir.Path() + "/units.csv";
  // Row 2's unit sits on COM8, not COM9: its MAC address finds it there.
  std::ofstream(units, std::ios::binary)
      << "port,mac,basic_parameters.IP_addr,basic_parameters.DHCP_device_name,basic_parameters.Enter_new_Password\r\n"
         "COM7,,10.0.0.{row},line-{row},Secret{row}pw\r\n"
         "COM9,02-00-00-00-00-08,10.0.0.{row},line-{row},\r\n"
         ",02:00:00:00:00:09,10.0.0.{row},\"line-{row}\",\r\n"
         ",02-00-00-00-00-10,10.0.0.{row},line-{row},\r\n";  // a unit that is not on the line
  const std::string report = dir.Path() + "/run.jsonl";
  ProgramResult r = RunCli({"apply", "--ports", "COM7,COM8,COM9", "--units", units, "--report", report, "--quiet",
                            "--operator", "Ana", "--station", "line 2", goldenFile});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("units: 3 confirmed, 0 failed, 1 not found, 0 stored not checked\n"), std::string::npos)
      << r.out;

  const std::map<std::string, std::string> rowOf = {{"COM7", "1"}, {"COM8", "2"}, {"COM9", "3"}};
  for (const auto& [port, row] : rowOf) {
    r = RunCli({"get", "--port", port, "--quiet", "--format", "json", "basic_parameters.IP_addr",
                "basic_parameters.DHCP_device_name", "Channel_1.Baudrate", "Security.SNMP"});
    ASSERT_EQ(r.rc, 0) << r.err;
    const auto read = nlohmann::json::parse(r.out);
    EXPECT_EQ(read["basic_parameters"]["IP_addr"], "10.0.0." + row) << port;
    EXPECT_EQ(read["basic_parameters"]["DHCP_device_name"], "line-" + row) << port;
    EXPECT_EQ(read["Channel_1"]["Baudrate"], 115200) << port;
  }

  auto records = Records(report);
  ASSERT_EQ(records.size(), 5u);
  const std::string digest = RunProgram("/usr/bin/sha256sum", {goldenFile}, dir.Path()).out.substr(0, 64);
  for (const auto& record : records) {
    EXPECT_EQ(record["run"], records.front()["run"]) << record;
    EXPECT_EQ(record["settings"], goldenFile);
    EXPECT_EQ(record["settings_sha256"], digest);
    EXPECT_EQ(record["tool"].get<std::string>().rfind("kavrune-cli ", 0), 0u) << record;
    EXPECT_EQ(record["operator"], "Ana");
    EXPECT_EQ(record["station"], "line 2");
  }
  EXPECT_EQ(Slurp(report).find("Secret1pw"), std::string::npos) << "never a password";
  const auto summary = records.back();
  EXPECT_EQ(summary["record"], "summary");
  EXPECT_EQ(summary["confirmed"], 3);
  EXPECT_EQ(summary["not_found"], 1);
  const auto notFound = records[3];
  EXPECT_EQ(notFound["outcome"], "not found");
  EXPECT_EQ(notFound["mac"], "02-00-00-00-00-10");
  EXPECT_EQ(notFound["row"], 4);
  EXPECT_TRUE(notFound["status"].is_null());
  records.resize(3);
  for (const auto& record : records) {
    const std::string port = record["port"];
    EXPECT_EQ(record["values"]["basic_parameters.IP_addr"], "10.0.0." + rowOf.at(port)) << record;
    EXPECT_EQ(record["values"].contains("basic_parameters.Enter_new_Password"), port == "COM7") << record;
    if (port == "COM7") {
      EXPECT_EQ(record["values"]["basic_parameters.Enter_new_Password"], "(set)");
    }
    EXPECT_EQ(record["mac"], "02-00-00-00-00-0" + port.substr(3)) << record;
    EXPECT_EQ(std::to_string(record["row"].get<int>()), rowOf.at(port)) << record;
    EXPECT_EQ(record["outcome"], "confirmed") << record;
    EXPECT_EQ(record["status"], 0) << record;
    EXPECT_EQ(record["firmware"], port == "COM8" ? "V6.7.0.2 (091201)" : "V1.0.0.1") << record;  // COM8: a field unit
    const auto& changed = record["changed"];
    for (const char* name :
         {"basic_parameters.IP_addr", "basic_parameters.DHCP_device_name", "Channel_1.Baudrate", "Security.SNMP"})
      EXPECT_NE(std::find(changed.begin(), changed.end(), name), changed.end()) << name << " in " << record;
  }

  // A unit in no row is left as it is, and its record says so.
  const std::string others = dir.Path() + "/others.csv";
  std::ofstream(others) << "mac,basic_parameters.IP_addr\n02-00-00-00-00-99,10.9.9.9\n";
  const std::string before = Slurp(state(7));
  r = RunCli({"apply", "--port", "COM7", "--units", others, "--report", report, "--quiet", goldenFile});
  EXPECT_EQ(r.rc, 8) << r.err;
  EXPECT_NE(r.err.find("unit 02-00-00-00-00-07 on COM7 is in no row of " + others), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(state(7)), before);
  records = Records(report);
  ASSERT_EQ(records.size(), 8u);
  EXPECT_EQ(records[5]["outcome"], "not written");
  EXPECT_EQ(records[5]["status"], 8);
  EXPECT_NE(records[5]["run"], records[0]["run"]) << "each run its own id";
  EXPECT_EQ(records[7]["failed"], 1);
  EXPECT_EQ(records[7]["status"], 8);

  // Two rows with one address are refused before any port opens, unless allowed.
  const std::string twice = dir.Path() + "/twice.csv";
  std::ofstream(twice) << "port,basic_parameters.IP_addr\nCOM7,10.0.0.5\nCOM8,10.0.0.5\n";
  r = RunCli({"apply", "--ports", "COM7,COM8", "--units", twice, "--quiet", goldenFile});
  EXPECT_EQ(r.rc, 5);
  EXPECT_NE(r.err.find("twice.csv rows 1 and 2, column basic_parameters.IP_addr: both give 10.0.0.5"), std::string::npos)
      << r.err;
  EXPECT_EQ(Slurp(state(7)), before);
  r = RunCli({"apply", "--ports", "COM7,COM8", "--units", twice, "--allow-duplicate", "basic_parameters.ip_addr",
              "--dry-run", "--quiet", goldenFile});
  EXPECT_EQ(r.rc, 0) << r.err;

  // A row without its address would leave its unit with the golden one, as the next unit so left:
  // a slip of the command line unless --allow-empty says to keep it. A dry run changes nothing.
  const std::string gaps = dir.Path() + "/gaps.csv";
  std::ofstream(gaps) << "port,basic_parameters.IP_addr\nCOM7,10.0.0.1\nCOM8\nCOM9,\n";
  r = RunCli({"apply", "--ports", "COM7,COM8,COM9", "--units", gaps, "--dry-run", "--quiet", goldenFile});
  EXPECT_EQ(r.rc, 2) << r.err;
  for (const char* fault : {"gaps.csv row 2, column basic_parameters.IP_addr: missing",
                            "gaps.csv row 3, column basic_parameters.IP_addr: empty"})
    EXPECT_NE(r.err.find(fault), std::string::npos) << r.err;
  r = RunCli(
      {"apply", "--ports", "COM7,COM8,COM9", "--units", gaps, "--allow-empty", "--dry-run", "--quiet", goldenFile});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("COM8\tok\t\\d+ settings? would change\t"))) << r.out;
  EXPECT_EQ(r.out.find("changed"), std::string::npos) << r.out;
  EXPECT_EQ(Slurp(state(7)), before);

  // verify reads the units and names what one holds otherwise than its row and the golden file
  // give it, writing nothing; the passwords it cannot read are no difference.
  ASSERT_EQ(RunCli({"set", "--port", "COM9", "--quiet", "Channel_1.Baudrate=9600"}).rc, 0);
  const std::string held = Slurp(state(9)), check = dir.Path() + "/check.jsonl";
  r = RunCli({"verify", "--ports", "COM7,COM8,COM9", "--units", units, "--report", check, "--quiet", goldenFile});
  EXPECT_EQ(r.rc, 10) << r.err;
  EXPECT_NE(r.out.find("COM9: Channel_1.Baudrate: 115200 -> 9600\n"), std::string::npos) << r.out;
  for (const char* port :
       {"COM7\tmatches\t0 settings differ\t", "COM8\tmatches\t", "COM9\tdiffers\t1 setting differs\t"})
    EXPECT_NE(r.out.find(port), std::string::npos) << r.out;
  EXPECT_EQ(Slurp(state(9)), held) << "nothing written";
  EXPECT_EQ(Slurp(state(7)), before);
  records = Records(check);
  ASSERT_EQ(records.size(), 5u);
  for (const auto& record : records)
    if (record["port"] == "COM9") {
      EXPECT_EQ(record["outcome"], "differs");
      EXPECT_EQ(record["status"], 10);
      EXPECT_EQ(record["differs"], nlohmann::json::array({"Channel_1.Baudrate"}));
    } else if (record["port"] == "COM7") {
      EXPECT_EQ(record["outcome"], "matches");
    }
  EXPECT_EQ(records.back()["confirmed"], 2);
}
