#pragma once
// The dump reader: turns the configuration dump that the device prints in Setup Mode into a
// read document, one section element per "***" heading and one key element per line.

#include <string>

#include "AfComPort.h"
#include "uXmlUtils.h"

// The variables that the dump reader shares with one entry into Setup Mode.
struct TDumpContext {
  bool DumpWanted = false;
  bool InMenu = false;       // "*** basic parameters" has been seen
  PXmlDocument Document;     // a document just created, dropped once its root is taken
  TXmlElement Section;       // where key lines go
  TXmlElement Root;          // root of the newest read document
};

constexpr const char* ErrorLineMarker = "xxxxx_ERROR_LINE_xxxxx";

// One trimmed dump line (UTF-8) becomes a section under root or key elements of section.
// Never raises: a line the document refuses leaves the error-line marker in the section.
void ParseDumpLine(const std::string& line, const TXmlElement& root, TXmlElement& section);

// Presses Enter and collects the dump line by line into a new read document.
void ReadDump(TAfCustomSerialPort* port, TDumpContext& context);
