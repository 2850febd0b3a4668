// The memory tests find one flipped bit with every pattern and name where and which.
#include "machine/linux/memory_test.h"

#include <gtest/gtest.h>

namespace host::machine::linuxhost {
namespace {

constexpr MemoryPattern kPatterns[] = {
    MemoryPattern::StuckAddress, MemoryPattern::Sequential, MemoryPattern::BlockSequential,
    MemoryPattern::WalkingBits,  MemoryPattern::Random,     MemoryPattern::Checkerboard,
    MemoryPattern::Arithmetic,   MemoryPattern::Logic,      MemoryPattern::BitFlip,
};

// The whole page-aligned buffer, and a part of it that starts off the 16-byte grid and ends in
// the middle of a tile.
TEST(MemoryTest, EveryPatternPassesSoundMemoryAndReportsOneFlippedBitWithItsAddressAndPattern) {
  MemoryTestBuffer buffer(1 << 20);
  ASSERT_EQ(buffer.words().size(), (1u << 20) / 8);
  for (const auto words : {buffer.words(), buffer.words().subspan(1, buffer.words().size() - 300)}) {
    for (MemoryPattern pattern : kPatterns) EXPECT_FALSE(RunMemoryPattern(pattern, words)) << NameOf(pattern);
    // Bits at the start, in the middle of a block and in the very last word.
    for (const auto& [word, bit] : std::vector<std::pair<size_t, int>>{{0, 0}, {70001, 37}, {words.size() - 1, 63}}) {
      for (MemoryPattern pattern : kPatterns) {
        uint64_t written = 0;
        const auto fault = RunMemoryPattern(pattern, words, [&, word = word, bit = bit](std::span<uint64_t> b) {
          written = b[word];
          b[word] ^= uint64_t{1} << bit;
        });
        ASSERT_TRUE(fault) << NameOf(pattern) << " missed word " << word;
        EXPECT_EQ(fault->address, &words[word]) << NameOf(pattern);
        EXPECT_EQ(fault->expected, written) << NameOf(pattern);
        EXPECT_EQ(fault->expected ^ fault->actual, uint64_t{1} << bit) << NameOf(pattern);
        EXPECT_EQ(fault->patternName, NameOf(pattern));
        EXPECT_NE(fault->Describe().find(std::string(NameOf(pattern)) + ": 0x"), std::string::npos)
            << fault->Describe();
      }
    }
  }
}

// Large enough to be shared out among threads: every slice is written and read back, and of two
// faults in different slices the one at the lower address is reported.
TEST(MemoryTest, ALargeBufferIsCheckedWholeAndItsFirstFaultReported) {
  MemoryTestBuffer buffer(size_t{16} << 20);
  const auto words = buffer.words();
  for (MemoryPattern pattern : kPatterns) {
    EXPECT_FALSE(RunMemoryPattern(pattern, words)) << NameOf(pattern);
    const auto fault = RunMemoryPattern(pattern, words, [](std::span<uint64_t> b) {
      b[b.size() - 2] ^= 1;
      b[b.size() / 4 - 1] ^= uint64_t{1} << 9;
    });
    ASSERT_TRUE(fault) << NameOf(pattern);
    EXPECT_EQ(fault->address, &words[words.size() / 4 - 1]) << NameOf(pattern);
    const auto last = RunMemoryPattern(pattern, words, [](std::span<uint64_t> b) { b[b.size() - 1] ^= 4; });
    ASSERT_TRUE(last) << NameOf(pattern);
    EXPECT_EQ(last->address, &words[words.size() - 1]) << NameOf(pattern);
  }
}

TEST(MemoryTest, ABufferTooSmallForOneWordIsEmpty) {
  EXPECT_TRUE(MemoryTestBuffer(7).words().empty());
  EXPECT_EQ(MemoryTestBuffer(20).words().size(), 2u);
}

}  // namespace
}  // namespace host::machine::linuxhost
