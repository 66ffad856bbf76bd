// Applies of six sections, the DHCP name among them, to a unit at 9600 baud whose line comes in
// bursts with pauses of up to 20 ms, as through a USB adapter: each stores exactly what was asked
// and says so, and the unit never receives a key while it still has text to print. Every kind of
// unit, with units that take keys typed ahead and units that would take an Enter pressed into
// their banner.
// KAVRUNE_PACED_APPLIES sets how many in all (20 by default; the bench's run is 100), split over
// the three kinds; KAVRUNE_CASE_SEED=N runs case N alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "DialogueCase.h"
#include "uKaVruneSession.h"
#include "uXmlUtils.h"

namespace {

using namespace std::chrono_literals;
using TClock = TKaVruneSession::Clock;

constexpr int kCom = 11;
constexpr long kBaud = 9600;
constexpr int kBurstsMs = 20;

unsigned Applies() {
  const char* n = std::getenv("KAVRUNE_PACED_APPLIES");
  return n && *n ? static_cast<unsigned>(std::strtoul(n, nullptr, 10)) : 20u;
}

// One edit in every menu: values the unit asks for in any mode, each unlike the one it holds.
TSimSettings SixSections(const TSimSettings& before, unsigned seed) {
  auto other = [&](const char* section, const char* key, std::vector<std::string> values) {
    const std::string held = before.Get(section, key);
    std::erase(values, held);
    return values[seed % values.size()];
  };
  TSimSettings edits;
  edits.Set("basic_parameters", "Enter_new_DHCP_device_Name", other("basic_parameters", "Enter_new_DHCP_device_Name",
                                                                      {"line-" + std::to_string(seed), "bay-7"}));
  edits.Set("Channel_1", "Baudrate", other("Channel_1", "Baudrate", {"19200", "57600", "115200"}));
  edits.Set("Channel_2", "Port_No", other("Channel_2", "Port_No", {"10002", "4001", "8023"}));
  edits.Set("WLAN", "Channel", other("WLAN", "Channel", {"1", "6", "11"}));
  edits.Set("Expert", "MTU_Size", other("Expert", "MTU_Size", {"1200", "1024", "576"}));
  edits.Set("Security", "Disable_Web_Setup", other("Security", "Disable_Web_Setup", {"Y", "N"}));
  return edits;
}

class PacedApply : public ::testing::TestWithParam<const char*> {};

INSTANTIATE_TEST_SUITE_P(Variants, PacedApply, ::testing::Values("standard", "field", "random"));

TEST_P(PacedApply, shouldStoreExactlyTheEditsAndNeverTypeWhileTheUnitPrints) {
  const std::string variant = GetParam();
  const unsigned first = variant == "standard" ? 5000 : variant == "field" ? 6000 : 7000;
  for (unsigned seed : DialogueCaseSeeds(first, (Applies() + 2) / 3)) {
    TDialogueCase c = MakeDialogueCase(seed, GetParam());
    c.JitterMs = kBurstsMs;
    c.LatencyMs = 0;
    c.TakesEarlyEnter = seed % 2 == 1;
    c.TypeAhead = seed % 4 >= 2;
    c.Edits = SixSections(c.Before, seed);
    TDialogueDevice device(c, kCom, kBaud);
    TKaVruneSession session;
    ASSERT_TRUE(session.Open(kCom)) << c.Describe();
    ASSERT_TRUE(session.WaitForDevice(TClock::now() + 30s).Ok()) << device.Explain();
    PXmlDocument doc = TXmlDocument::CreateFromText("<xml/>");
    for (const auto& [section, keys] : c.Edits.Sections)
      for (const auto& [key, value] : keys) FindNodePath(doc->Root(), section + "/" + key, true).SetText(value);
    const TSessionResult r = session.Apply(doc->Root(), TClock::now() + 90s);

    TSimSettings expected = c.Before;
    for (const auto& [section, keys] : c.Edits.Sections)
      for (const auto& [key, value] : keys)
        if (c.WillAsk(section, key)) expected.Set(section, key, value);
    // A unit without a WLAN menu stores the rest and names what it has no menu for.
    EXPECT_TRUE(r.Ok()) << r.Message << "\n" << device.Explain();
    EXPECT_EQ(r.NotOnUnit.empty(), c.Profile.Wlan) << device.Explain();
    EXPECT_TRUE(device.Stored() == expected) << device.Explain();
    EXPECT_EQ(device.Count("key while printing"), 0u) << device.Explain();
    if (HasFailure()) return;
  }
}

}  // namespace
