// What the engine recognises in the unit's own words, whatever form a unit of the family prints
// them in: its offer of Setup Mode, its root menu's entries, its MAC address and version.

#include <gtest/gtest.h>

#include "uKaVruneConsole.h"
#include "uKaVruneIdentity.h"

TEST(UnitWords, shouldSeeTheOfferWhateverEndsItAndNothingElse) {
  for (const char* end : {"", " ", "\r\n", "\n\r", " \r\n"}) {
    const std::string banner = std::string("kaVRUNE\r\nMAC address 0200008F1C2E\r\n\r\nPress Enter for Setup Mode ") + end;
    EXPECT_TRUE(OffersSetupMode(banner)) << "ending " << testing::PrintToString(end);
    EXPECT_EQ(FindSetupOffer(banner), banner.find("Press"));
    EXPECT_TRUE(ShowsRestart("\r\n12\r\n" + banner));
  }
  EXPECT_TRUE(OffersSetupMode("press <CR> to enter setup mode\r\n"));
  EXPECT_FALSE(OffersSetupMode("Press Enter for Setup Mode\r\nYour choice ? ")) << "a later prompt is where it waits";
  EXPECT_FALSE(OffersSetupMode("Setup Mode: press Enter"));
  const std::string twice = "Press Enter for Setup Mode \r\n...\r\nPress Enter for Setup Mode ";
  EXPECT_EQ(FindSetupOffer(twice, 5), twice.rfind("Press")) << "a line already acted on is no new offer";
}

TEST(UnitWords, shouldMapTheRootMenuByItsLabelsNotItsNumbers) {
  const std::string full =
      "*** Expert\r\nTCP keepalive : 45s\r\n\r\nChange Setup:\r\n  0 Server configuration\r\n  1 Channel 1 configuration\r\n"
      "  2 Channel 2 configuration\r\n  4 WLAN configuration\r\n  5 Expert settings\r\n  6 Security\r\n"
      "  7 Factory defaults\r\n  8 Exit without save\r\n  9 Save and exit\r\n\r\nYour choice ? ";
  const TMenuMap map = TMenuMap::FromRootMenu(full);
  const std::pair<TMenuEntry, const char*> expected[] = {
      {TMenuEntry::Server, "0"},   {TMenuEntry::Channel1, "1"}, {TMenuEntry::Channel2, "2"},
      {TMenuEntry::Wlan, "4"},     {TMenuEntry::Expert, "5"},   {TMenuEntry::Security, "6"},
      {TMenuEntry::Defaults, "7"}, {TMenuEntry::ExitWithoutSave, "8"}, {TMenuEntry::SaveAndExit, "9"}};
  for (const auto& [entry, key] : expected) EXPECT_EQ(map.Key(entry), key);
  EXPECT_EQ(map.SectionsOffered().size(), 6u);

  const TMenuMap other = TMenuMap::FromRootMenu(
      "0 Server configuration\n1 Channel 1 configuration\n2 Channel 2 configuration\n3 Expert settings\n"
      "4 Security\n5 Factory defaults\n6 Save and exit\n7 Exit without save\nYour choice ? ");
  EXPECT_FALSE(other.Has(TMenuEntry::Wlan)) << "a model without WLAN";
  EXPECT_EQ(other.Key(TMenuEntry::Expert), "3");
  EXPECT_EQ(other.Key(TMenuEntry::SaveAndExit), "6");
  EXPECT_EQ(other.Key(TMenuEntry::ExitWithoutSave), "7");
  EXPECT_TRUE(TMenuMap::FromRootMenu("Your choice ? ").Empty());
  EXPECT_FALSE(TMenuMap::FromRootMenu("0 Server configuration\r\n8 Exit without save\r\nYour choice ? ")
                   .Has(TMenuEntry::SaveAndExit));
  // Its exit key answered by the root menu again is no leaving, its own words are.
  EXPECT_FALSE(SaysLeftWithoutSaving("8\r\n" + full));
  EXPECT_TRUE(SaysLeftWithoutSaving("8\r\nExit without save\r\n"));
  EXPECT_TRUE(SaysLeftWithoutSaving("8\r\nExiting without save !\r\n"));
}

TEST(UnitWords, shouldFindTheMacAndVersionOnAnyLineTheUnitPrintsAboutItself) {
  const struct {
    const char* Banner;
    const char* Mac;
    const char* Firmware;
  } cases[] = {
      {"kaVRUNE serial device server\r\nMAC address 0200008F1C2E\r\nSoftware version V1.0.0.1\r\n", "02-00-00-8F-1C-2E",
       "V1.0.0.1"},
      {"Alternate MAC 02-00-00-00-00-01\r\nMAC: 02:00:00:8f:1c:2e\r\nVersion: V2.1.0\r\n", "02-00-00-8F-1C-2E", "V2.1.0"},
      {"*** kaVRUNE  MAC 02-00-00-12-34-56\r\nFirmware V6.7.0.2 (091201)\r\n", "02-00-00-12-34-56",
       "V6.7.0.2 (091201)"},
      {"*** kaVRUNE V3.0.1 MAC address: 020000ABCDEF\r\n", "02-00-00-AB-CD-EF", "V3.0.1"},
      {"Alternate MAC address 0200000000AA\r\nSNMP version : 2\r\n", "", ""},
  };
  for (const auto& c : cases) {
    TDeviceIdentityScanner scanner;
    scanner.Feed(c.Banner);
    EXPECT_EQ(scanner.Identity().Mac, c.Mac) << c.Banner;
    EXPECT_EQ(scanner.Identity().Firmware, c.Firmware) << c.Banner;
  }
}
