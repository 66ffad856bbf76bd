#pragma once
// The settings writer: walks one of the device's numbered menus and answers every question
// from the keys of a write-document section.

#include <functional>
#include <string>
#include <vector>

#include "AfComPort.h"
#include "uXmlUtils.h"

struct TWriteControl {
  std::function<bool()> Cancelled;  // asked before every exchange
};

struct TSectionOutcome {
  bool Completed = false;  // "Your choice ?" came back: the device is at the root menu
  bool Cancelled = false;
  std::string Prompt;      // the prompt being answered when the walk stopped
  std::string Reason;      // why it stopped, for the user
  std::vector<std::string> Notes;  // values that were changed before sending
  int Steps = 0;
};

// Limits of one walk, so that a closed port, a silent device or a question that keeps coming
// back ends it instead of holding the worker for ever.
constexpr int WriteMaxEmptyReplies = 3;
constexpr int WriteMaxSamePrompt = 8;  // an address repeats its octet prompt three times
constexpr int WriteMaxSteps = 400;

// Answers every prompt of the menu `choice` from the section's keys and ends at the root menu.
// A section of none sends nothing and counts as completed.
TSectionOutcome WriteSection(TAfCustomSerialPort* port, const TXmlElement& section, int choice,
                             const TWriteControl& control = {});
