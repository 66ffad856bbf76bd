// Backups against seeded dialogue cases on every kind of unit: two reads of one device do not
// differ, a backup applied to the device it came from changes nothing, and a backup applied to
// another device makes it hold every setting of the first that the device asks for. A failing case prints its
// seed and the dialogue; KAVRUNE_CASE_SEED=N runs that case alone (for a clone, the pair that
// begins with it).

#include <gtest/gtest.h>

#include "DialogueCase.h"
#include "uKaVruneModel.h"
#include "uKaVruneSession.h"

namespace {

using namespace std::chrono_literals;
using TClock = TKaVruneSession::Clock;

// A backup as "read -o" writes it, loaded back as apply loads it.
TDeviceSettings Backup(const TKaVruneSession& session) {
  std::vector<std::string> unknown, kept;
  const TDeviceSettings settings =
      FromDocument(TXmlDocument::CreateFromText(session.SettingsText())->Root(), &unknown, &kept);
  EXPECT_TRUE(unknown.empty()) << unknown.front();
  return settings;
}

TDeviceSettings Read(int com, TDialogueDevice& device) {
  TKaVruneSession session;
  EXPECT_TRUE(session.Open(com)) << device.Explain();
  EXPECT_TRUE(session.WaitForDevice(TClock::now() + 20s).Ok()) << device.Explain();
  return Backup(session);
}

// Over the settings the device asks for in the backup's state: one it shows but never asks in
// that mode (a connection password without its disconnect bit) no clone can carry.
std::string WritableDifferences(const TDeviceSettings& backup, const TDeviceSettings& clone) {
  std::string out;
  for (const TSettingChange& asked : Diff(TDeviceSettings(), backup)) {
    const TSettingRow& row = *asked.Row;
    const std::string* held = clone.Find(row);
    if (row.Kind != TSettingKind::Secret && (!held || *held != asked.To))
      out += SettingWords(row) + ": " + asked.To + " -> " + (held ? *held : "(none)") + "\n";
  }
  return out;
}

class BackupProperty : public ::testing::TestWithParam<const char*> {};

INSTANTIATE_TEST_SUITE_P(Variants, BackupProperty, ::testing::Values("standard", "field", "random"));

TEST_P(BackupProperty, shouldReadOneDeviceAlikeTwiceAndRestoreItWithoutAChange) {
  for (unsigned seed : DialogueCaseSeeds(4000, 8)) {
    // The same seed, the same unit: powered up twice, read each time.
    const TDialogueCase c = MakeDialogueCase(seed, GetParam());
    TDeviceSettings first, second;
    {
      TDialogueDevice device(c, 11);
      first = Read(11, device);
    }
    TDialogueDevice device(c, 11);
    second = Read(11, device);
    EXPECT_EQ(first, second) << device.Explain();
    EXPECT_TRUE(Diff(second, first).empty()) << "a restore onto the same device would send\n" << device.Explain();
  }
}

TEST_P(BackupProperty, shouldCloneEverySettingTheDeviceAsksForOntoAnotherDevice) {
  for (unsigned seed : DialogueCaseSeeds(5000, 6)) {
    // The pair runs again under A's seed; each device's own line names its case.
    SCOPED_TRACE("KAVRUNE_CASE_SEED=" + std::to_string(seed) + " runs this pair (device B: seed " +
                 std::to_string(seed + 100) + ")");
    const TDialogueCase a = MakeDialogueCase(seed, GetParam()), b = MakeDialogueCase(seed + 100, GetParam());
    TDeviceSettings backup;
    {
      TDialogueDevice deviceA(a, 11);
      backup = Read(11, deviceA);
    }
    TDialogueDevice deviceB(b, 12);
    TKaVruneSession session;
    ASSERT_TRUE(session.Open(12)) << b.Describe();
    ASSERT_TRUE(session.WaitForDevice(TClock::now() + 20s).Ok()) << deviceB.Explain();
    const TSettingChanges changes = Diff(Backup(session), backup);
    TDeviceSettings carried = backup;
    if (!changes.empty()) {
      const PXmlDocument request = TXmlDocument::CreateFromText("<xml/>");
      ToWriteDocument(changes, request->Root());
      const TSessionResult r = session.Apply(request->Root(), TClock::now() + 60s);
      ASSERT_TRUE(r.Ok()) << r.Message << "\n" << deviceB.Explain();
      // What the device did not ask for, or has no menu for, is reported by the walk and not written.
      for (const auto* names : {&r.NotAsked, &r.NotOnUnit})
        for (const auto& [section, key] : *names)
          if (const TSettingRow* row = FindSettingRow(section, key)) carried.Erase(*row);
    }
    EXPECT_EQ(WritableDifferences(carried, Backup(session)), "") << a.Describe() << "\n" << deviceB.Explain();
  }
}

}  // namespace
