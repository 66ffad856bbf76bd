// The engine against seeded dialogue cases on every kind of unit: a read gives what the device
// holds; an apply ends in one of two ways only (the device stores exactly the edits and the engine
// says done, or it stores nothing and the engine says so); the read after it gives what the device
// stored, and applying the same edits again changes nothing. A failing case prints its seed and
// the dialogue; KAVRUNE_CASE_SEED=N runs that case alone.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

#include "DialogueCase.h"
#include "SimStates.h"
#include "uKaVruneSession.h"

namespace {

using namespace std::chrono_literals;
using TClock = TKaVruneSession::Clock;

constexpr int kCom = 9;

// On/off in any of the words a unit prints counts as the same value, and so does a label inside
// a value whatever the blanks before its colon ("Start Char : 41").
std::string Normal(std::string value) {
  static const std::set<std::string> on = {"enabled", "Y", "yes", "on", "ON", "true", "1"},
                                     off = {"disabled", "N", "no", "off", "OFF", "false", "0"};
  if (on.count(value)) return "<on>";
  if (off.count(value)) return "<off>";
  for (std::size_t at; (at = value.find(" :")) != std::string::npos;) value.erase(at, 1);
  return value;
}

using TEntries = std::vector<std::pair<std::string, std::string>>;

// Section -> its entries in document order.
std::map<std::string, TEntries> Entries(const TXmlElement& root) {
  std::map<std::string, TEntries> sections;
  if (root)
    for (const TXmlElement& s : root.Children())
      for (const TXmlElement& e : s.Children()) sections[s.Name()].emplace_back(e.Name(), Normal(e.Text()));
  return sections;
}

// Where a read document differs from the one a standard unit's dump of the state gives, over the
// settings that dump holds (a unit's own descriptive lines may come on top); empty when it does not.
std::string ReadDifferences(const TXmlElement& read, const TSimSettings& state, const TSimProfile& model) {
  const PXmlDocument expectedDoc = DumpDocument(state, model.Wlan);
  auto byName = [](const std::map<std::string, TEntries>& sections) {
    std::map<std::string, std::vector<std::string>> values;
    for (const auto& [section, entries] : sections)
      for (const auto& [name, value] : entries) values[section + "." + name].push_back(value);
    return values;
  };
  const auto expected = byName(Entries(expectedDoc->Root()));
  auto actual = byName(Entries(read));
  std::ostringstream out;
  for (const auto& [name, values] : expected)
    if (actual[name] != values) {
      out << name << ":";
      for (const auto& v : values) out << " \"" << v << "\"";
      out << " read as";
      for (const auto& v : actual[name]) out << " \"" << v << "\"";
      out << "\n";
    }
  return out.str();
}

std::string StateDifferences(const TSimSettings& have, const TSimSettings& want) {
  std::ostringstream out;
  for (const auto& [section, keys] : want.Sections)
    for (const auto& [key, value] : keys)
      if (have.Get(section, key) != value)
        out << section << "." << key << ": holds \"" << have.Get(section, key) << "\", expected \"" << value << "\"\n";
  return out.str();
}

PXmlDocument WriteDocument(const TSimSettings& edits) {
  PXmlDocument doc = TXmlDocument::CreateFromText("<xml/>");
  for (const auto& [section, keys] : edits.Sections)
    for (const auto& [key, value] : keys) FindNodePath(doc->Root(), section + "/" + key, true).SetText(value);
  return doc;
}

class DialogueProperty : public ::testing::TestWithParam<const char*> {
 protected:
  // Runs fn on each case of the seeds.
  template <class F>
  void ForEachCase(unsigned first, unsigned count, F fn, bool withFaults = false) {
    for (unsigned seed : DialogueCaseSeeds(first, count)) {
      const TDialogueCase c = MakeDialogueCase(seed, GetParam(), withFaults);
      TDialogueDevice device(c, kCom);
      fn(c, device);
      // Whatever the case came to, no key reached the unit while it still printed.
      EXPECT_EQ(device.Count("key while printing"), 0u) << device.Explain();
      if (HasFatalFailure()) return;
    }
  }
};

INSTANTIATE_TEST_SUITE_P(Variants, DialogueProperty, ::testing::Values("standard", "field", "random"));

TEST_P(DialogueProperty, shouldReadWhatTheDeviceHolds) {
  ForEachCase(1000, 12, [](const TDialogueCase& c, TDialogueDevice& device) {
    TKaVruneSession session;
    ASSERT_TRUE(session.Open(kCom)) << c.Describe();
    ASSERT_TRUE(session.WaitForDevice(TClock::now() + 20s).Ok()) << device.Explain();
    EXPECT_EQ(ReadDifferences(session.Settings(), c.Before, c.Profile), "") << device.Explain();
  });
}

// Three outcomes only: exactly the edits stored and confirmed; nothing stored, said so; or, from
// a unit that does not come back after storing, exactly the edits stored and said to be not
// checked. Edits for a menu the unit does not have are named as such, never written.
TEST_P(DialogueProperty, shouldStoreExactlyTheEditsOrNothingAndSaySo) {
  ForEachCase(
      2000, 32,
      [](const TDialogueCase& c, TDialogueDevice& device) {
        TKaVruneSession session;
        session.SetRestartLimit(2s);
        ASSERT_TRUE(session.Open(kCom)) << c.Describe();
        ASSERT_TRUE(session.WaitForDevice(TClock::now() + 20s).Ok()) << device.Explain();
        const TSessionResult r = session.Apply(WriteDocument(c.Edits)->Root(), TClock::now() + 60s);
        const TSimSettings stored = device.Stored();
        TSimSettings expected = c.Before;
        std::set<std::pair<std::string, std::string>> unasked, absent;
        for (const auto& [section, keys] : c.Edits.Sections)
          for (const auto& [key, value] : keys)
            if (c.WillAsk(section, key)) expected.Set(section, key, value);
            else if (!c.Profile.Wlan && section == "WLAN") absent.emplace(section, key);
            else unasked.emplace(section, key);
        if (stored == c.Before && !(expected == c.Before)) {
          EXPECT_FALSE(r.Ok()) << "nothing was stored, yet the engine says done\n" << device.Explain();
          EXPECT_FALSE(r.Stored) << device.Explain();
          EXPECT_NE(c.Fault, TSimFault::NoReturn) << "a unit that stores did not\n" << device.Explain();
          return;
        }
        // Stored: exactly the edits the device asked for, and each one it did not ask for named
        // as not written, never as done.
        EXPECT_EQ(StateDifferences(stored, expected), "") << device.Explain();
        if (c.Fault == TSimFault::NoReturn && device.Count("no return")) {
          EXPECT_EQ(r.Status, TSessionStatus::NotBack) << r.Message << "\n" << device.Explain();
          EXPECT_TRUE(r.Stored) << device.Explain();
        } else {
          EXPECT_TRUE(r.Ok()) << r.Message << "\n" << device.Explain();
        }
        EXPECT_EQ(std::set(r.NotAsked.begin(), r.NotAsked.end()), unasked) << device.Explain();
        EXPECT_EQ(std::set(r.NotOnUnit.begin(), r.NotOnUnit.end()), absent) << device.Explain();
      },
      true);
}

TEST_P(DialogueProperty, shouldReadBackWhatWasStoredAndKeepItWhenTheSameEditsComeAgain) {
  ForEachCase(3000, 16, [](const TDialogueCase& c, TDialogueDevice& device) {
    TKaVruneSession session;
    ASSERT_TRUE(session.Open(kCom)) << c.Describe();
    ASSERT_TRUE(session.WaitForDevice(TClock::now() + 20s).Ok()) << device.Explain();
    // Only edits the device asks for: one it does not ask for would differ again the second time.
    TSimSettings asked;
    for (const auto& [section, keys] : c.Edits.Sections)
      for (const auto& [key, value] : keys)
        if (c.WillAsk(section, key)) asked.Set(section, key, value);
    if (asked.Sections.empty()) return;
    const PXmlDocument edits = WriteDocument(asked);
    const TSessionResult first = session.Apply(edits->Root(), TClock::now() + 60s);
    ASSERT_TRUE(first.Stored) << first.Message << "\n" << device.Explain();
    EXPECT_EQ(ReadDifferences(session.Settings(), device.Stored(), c.Profile), "") << device.Explain();
    const TSimSettings stored = device.Stored();
    const TSessionResult again = session.Apply(edits->Root(), TClock::now() + 60s);
    EXPECT_TRUE(again.Ok()) << again.Message << "\n" << device.Explain();
    EXPECT_EQ(StateDifferences(device.Stored(), stored), "") << "the same edits again\n" << device.Explain();
  });
}

}  // namespace
