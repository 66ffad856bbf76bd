// Settings as a person reads them: values in words with their units, and beside each the
// assignment that set takes back.

#include <gtest/gtest.h>

#include <regex>

#include "CliSettings.h"
#include "CliText.h"
#include "SimStates.h"

using namespace KaVruneCli;

namespace {

TDeviceSettings ReadOf(const TSimSettings& s) { return FromReadDocument(DumpDocument(s)->Root()); }

std::string Words(const TDeviceSettings& read, const std::string& name) {
  std::string error;
  const auto rows = FindSettings(name, error);
  return rows.size() == 1 ? ValueInWords(*rows.front(), read) : "(" + name + ": " + error + ")";
}

}  // namespace

// The last column is what a technician copies into set: it must set exactly the value shown.
TEST(CliText, everyLineShouldEndInTheAssignmentThatSetsItsValue) {
  const std::regex line(
      R"(^  (\S.*\S)  +(\S.*\S|\S)  +((basic_parameters|Channel_\d|E-mail|WLAN|Expert|Security)\.[^=]+=.*)$)");
  for (const TSimSettings& state : {SimDefaults(), EdgeState(false), EdgeState(true)}) {
    const TDeviceSettings read = ReadOf(state);
    const std::string text = ReadableText(read);
    size_t settings = 0;
    for (size_t at = 0; at < text.size();) {
      const size_t end = text.find('\n', at);
      const std::string l = text.substr(at, end - at);
      at = end + 1;
      if (l.empty() || l[0] != ' ') continue;  // a section's heading, or the blank line before it
      std::smatch m;
      ASSERT_TRUE(std::regex_match(l, m, line)) << l;
      ++settings;
      std::string error;
      const auto rows = FindSettings(m[3].str().substr(0, m[3].str().find('=')), error);
      ASSERT_EQ(rows.size(), 1u) << l;
      EXPECT_NE(m[1].str(), SettingName(*rows.front())) << "a plain name, not the key: " << l;
      if (!rows.front()->Writable()) continue;
      const auto a = ParseAssignment(m[3].str(), error, &read);
      ASSERT_TRUE(a) << l << ": " << error;
      EXPECT_EQ(a->Value, *read.Find(*a->Row)) << l;
    }
    EXPECT_GT(settings, 60u);
  }
}

TEST(CliText, valuesShouldReadAsWordsWithTheirUnits) {
  const TDeviceSettings defaults = ReadOf(SimDefaults());
  EXPECT_EQ(Words(defaults, "Channel_1.Baudrate"), "9600 bit/s");
  EXPECT_EQ(Words(defaults, "Channel_1.IF_Mode"), "RS232, 8 data bits, no parity, 1 stop bit");
  EXPECT_EQ(Words(defaults, "Channel_1.Flow"), "none");
  EXPECT_EQ(Words(defaults, "Channel_1.Connect_Mode"), "TCP, accepts incoming, no active connect, no connect response");
  EXPECT_EQ(Words(defaults, "Channel_1.Flush___Mode"), "packing off; input flushed never; output flushed never");
  EXPECT_EQ(Words(defaults, "Expert.TCP_Keepalive"), "45 s");
  EXPECT_EQ(Words(defaults, "Expert.MTU_Size"), "1400 bytes");
  EXPECT_EQ(Words(defaults, "basic_parameters.gateway"), "none");
  // On and off in the sense of the name, though the menu asks "Disable SNMP".
  EXPECT_EQ(Words(defaults, "Security.SNMP"), "on");
  EXPECT_EQ(Words(defaults, "Security.Encryption"), "off");

  TSimSettings other = SimDefaults();
  other.Set("Channel_1", "I_F_Mode", "DB");
  other.Set("Channel_1", "Flow", "5");
  other.Set("Channel_1", "FlushMode", "91");
  other.Set("Channel_1", "Pack_Cntrl", "3B");
  other.Set("Channel_1", "DisConnMode", "51");
  other.Set("Channel_1", "DisConnTime", "1:30");
  other.Set("Channel_2", "ConnectMode", "CC");
  const TDeviceSettings read = ReadOf(other);
  EXPECT_EQ(Words(read, "Channel_1.IF_Mode"), "RS485, 7 data bits, odd parity, 2 stop bits");
  EXPECT_EQ(Words(read, "Channel_1.Flow"), "XON/XOFF, passed on to the host");
  EXPECT_EQ(Words(read, "Channel_1.Flush___Mode"),
            "packing on; input flushed on active connect; output flushed on active connect");
  EXPECT_EQ(Words(read, "Channel_1.Pack_Cntrl"),
            "idle gap 5000 ms, 2 trailing bytes, sends 2 characters, sends immediately");
  EXPECT_EQ(Words(read, "Channel_1.DisConnMode"), "LED off, password required, COM port control");
  EXPECT_EQ(Words(read, "Channel_1.DisConnTime"), "1 min 30 s");
  EXPECT_EQ(Words(read, "Channel_2.Connect_Mode"), "UDP, accepts incoming");
}
