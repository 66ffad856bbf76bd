#include <fcntl.h>
#include <sys/file.h>

#include <gtest/gtest.h>

#include "AfComNames.h"
#include "PtyPair.h"

TEST(ComNames, shouldResolvePublishedLinksByTheirNumbers) {
  TempComDir dir;
  PtyPair a(&dir, 3), b(&dir, 7);
  EXPECT_EQ(ComDevicePath(3), dir.Link(3));
  EXPECT_EQ(ComDevicePath(7), dir.Link(7));
  EXPECT_EQ(ComDevicePath(0), "");
  for (const auto& e : EnumerateComPorts(255)) {
    EXPECT_NE(e.DevicePath, a.SlavePath()) << "a linked device must not get a second number";
  }
}

TEST(ComNames, shouldIgnoreDanglingLinksAndOtherNames) {
  TempComDir dir;
  std::filesystem::create_symlink("/dev/does-not-exist", dir.Link(4));
  std::filesystem::create_symlink("/dev/null", dir.Path() + "/comX");
  for (const auto& e : EnumerateComPorts(255)) EXPECT_NE(e.DevicePath, dir.Link(4));
  EXPECT_EQ(ProbeComPort(4), TComPortState::Absent);
}

TEST(ComNames, shouldProbeFreeInUseAndAbsent) {
  TempComDir dir;
  PtyPair free(&dir, 1), busy(&dir, 2);
  const int fd = ::open(busy.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

  EXPECT_EQ(ProbeComPort(1), TComPortState::Free);
  EXPECT_EQ(ProbeComPort(2), TComPortState::InUse);
  EXPECT_EQ(ProbeDevicePath(dir.Path() + "/nothing"), TComPortState::Absent);
  ::close(fd);
  EXPECT_EQ(ProbeComPort(2), TComPortState::Free) << "the probe holds nothing after it looked";
}
