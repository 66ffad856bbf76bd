#pragma once
// Which unit is on a port: the MAC address and software version it prints about itself, in the
// power-on banner ("MAC address 0200008F1C2E", "Software version V1.0.0.1") and on some units
// in the dump as well. A production line tells its units apart by the MAC, and a backup is kept
// under it, so every front end reads it the same way.

#include <mutex>
#include <string>

#include "uXmlUtils.h"

struct TDeviceIdentity {
  std::string Mac;       // "02-00-00-8F-1C-2E"; empty while the unit has not printed it
  std::string Firmware;  // "V1.0.0.1"; empty likewise
  bool operator==(const TDeviceIdentity&) const = default;
};

// A MAC address in any of the usual spellings (0200008f1c2e, 02-00-00-8F-1C-2E,
// 02:00:00:8f:1c:2e) as "02-00-00-8F-1C-2E"; empty when the text is none.
std::string NormalizeMac(const std::string& text);

// Adds what the unit printed about itself outside its dump (its banner) to a read document, as
// a section "Unit" of MAC_address and Firmware, so that every file read from it names the unit;
// what the dump holds already is not repeated.
void AddIdentity(TXmlElement root, const TDeviceIdentity& identity);

// What one line the unit printed says about the unit itself: its own MAC address (never an
// alternate one) and its firmware version, each empty when the line names none.
TDeviceIdentity IdentityOfLine(const std::string& line);

// What a unit printed about itself, fed with its bytes as they come from any thread. A unit
// printed later (a power cycle, another unit plugged in) replaces the one before.
class TDeviceIdentityScanner final {
 public:
  void Feed(const std::string& bytes);
  // The identity seen so far; where the unit's own lines said nothing, that of its read
  // document (some units print their MAC address among their settings).
  TDeviceIdentity Identity(const TXmlElement& readDocument = {}) const;
  void Clear();

 private:
  void TakeLine();
  mutable std::mutex lock_;
  std::string line_;
  TDeviceIdentity identity_;
};
