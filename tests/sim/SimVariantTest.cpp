// The kinds of unit the simulator can be: each prints and asks as its profile says, and stores
// what it was told whatever the form of the question. The console is driven directly and fed the
// time, so the timing switches are tested without waiting on a clock.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "SimUnit.h"

namespace {

using namespace std::chrono_literals;

// The unit's own MAC as the banner's form prints it.
std::string MacLine(const TSimProfile& p) {
  switch (p.Banner) {
    case TSimBanner::MacAddressLine:
      return p.MacWithDashes ? "MAC address 02-00-00-8F-1C-2E" : "MAC address 0200008F1C2E";
    case TSimBanner::Labelled: return "MAC: 02:00:00:8F:1C:2E";
    case TSimBanner::ProductLine: return "*** kaVRUNE  MAC 02-00-00-8F-1C-2E";
  }
  return {};
}

// Every line end of the text is the profile's own.
bool OnlyLineEnds(const std::string& text, const std::string& end) {
  std::string rest = text;
  for (std::size_t at; (at = rest.find(end)) != std::string::npos;) rest.replace(at, end.size(), "|");
  return rest.find_first_of("\r\n") == std::string::npos;
}

TEST_F(SimUnit, shouldPrintTheBannerDumpAndRootMenuAsItsProfileSays) {
  std::vector<TSimProfile> profiles = {SimProfileFor("standard", 0), SimProfileFor("field", 0)};
  for (unsigned seed = 1; seed <= 12; ++seed) profiles.push_back(SimProfileFor("random", seed));
  for (const TSimProfile& p : profiles) {
    SCOPED_TRACE(::testing::Message() << "profile #" << (&p - profiles.data()));
    Start(p);
    std::string banner = Take();
    EXPECT_TRUE(Has(banner, MacLine(p) + p.LineEnd)) << banner;
    // The offer's own line end is the firmware's, whatever the others are.
    if (p.OfferEnd != TSimOfferEnd::None) banner.resize(banner.size() - 2);
    std::string dump = Type("\r");
    // A unit that takes its time entering Setup Mode prints its dump once that time is over.
    Device->Tick(Now + std::chrono::milliseconds(p.SetupDelayMs));
    dump += Take();
    EXPECT_TRUE(OnlyLineEnds(banner + dump, p.LineEnd));
    const std::string& end = p.LineEnd;
    const std::string on = p.FlagOn.empty() ? "enabled" : p.FlagOn, off = p.FlagOn.empty() ? "disabled" : p.FlagOff;
    switch (p.TcpFlags) {
      case TSimTcpFlagLayout::OneLine: {
        const std::string y = p.FlagOn.empty() ? "Y" : p.FlagOn, n = p.FlagOn.empty() ? "N" : p.FlagOff;
        EXPECT_TRUE(
            Has(dump, "Modem Mode " + y + ", Show IP addr after 'RING' " + y + ", Auto increment source port " + n));
        break;
      }
      case TSimTcpFlagLayout::ThreeLinesColon:
      case TSimTcpFlagLayout::ThreeLinesBare: {
        const std::string colon = p.TcpFlags == TSimTcpFlagLayout::ThreeLinesColon
                                      ? (p.Colons == TSimColonSpacing::Tight ? ": " : " : ")
                                      : " ";
        EXPECT_TRUE(Has(dump, end + "Send '+++' in Modem Mode" + colon + on + end)) << dump;
        EXPECT_TRUE(Has(dump, end + "Auto increment source port" + colon + off + end)) << dump;
        break;
      }
    }
    EXPECT_EQ(Has(dump, "Power management" + std::string(p.Colons == TSimColonSpacing::Spaced ? " : " : ": ") + off),
              p.Wlan);
    EXPECT_TRUE(Has(dump, "SNMP is " + on + end));
    EXPECT_EQ(Has(dump, "Hardware"), p.HardwareLine);
    EXPECT_EQ(Has(dump, "Europe (ETSI)"), p.CountryLine && p.Wlan);
    EXPECT_EQ(Has(dump, "Alternate MAC"), p.AlternateMacLine);
    EXPECT_EQ(Has(dump, end + end + "*** Channel 1"), p.BlankLinesBetweenSections);
    EXPECT_TRUE(Has(dump, "Disconn Time" + std::string(p.Colons == TSimColonSpacing::Spaced ? " : " : ": ") + "00:00"))
        << "a time keeps its colon";
    EXPECT_TRUE(Has(dump, (p.RootHeading.empty() ? end : end + p.RootHeading + end) + "0 Server configuration"));
    EXPECT_TRUE(Has(dump, "9 Save and exit" + end + end + "Your choice ? ")) << "the root prompt ends the dump";
    EXPECT_EQ(dump.substr(dump.size() - 14), "Your choice ? ");
  }
}

TEST_F(SimUnit, shouldBeTheSameUnitForTheSameSeedAndTakeEveryFormOverSeeds) {
  EXPECT_EQ(SimProfileFor("random", 42), SimProfileFor("random", 42));
  std::set<std::string> ends, headings, flagWords;
  std::set<int> layouts, colons;
  std::set<bool> macs, addresses, tables, exits, alternates, echoes;
  std::set<int> offerEnds, banners, restartDelays, offerWindows, adapterHolds, setupDelays;
  std::set<std::string> storedTexts;
  int withoutWlan = 0;
  for (unsigned seed = 0; seed < 40; ++seed) {
    const TSimProfile p = SimProfileFor("random", seed);
    ends.insert(p.LineEnd);
    headings.insert(p.RootHeading);
    flagWords.insert(p.FlagOn + "/" + p.FlagOff);
    layouts.insert(static_cast<int>(p.TcpFlags));
    colons.insert(static_cast<int>(p.Colons));
    macs.insert(p.MacWithDashes);
    addresses.insert(p.AddressByNumber);
    tables.insert(p.TableInAnyUdpMode);
    exits.insert(p.ExitText == "Exit without save");
    offerEnds.insert(static_cast<int>(p.OfferEnd));
    banners.insert(static_cast<int>(p.Banner));
    alternates.insert(p.AlternateMacInBanner);
    echoes.insert(p.Echo == TSimEcho::Raw);
    withoutWlan += !p.Wlan;
    restartDelays.insert(p.RestartDelayMs);
    offerWindows.insert(p.OfferWindowMs);
    storedTexts.insert(p.StoredText);
    adapterHolds.insert(p.AdapterHoldMs);
    setupDelays.insert(p.SetupDelayMs);
  }
  EXPECT_EQ(ends, (std::set<std::string>{"\r\n", "\n\r", "\r"}));
  EXPECT_EQ(headings, (std::set<std::string>{"", "Change Setup:", "Main menu:"}));
  EXPECT_EQ(flagWords.size(), 5u);
  EXPECT_EQ(layouts.size(), 3u);
  EXPECT_EQ(colons.size(), 3u);
  EXPECT_EQ(macs.size() + addresses.size() + tables.size() + exits.size(), 8u);
  EXPECT_EQ(offerEnds.size() + banners.size() + alternates.size() + echoes.size(), 10u);
  EXPECT_TRUE(withoutWlan >= 5 && withoutWlan <= 15) << withoutWlan << " of 40 without WLAN: about one in four";
  EXPECT_EQ(restartDelays, (std::set<int>{0, 50, 300, 1000}));
  EXPECT_EQ(offerWindows, (std::set<int>{0, 300, 1000}));
  EXPECT_EQ(storedTexts.size(), 4u) << "the store's confirmation in each of its letter cases and words";
  EXPECT_EQ(adapterHolds.size() + setupDelays.size(), 6u);
  TSimProfile unused;
  EXPECT_FALSE(SimProfileFor("fieldish", 1, unused));

  // The whole printout is the same, byte for byte.
  std::string first;
  for (int run = 0; run < 2; ++run) {
    Start(SimProfileFor("random", 42));
    const std::string out = Take() + Type("\r");
    if (run == 0) first = out;
    else EXPECT_EQ(out, first);
  }
}

TEST_F(SimUnit, shouldStoreTheBasicAnswersAskedNumberByNumber) {
  Start(SimProfileFor("field", 0));
  Type("\r");
  EXPECT_TRUE(Type("0\r").ends_with("\r\nIP Address : (192) "));
  EXPECT_EQ(Type("10\r"), "10.(168) ");
  EXPECT_EQ(Type("\r"), ".(1) ") << "Enter keeps the one number";
  Type("\r");
  EXPECT_TRUE(Type("7\r").ends_with("Set Gateway IP Address (N) ? "));
  EXPECT_TRUE(Type("Y").ends_with("Gateway IP addr : (0) "));
  Type("10\r");
  Type("\r");
  Type("\r");
  EXPECT_TRUE(Type("1\r").ends_with("Netmask: number of host bits (8) ")) << "no question mark";
  Type("16\r");
  Type("\r");  // network mode kept
  Type("N");
  EXPECT_TRUE(Type("N").ends_with("Your choice ? "));
  EXPECT_EQ(Current("basic_parameters", "IP_Address"), "10.168.1.7");
  EXPECT_EQ(Current("basic_parameters", "Set_Gateway_IP_Address"), "10.0.0.1");
  EXPECT_EQ(Current("basic_parameters", "Netmask"), "255.255.0.0");

  // The standard unit asks the address whole and keeps all of it on an Enter at the first number.
  Start(SimProfileFor("standard", 0));
  Type("\r");
  EXPECT_TRUE(Type("0\r").ends_with("IP Address (192.168.1.254) ? "));
  EXPECT_TRUE(Type("\r").ends_with("Set Gateway IP Address (N) ? "));
  EXPECT_EQ(Current("basic_parameters", "IP_Address"), "192.168.1.254");
  Type("N");
  EXPECT_TRUE(Type("\r").ends_with("(0=wired only, 1=wireless only, 2=bridging) (1) ? ")) << "the netmask's ? closes";
}

TEST_F(SimUnit, shouldAskTheTableByTheProfileAndStoreFlagsAndTableOnNine) {
  for (const char* variant : {"standard", "field"}) {
    SCOPED_TRACE(variant);
    const bool field = std::string(variant) == "field";
    TSimSettings state = SimDefaults();
    state.Set("Channel_2", "ConnectMode", "CC");
    state.Set("Channel_2", "Datagram_Type", "1");
    Start(SimProfileFor(variant, 0), {}, state);
    Type("\r");
    // Channel 1 over TCP: a flag and the remote address, whose form follows the profile too.
    Type("1\r");
    for (int i = 0; i < 5; ++i) Type("\r");  // baud rate to connect mode
    EXPECT_TRUE(Type("N").ends_with("Show IP addr after 'RING' (Y) ? "));
    Type("\r");
    const std::string remote = Type("\r");
    EXPECT_TRUE(remote.ends_with(field ? "Remote IP Address : (0) " : "Remote IP Address (0.0.0.0) ? ")) << remote;
    std::string out = Type("10\r");
    for (int i = 0; i < 3; ++i) out = Type("3\r");
    while (!out.ends_with("Your choice ? ")) out = Type("\r");
    EXPECT_EQ(Current("Channel_1", "Send_______in_Modem_Mode"), "N");
    EXPECT_EQ(Current("Channel_1", "Remote_IP_Address"), "10.3.3.3");
    // Channel 2 over UDP with datagram type 01: only the field unit asks for the table.
    Type("2\r");
    for (int i = 0; i < 6; ++i) out = Type("\r");  // to the broadcast question
    out = Type("N");
    out = Type(field ? "\r\r\r\r" : "\r");  // remote address kept
    out = Type("\r");                       // remote port
    EXPECT_EQ(out.ends_with("Change address table (N) ? "), field) << out;
    if (field) {
      Type("Y");
      for (int i = 0; i < 16; ++i) out = Type(std::to_string(i) + "\r");
    }
    EXPECT_TRUE(out.ends_with("Your choice ? ")) << out;
    EXPECT_EQ(Stored("Channel_1", "Send_______in_Modem_Mode"), "Y") << "nothing stored before 9";
    out = Type("9\r");
    EXPECT_TRUE(Has(out, "Parameters stored ..."));
    EXPECT_EQ(Has(out, "Restarting ..."), field);
    EXPECT_EQ(Stored("Channel_1", "Send_______in_Modem_Mode"), "N");
    EXPECT_EQ(Stored("Channel_2", "Change_address_table"),
              field ? "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15" : "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0");
    Device->Tick(Now + 1s);
    EXPECT_TRUE(Has(Take(), "Press Enter for Setup Mode")) << "restarts with the banner";
  }
}

TEST_F(SimUnit, shouldRestoreDefaultsAndExitAsTheProfileSays) {
  for (const char* variant : {"standard", "field"}) {
    SCOPED_TRACE(variant);
    const bool field = std::string(variant) == "field";
    TSimSettings state = SimDefaults();
    state.Set("Expert", "MTU_Size", "512");
    Start(SimProfileFor(variant, 0), {}, state);
    Type("\r");
    const std::string out = Type("7\r");
    EXPECT_TRUE(Has(out, "Factory defaults restored"));
    EXPECT_EQ(Has(out, "MTU Size: 1400"), field) << "the field unit prints the dump again";
    EXPECT_TRUE(out.ends_with("Your choice ? "));
    EXPECT_EQ(Current("Expert", "MTU_Size"), "1400");
    EXPECT_EQ(Stored("Expert", "MTU_Size"), "512");
    EXPECT_TRUE(Has(Type("8\r"), field ? "Exiting without save !" : "Exit without save\r\n"));
    EXPECT_EQ(Device->Mode(), TSimMode::DataMode);
    EXPECT_EQ(Stored("Expert", "MTU_Size"), "512");
  }
}

// The banner's forms, each with its alternate address, which is never the unit's own.
TEST_F(SimUnit, shouldNameItselfInItsBannersFormAndWaitAfterAnOfferThatEndsItsLine) {
  struct TForm {
    TSimBanner Banner;
    bool Dashes;
    TSimOfferEnd OfferEnd;
    std::string Lines, End;
  };
  const TForm forms[] = {
      {TSimBanner::MacAddressLine, false, TSimOfferEnd::None,
       "kaVRUNE serial device server\r\nMAC address 0200008F1C2E\r\nAlternate MAC address 0200008F1C2F\r\n"
       "Software version V1.0.0.1\r\n",
       ""},
      {TSimBanner::MacAddressLine, true, TSimOfferEnd::CrLf,
       "MAC address 02-00-00-8F-1C-2E\r\nAlternate MAC address 02-00-00-8F-1C-2F\r\n", "\r\n"},
      {TSimBanner::Labelled, true, TSimOfferEnd::LfCr,
       "kaVRUNE serial device server\r\nMAC: 02:00:00:8F:1C:2E\r\nAlternate MAC: 02:00:00:8F:1C:2F\r\n"
       "Version: V1.0.0.1\r\n",
       "\n\r"},
      {TSimBanner::ProductLine, false, TSimOfferEnd::CrLf,
       "\r\n*** kaVRUNE  MAC 02-00-00-8F-1C-2E\r\nAlternate MAC 02-00-00-8F-1C-2F\r\nFirmware V6.7.0.2 (091201)\r\n",
       "\r\n"},
  };
  for (const TForm& f : forms) {
    SCOPED_TRACE(::testing::Message() << "banner form " << static_cast<int>(f.Banner) << ", end " << f.End.size());
    TSimProfile p;
    p.Banner = f.Banner;
    p.MacWithDashes = f.Dashes;
    p.OfferEnd = f.OfferEnd;
    p.AlternateMacInBanner = true;
    Start(p);
    const std::string banner = Take();
    EXPECT_TRUE(Has(banner, f.Lines)) << banner;
    EXPECT_TRUE(banner.ends_with("\r\n\r\nPress Enter for Setup Mode " + f.End)) << banner;
    p.AlternateMacInBanner = false;
    Start(p);
    EXPECT_FALSE(Has(Take(), "Alternate"));
    // The line end is no end of the offer: its window is still open.
    Device->Tick(Now + 2900ms);
    EXPECT_EQ(Device->Mode(), TSimMode::Offer);
    EXPECT_TRUE(Has(Type("\r"), "*** basic parameters"));
  }
}

TEST_F(SimUnit, shouldHaveNoWlanMenuSectionOrNetworkModeWithoutAWlan) {
  TSimProfile p;
  p.Wlan = false;
  Start(p);
  Take();
  const std::string dump = Type("\r");
  EXPECT_FALSE(Has(dump, "*** WLAN"));
  EXPECT_FALSE(Has(dump, "Network mode"));
  EXPECT_FALSE(Has(dump, "WLAN"));
  EXPECT_TRUE(Has(dump, "*** Expert"));
  EXPECT_TRUE(Has(dump, "2 Channel 2 configuration\r\n5 Expert settings\r\n")) << "the others keep their numbers";
  EXPECT_EQ(Type("4\r"), "4\r\nYour choice ? ") << "an unknown choice";
  EXPECT_EQ(Device->Mode(), TSimMode::RootMenu);
  std::string walk;
  for (std::string out = Type("0\r"); walk += out, !out.ends_with("Your choice ? ");) out = Type("\r");
  EXPECT_TRUE(Has(walk, "Netmask"));
  EXPECT_FALSE(Has(walk, "Network mode"));
  EXPECT_EQ(Stored("WLAN", "Network_name"), "kavrune") << "the settings stay; the unit never shows them";
}

// A raw echo returns each key as it came; the cooked one upper-cases Y/N and hides secrets. Both
// return windows-1250 letters (bytes from 80h up) as they came.
TEST_F(SimUnit, shouldEchoKeysAsItsEchoFormSays) {
  for (const TSimEcho echo : {TSimEcho::Cooked, TSimEcho::Raw}) {
    const bool raw = echo == TSimEcho::Raw;
    SCOPED_TRACE(raw ? "raw" : "cooked");
    TSimProfile p;
    p.Echo = echo;
    Start(p);
    Type("\r");
    Type("0\r");
    EnterUntil("Change telnet config password (N) ? ");
    EXPECT_TRUE(Type("y").starts_with(raw ? "y" : "Y"));
    EXPECT_TRUE(Type("p\xE8\r").starts_with(raw ? "p\xE8" : "**"));
    Type("Y");
    EXPECT_TRUE(Type("Ba\xE8"
                     "a\r")
                    .starts_with("Ba\xE8"
                                 "a"));
    EXPECT_EQ(Current("basic_parameters", "Enter_new_Password"), "p\xE8");
    EXPECT_EQ(Current("basic_parameters", "Enter_new_DHCP_device_Name"),
              "Ba\xE8"
              "a");
  }
}

// A paced unit: its own text goes out at 115200 baud, and the tests say when it has.
class SimTiming : public SimUnit {
 protected:
  void StartPaced(TSimDevice::TOptions options) {
    options.CharTime = 87us;
    Start(SimProfileFor("standard", 0), options);
  }
  void Receive(std::string_view keys) { Device->Receive(keys, Now); }
};

TEST_F(SimTiming, shouldTakeAnEnterDuringTheBannerOnlyWithTheSwitch) {
  for (bool early : {false, true}) {
    TSimDevice::TOptions options;
    options.TakesEarlyEnter = early;
    StartPaced(options);
    Device->Consume(10);  // part of the banner is out
    Receive("\r");
    EXPECT_EQ(Device->Mode(), early ? TSimMode::RootMenu : TSimMode::Offer);
  }
  StartPaced({});
  Take();  // the offer has gone out: now the Enter counts
  Receive("\r");
  EXPECT_EQ(Device->Mode(), TSimMode::RootMenu);
}

TEST_F(SimTiming, shouldLoseKeysTypedWhileItPrintsUnlessItTypesAhead) {
  for (bool ahead : {false, true}) {
    TSimDevice::TOptions options;
    options.TypeAhead = ahead;
    StartPaced(options);
    Take();
    Receive("\r");  // the dump is going out
    Receive("0\r");
    EXPECT_EQ(Device->Mode(), ahead ? TSimMode::Question : TSimMode::RootMenu);
  }
  // The echo of typed keys is no text of the unit's own: a whole answer in one write is taken.
  StartPaced({});
  Type("\r");
  Type("0\r");
  Receive("10\r");
  EXPECT_EQ(Device->Pending(), "10.(168) ");
  Receive("0\r");  // while ".(168) " is still going out
  EXPECT_EQ(Device->Pending(), "10.(168) ") << "a lost key is not even echoed";
}

TEST_F(SimTiming, shouldHoldTheFirstByteOfEveryAnswerByTheLatency) {
  TSimDevice::TOptions options;
  options.Latency = 250ms;
  Start(SimProfileFor("standard", 0), options);
  Take();
  Receive("\r");
  EXPECT_EQ(Device->HeldUntil(), Now + 250ms);
  Receive("0\r");
  EXPECT_EQ(Device->Mode(), TSimMode::RootMenu) << "the unit is still composing its answer";
  Now += 300ms;
  Take();
  Receive("0\r");
  EXPECT_EQ(Device->Mode(), TSimMode::Question);
  EXPECT_EQ(Device->HeldUntil(), Now + 250ms);
}

// A unit that restarts at once puts its banner and offer right behind its store's confirmation,
// and keeps the offer open only for its own window; one that starts slowly shows its banner
// first and hears no key until its offer is out.
TEST_F(SimTiming, shouldRestartAfterItsDelayAndOfferForItsWindow) {
  TSimProfile quick;
  quick.RestartDelayMs = 0;
  quick.OfferWindowMs = 300;
  Start(quick);
  Take();
  Type("\r");
  const std::string out = Type("9\r");
  EXPECT_TRUE(Has(out, "Parameters stored ...\r\n\r\n\r\nkaVRUNE serial device server")) << out;
  EXPECT_TRUE(out.ends_with("Press Enter for Setup Mode ")) << "one burst";
  Device->Tick(Now + 299ms);
  EXPECT_EQ(Device->Mode(), TSimMode::Offer);
  Device->Tick(Now + 300ms);
  EXPECT_EQ(Device->Mode(), TSimMode::DataMode) << "its own window";

  TSimProfile slow;
  slow.OfferDelayMs = 500;
  Start(slow);
  EXPECT_TRUE(Take().ends_with("Software version V1.0.0.1\r\n\r\n"));
  EXPECT_EQ(Type("\r"), "") << "not heard before the offer";
  Device->Tick(Now + 500ms);
  EXPECT_EQ(Take(), "Press Enter for Setup Mode ");
  Now += 500ms;
  EXPECT_TRUE(Type("\r").ends_with("Your choice ? "));
}

}  // namespace
