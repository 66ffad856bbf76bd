#include <gtest/gtest.h>

#include <string>

#include "AfCircularBuffer.h"

TEST(CircularBuffer, shouldWrapAroundAndKeepOrder) {
  TAfCircularBuffer b(8);
  ASSERT_TRUE(b.Append("abcdef", 6));
  ASSERT_TRUE(b.Remove(5));
  EXPECT_EQ(b.Used(), 1);
  ASSERT_TRUE(b.Append("ghijklm", 7));  // wraps at the end of the array
  EXPECT_EQ(b.Used(), 8);
  EXPECT_EQ(b.Free(), 0);

  std::string out;
  while (b.Used() > 0) {
    int n = 0;
    const uint8_t* p = b.ReadBlock(n);
    ASSERT_GT(n, 0);
    out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
    ASSERT_TRUE(b.Remove(n));
  }
  EXPECT_EQ(out, "fghijklm");
}

TEST(CircularBuffer, shouldRefuseWhatDoesNotFitWithoutAppendingAnything) {
  TAfCircularBuffer b(4);
  EXPECT_FALSE(b.Append("abcde", 5));
  EXPECT_EQ(b.Used(), 0);
  EXPECT_FALSE(b.Append("", 0));
  ASSERT_TRUE(b.Append("abcd", 4));
  EXPECT_EQ(b.Used(), 4) << "a full buffer is not an empty one";
  EXPECT_FALSE(b.Append("e", 1));
  EXPECT_FALSE(b.Remove(5));
  EXPECT_TRUE(b.Remove(4));
  EXPECT_EQ(b.Used(), 0);
  b.Append("xy", 2);
  b.Clear();
  EXPECT_EQ(b.Used(), 0);
  EXPECT_EQ(b.Free(), 4);
}
