#pragma once
// The settings writer: walks one of the device's numbered menus and answers every question
// from the keys of a write-document section. It answers only a question the device waits at,
// checks the echo of every answer and the question that follows it, and stops at the first
// thing that is not what the menu does: the caller then leaves without storing.

#include <functional>
#include <string>
#include <vector>

#include "uKaVruneConsole.h"
#include "uXmlUtils.h"

struct TWriteControl {
  std::function<bool()> Cancelled;  // asked before every exchange
};

// How a walk ended; where the unit is now its console says. Neither cancelled nor off script:
// every question was answered and the unit came back to its root menu.
struct TSectionOutcome {
  bool Cancelled = false;
  bool OffScript = false;          // the device did something the menu does not do
  bool Restarted = false;          // it printed its banner and offer inside the menu: it restarted
  std::string Prompt;              // the question being answered when the walk stopped
  std::string Reason;              // why it stopped, for the user
  std::string Heard;               // what the device printed last, when the walk stopped
  std::vector<std::string> Notes;  // values that were changed before sending
  // Keys the section gives that the device never asked for: it does not ask them in its present
  // mode, so they were not written.
  std::vector<std::string> NotAsked = {};
  int Steps = 0;
};

// Limits of one walk, so that a closed port, a silent device or a question that keeps coming
// back ends it instead of holding the worker for ever.
constexpr int WriteMaxSteps = 400;

// From the root menu, opens the menu with menuKey (the key the unit's root menu shows for the
// section), answers every question from the section's keys (Enter keeps the device's value of
// every other) and ends at the root menu. A section of none sends nothing.
TSectionOutcome WriteSection(TDeviceConsole& console, const TXmlElement& section, const std::string& menuKey,
                             const TWriteControl& control = {});
