#pragma once
// The dump reader: brings the device to the root menu of Setup Mode and turns the configuration
// dump that it prints on the way into a read document, one section element per "***" heading
// and one key element per line.

#include <string>
#include <vector>

#include "uKaVruneConsole.h"
#include "uXmlUtils.h"

// One entry into Setup Mode that reads the dump the unit prints on its way to the root menu.
struct TDumpContext : TRootWay {
  TXmlElement Root;  // the newest dump the unit printed on the way, if it printed one
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
// dump heading before the last root prompt up to that prompt, as a new read document. None when the text holds no whole dump. Lines with noise or that the document
// refuses get the error-line marker and are named in damaged.
TXmlElement ParseDump(const std::string& text, std::vector<std::string>* damaged = nullptr);

// Brings the unit to its root menu (TDeviceConsole::EnterRootMenu) and reads into context.Root
// the newest dump it printed on the way there.
void ReadDump(TDeviceConsole& console, TDumpContext& context);
