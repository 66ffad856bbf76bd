#pragma once
// The dump reader: brings the device to the root menu of Setup Mode and turns the configuration
// dump that it prints on the way into a read document, one section element per "***" heading
// and one key element per line.

#include <functional>
#include <string>
#include <vector>

#include "AfComPort.h"
#include "uKaVruneConsole.h"
#include "uXmlUtils.h"

constexpr const char* DumpHeading = "*** basic parameters";
constexpr const char* MenuPrompt = "Your choice ?";

// One entry into Setup Mode.
struct TDumpContext {
  std::function<bool()> Stop;  // asked before every exchange; true ends the entry at once
  int ListenMs = 1000;         // how long a device that says nothing is listened to
  // How long the entry listens before it presses Enter: a device that is booting prints its
  // offer meanwhile, and an Enter into its banner may be taken or not.
  int ListenFirstMs = 250;
  TLineTiming* Timing = nullptr;  // what the line has shown so far; none: learnt anew
  bool DumpWanted = true;      // false: the root menu without a dump will do
  bool InMenu = false;         // "Your choice ?" came: the device is at the root menu
  TXmlElement Root;            // the dump the device printed on the way, if it printed one
  std::string Heard;           // everything the device said, for the caller's checks
  // Called as the lines of a dump come in, with the number of whole lines since its heading.
  std::function<void(int lines)> DumpLines;
  // The lines of Root's dump that could not be read, each as "line N (section): text" with
  // unreadable bytes spelled out and secrets masked.
  std::vector<std::string> DamagedLines;
};

// One trimmed dump line (UTF-8) becomes a section under root or key elements of section.
// Never raises: a line the document refuses leaves the error-line marker in the section, and
// false is returned. A refused heading becomes a marker element under root that takes the
// section's lines, so they never land in the section before it.
bool ParseDumpLine(const std::string& line, const TXmlElement& root, TXmlElement& section);


// The newest whole dump in what the device printed (windows-1250, CR line ends): from the last
// "*** basic parameters" line before the last "Your choice ?" up to that prompt, as a new read
// document. None when the text holds no whole dump. Lines with noise or that the document
// refuses get the error-line marker and are named in damaged.
TXmlElement ParseDump(const std::string& text, std::vector<std::string>* damaged = nullptr);

// Brings the device to the root menu, from wherever it is. It listens first; it presses Enter
// only where the device waits (quiet after its offer, a question or its root prompt) or stays
// silent; it keeps the values of a question it finds open, and presses Enter at the root menu
// only when the device has not printed its dump on the way there (and a dump is wanted). A
// device that takes an Enter pressed into its banner prints its dump straight after the offer:
// no second Enter follows, and a second printout that comes all the same is read to its end,
// the newest dump being the one read into context.Root. Gives up when the device stays silent
// for context.ListenMs, or talks for ever without showing the menu.
void EnterRootMenu(TAfCustomSerialPort* port, TDumpContext& context);
