#pragma once
// Settings a write asked for that the device never asked: it asks some questions only in some
// modes (a channel's password only with the password bit of its disconnect mode, the address
// table only in UDP mode), and only the device knows for sure which. They are not written, and
// the user is told so instead of "written and confirmed".

#include <string>
#include <utility>
#include <vector>

#include "uKaVruneModel.h"

using TSettingKeys = std::vector<std::pair<std::string, std::string>>;  // section, prompt key

// Takes the changes the device did not ask for out of changes and returns them.
TSettingChanges TakeNotAsked(TSettingChanges& changes, const TSettingKeys& notAsked);

// One line per change: its name, and the mode the device reports for its section.
std::vector<std::string> NotAskedLines(const TSettingChanges& notAsked, const TDeviceSettings& device);

// Takes the changes in sections whose menu the unit does not offer (a model without WLAN has
// no WLAN menu) out of changes and returns them: they are no part of this unit.
TSettingChanges TakeNotOnUnit(TSettingChanges& changes, const std::vector<std::string>& sectionsOffered);

// One line per missing menu: "this unit has no WLAN menu: Network name, TX data rate were not
// written" (beforehand: "would not be written").
std::vector<std::string> NotOnUnitLines(const TSettingChanges& notOnUnit, bool beforehand = false);

// Whether the table expects the device to ask for the change in the state the write leads to. A
// dry run tells in advance what the device will most likely not ask; the walk itself answers
// whatever the device asks.
bool ExpectedToBeAsked(const TSettingChange& change, const TDeviceSettings& current, const TDeviceSettings& wanted);

// The mode of a section as the device shows it ("connect mode CC, datagram type 01"); empty for
// a section whose questions do not depend on a mode.
std::string ModeWords(const std::string& section, const TDeviceSettings& device);
