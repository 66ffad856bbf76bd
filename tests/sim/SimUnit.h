#pragma once
// A simulated unit driven directly and fed the time, so that its forms, switches and faults are
// tested without waiting on a clock.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "SimDevice.h"
#include "SimModel.h"

// A unit of the given profile with its output taken off the line as soon as it is made, unless
// a test holds it to look at what is still going out.
class SimUnit : public ::testing::Test {
 protected:
  using TClock = TSimDevice::TClock;

  std::unique_ptr<TSimDevice> Device;
  TClock::time_point Now = TClock::now();

  void Start(TSimProfile profile, TSimDevice::TOptions options = {}, TSimSettings state = SimDefaults()) {
    options.Profile = std::move(profile);
    Device = std::make_unique<TSimDevice>(std::move(state), options);
    Device->PowerOn(Now);
  }
  // Everything the unit printed since the last call.
  std::string Take() {
    std::string out = Device->Pending();
    Device->Consume(out.size());
    return out;
  }
  std::string Type(std::string_view keys) {
    Take();
    Device->Receive(keys, Now);
    return Take();
  }
  // Enter until the unit prints text ending in end (at most limit times); what the last printed.
  std::string EnterUntil(const std::string& end, int limit = 40) {
    std::string out;
    for (int i = 0; i < limit && !out.ends_with(end); ++i) out = Type("\r");
    return out;
  }
  std::string Stored(const char* section, const char* key) { return Device->Stored().Get(section, key); }
  std::string Current(const char* section, const char* key) { return Device->Current().Get(section, key); }
};

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
