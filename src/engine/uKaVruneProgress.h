#pragma once
// What the worker is doing during a read or a write, for a status line and a progress bar. The
// window and the command line tool word it the same way.

#include <string>

enum class TWorkStep {
  Waiting,   // the port is open and the device has not answered yet: it may be off
  Reading,   // the device prints its settings: Done lines of about Total
  Writing,   // a menu walk: section Done of Total, the one named in Section
  Storing,   // the device is asked to store what the walks wrote
  Checking,  // the read after a store, which the settings written are checked against
};

struct TWorkProgress {
  TWorkStep Step = TWorkStep::Waiting;
  std::string Section;  // Writing: the section's element name
  int Done = 0;
  int Total = 0;        // 0 while not known; a dump may run past the lines expected
  bool operator==(const TWorkProgress&) const = default;
};

// The lines a dump of the device has in its usual modes, until one has been read.
constexpr int TypicalDumpLines = 76;

// A section in the words of the window's pages: "Channel 1", "the network settings".
std::string SectionWords(const std::string& section);
// The step in plain words, without counts: "Waiting for the device", "Writing Channel 1".
std::string ProgressWords(const TWorkProgress& progress);
// The counts in words, empty when there are none: "40 of 76 lines", "section 2 of 3".
std::string ProgressCounts(const TWorkProgress& progress);
