// The seeded cases the property tests run: replayable from the seed, within the device's ranges,
// and the unkind ones among them (edits the device does not ask for) actually drawn.

#include <gtest/gtest.h>

#include <set>

#include "DialogueCase.h"

namespace {

TEST(DialogueCase, shouldDrawTheSameCaseFromTheSameSeedAndMaskItsSecrets) {
  std::size_t unasked = 0, secrets = 0, tables = 0;
  std::set<std::string> variants;
  for (unsigned seed = 1; seed <= 200; ++seed) {
    const TDialogueCase c = MakeDialogueCase(seed);
    SCOPED_TRACE(c.Describe());
    const TDialogueCase again = MakeDialogueCase(seed);
    EXPECT_EQ(again.Before, c.Before);
    EXPECT_EQ(again.Edits, c.Edits);
    EXPECT_EQ(again.Profile, c.Profile);
    EXPECT_EQ(again.Describe(), c.Describe());
    variants.insert(c.VariantName);
    EXPECT_GE(c.EditCount(), 1u);
    EXPECT_LE(c.EditCount(), 8u);
    for (const auto& [section, keys] : c.Edits.Sections)
      for (const auto& [key, value] : keys) {
        EXPECT_NE(c.Before.Get(section, key), value) << section << "." << key << " is no change";
        unasked += !c.WillAsk(section, key);
        tables += key == "Change_address_table";
        if (key == "Password" || key == "Enter_new_Password" || key == "Enter_Password") {
          ++secrets;
          EXPECT_EQ(c.Describe().find("." + key + "=" + value), std::string::npos);
        }
      }
  }
  EXPECT_EQ(variants.size(), 3u);
  EXPECT_GT(unasked, 10u);
  EXPECT_GT(secrets, 10u);
  EXPECT_GT(tables, 5u);
  EXPECT_EQ(MakeDialogueCase(9, "field").VariantName, "field");
}

// Whether the device will ask for an edit follows the device's own rules, the profile's included,
// and the state the walk leaves before the question.
TEST(DialogueCase, shouldAskAnUnaskedEditOnlyOnAUnitThatAsksTheTableInAnyUdpMode) {
  TDialogueCase c = MakeDialogueCase(3, "standard");
  c.Before.Set("Channel_2", "ConnectMode", "CC");
  c.Before.Set("Channel_2", "Datagram_Type", "1");
  c.Edits = {};
  c.Edits.Set("Channel_2", "Change_address_table", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16");
  EXPECT_FALSE(c.WillAsk("Channel_2", "Change_address_table"));
  c.Profile = SimProfileFor("field", 0);
  EXPECT_TRUE(c.WillAsk("Channel_2", "Change_address_table"));
  c.Edits.Set("Channel_2", "Datagram_Type", "FD");
  c.Profile = {};
  EXPECT_TRUE(c.WillAsk("Channel_2", "Change_address_table")) << "the type is written before the table is asked";
}

}  // namespace
