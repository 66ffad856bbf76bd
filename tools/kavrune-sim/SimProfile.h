#pragma once
// How one simulated unit prints and asks things. Units in the field differ from each other in
// their texts and layouts while they keep the same settings; a profile holds one choice for each
// of those differences, so that a test can meet a whole, consistent unit of any kind.

#include <string>

enum class TSimTcpFlagLayout {
  OneLine,          // "Send '+++' in Modem Mode Y, Show IP addr after 'RING' Y, ..."
  ThreeLinesColon,  // "Send '+++' in Modem Mode : enabled", one flag a line
  ThreeLinesBare    // "Send '+++' in Modem Mode enabled"
};

enum class TSimColonSpacing {
  AsIs,    // the blanks each line has always had
  Tight,   // "Connect Mode: C0"
  Spaced,  // "Connect Mode : C0"
};

// What follows "Press Enter for Setup Mode ": nothing, or a line end the unit prints before it
// waits for its window all the same.
enum class TSimOfferEnd { None, CrLf, LfCr };

// How the banner names the unit and its firmware.
enum class TSimBanner {
  MacAddressLine,  // "MAC address 0200008F1C2E" (dashes as MacWithDashes says), "Software version V1.0.0.1"
  Labelled,        // "MAC: 02:00:00:8F:1C:2E", "Version: V1.0.0.1"
  ProductLine,     // "*** kaVRUNE  MAC 02-00-00-8F-1C-2E" on the product's line, "Firmware V6.7.0.2 (091201)"
};

// How the unit asks whether to change the DHCP device name.
enum class TSimDhcpForm {
  TwoParts,   // the name it holds, then the choice: "Change DHCP device name (not set) ? (N) ? "
  OnePart,    // the choice alone: "Change DHCP device name (N) ? "
  Bracketed,  // another firmware's words: "Change DHCP device name [not set] ? (N) ? "
};

// What the console echoes of the keys it takes in a question.
enum class TSimEcho {
  Cooked,  // a Y/N answer in upper case, passwords and keys as "*", every other byte as it came
  Raw,     // every key as it came: the answer's own letter case, passwords and keys in clear
};

struct TSimProfile {
  // Banner: "MAC address 0200008F1C2E", or with dashes "02-00-00-8F-1C-2E".
  bool MacWithDashes = false;
  TSimTcpFlagLayout TcpFlags = TSimTcpFlagLayout::OneLine;
  // Words for every on/off in the dump; empty: Y/N in the TCP-mode flags, enabled/disabled elsewhere.
  std::string FlagOn, FlagOff;
  // Lines that describe the unit and are no settings.
  bool HardwareLine = false, CountryLine = false, AlternateMacLine = false;
  // A line between the dump and the root menu's numbered items; empty: none.
  std::string RootHeading;
  // Addresses asked one number at a time, "IP Address : (192) ", Enter keeping that number.
  bool AddressByNumber = false;
  // "Netmask: number of host bits (8) " without the question mark.
  bool NetmaskWithoutQuestionMark = false;
  std::string ExitText = "Exit without save";
  // After "Factory defaults restored" the whole dump and the root menu again.
  bool DefaultsReprintDump = false;
  // The address table asked in UDP mode whatever the datagram type (else only with type FD).
  bool TableInAnyUdpMode = false;
  // "Restarting ..." between "Parameters stored ..." and the banner.
  bool SaysRestarting = false;
  std::string LineEnd = "\r\n";
  TSimColonSpacing Colons = TSimColonSpacing::AsIs;
  bool BlankLinesBetweenSections = false;
  TSimOfferEnd OfferEnd = TSimOfferEnd::None;
  TSimBanner Banner = TSimBanner::MacAddressLine;
  // "Alternate MAC ..." right after the banner's MAC, in its notation: an address (the unit's
  // own plus one) that is not the unit's.
  bool AlternateMacInBanner = false;
  TSimEcho Echo = TSimEcho::Cooked;
  // A model with a WLAN. Without: no "4 WLAN configuration" in the root menu (4 is an unknown
  // choice there), no WLAN section in the dump, and no network mode, neither in the dump nor in
  // the server menu.
  bool Wlan = true;
  // After "Parameters stored ..." (and "Restarting ..."), how long the unit is silent before its
  // banner. 0: it restarts at once, its banner and offer right behind the confirmation, in one
  // burst with it.
  int RestartDelayMs = 300;
  // How long its offer stays open once it is on the line, at power-on and at every restart;
  // 0: as long as the simulator is told (--boot-window-ms).
  int OfferWindowMs = 0;
  // The offer comes this long after the banner's other lines (a unit that starts its services in
  // between); a key before it is not heard. 0: right behind them.
  int OfferDelayMs = 0;
  // The line pauses this long right after a menu's heading ("Main menu:"), before its line end:
  // a USB adapter's packet gap, or a line held up just there. 0: it never pauses after a heading.
  int HeadingPauseMs = 0;
  TSimDhcpForm DhcpForm = TSimDhcpForm::TwoParts;
  // The line pauses this long between the two parts of such a question, right after the first
  // "? ": the unit's firmware at work, or an adapter's packet gap falling there. 0: no pause.
  int PartPauseMs = 0;
  // What it says once it has stored: units of the family differ in its letter case and in the
  // words around it.
  std::string StoredText = "Parameters stored ...";
  // After a store it starts again warm: no banner, only its offer, and the line pauses this long
  // inside the offer's words, after "Press Ent" (the firmware starting its services as it
  // prints). The offer stays open that much longer. 0: it restarts as at power-on.
  int WarmRestartPauseMs = 0;
  // The adapter holds the last byte of the offer's line end this long after the unit has put it
  // out (its latency timer, or a machine held up): the unit is done and takes keys meanwhile.
  // 0: it holds nothing there.
  int AdapterHoldMs = 0;
  // The unit enters Setup Mode this long after the Enter that asked for it, and prints its dump
  // then; keys in between wait in its input and are taken once its root menu is out, each as late
  // again (an Enter typed twice is answered by two dumps, the second late). 0: at once.
  int SetupDelayMs = 0;
  // A name or password given nothing after "Change ... ? Y" is kept, as older firmware does,
  // rather than left empty: such a unit cannot clear it.
  bool KeepsEmptyText = false;

  bool operator==(const TSimProfile&) const = default;
};

// "standard", "field" or "random" (each difference drawn from the seed: the same seed, the same
// unit). False for any other name.
bool SimProfileFor(const std::string& variant, unsigned seed, TSimProfile& profile);
// The profile of a variant the caller knows to exist; throws std::invalid_argument otherwise.
TSimProfile SimProfileFor(const std::string& variant, unsigned seed);

// "standard" or "no-wlan" into Wlan; false for any other name.
bool SimParseModel(const std::string& model, TSimProfile& profile);

// Six bytes as twelve hex digits or with dashes; false for anything that is no MAC address.
bool SimParseMac(const std::string& text, std::string& twelveHexDigits);
