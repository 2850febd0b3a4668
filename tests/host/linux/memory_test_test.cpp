// The memory tests find one flipped bit with every pattern and name where and which.
#include "machine/linux/memory_test.h"

#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <utility>
#include <vector>

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

// What the first pass of each pattern leaves in memory is what its name promises, word by word,
// in a buffer that starts off the 16-byte grid.
TEST(MemoryTest, EachPatternWritesTheWordsItIsNamedFor) {
  MemoryTestBuffer buffer(1 << 20);
  const std::span<uint64_t> words = buffer.words().subspan(1, 20001);
  const auto address = [&](size_t i) { return reinterpret_cast<uintptr_t>(&words[i]); };
  const auto bytesAlike = [](uint64_t w) { return w == (w & 0xFF) * 0x0101010101010101ull; };
  const std::vector<std::pair<MemoryPattern, std::function<bool(size_t, uint64_t, uint64_t)>>> rows = {
      // word i, its value, the value of word i - 1
      {MemoryPattern::StuckAddress, [&](size_t i, uint64_t w, uint64_t) { return w == address(i); }},
      {MemoryPattern::Sequential, [](size_t i, uint64_t w, uint64_t before) { return i == 0 || w == before + 1; }},
      {MemoryPattern::BlockSequential, [=](size_t i, uint64_t w, uint64_t before) {
         return bytesAlike(w) && (i == 0 || w == before || i % (64 * 1024 / 8) == 0);
       }},
      {MemoryPattern::WalkingBits, [](size_t i, uint64_t w, uint64_t before) {
         return std::popcount(w) == 1 && (i == 0 || w == std::rotl(before, 1));
       }},
      {MemoryPattern::Random, [](size_t i, uint64_t w, uint64_t before) { return i == 0 || w != before; }},
      {MemoryPattern::Checkerboard, [](size_t i, uint64_t w, uint64_t before) {
         return (w == 0x5555555555555555ull || w == 0xAAAAAAAAAAAAAAAAull) && (i == 0 || w == ~before);
       }},
      {MemoryPattern::BitFlip, [](size_t i, uint64_t w, uint64_t before) {
         return (std::popcount(w) == 1 || std::popcount(w) == 63) && (i == 0 || w == ~before);
       }},
  };
  for (const auto& [pattern, expected] : rows) {
    bool seen = false;
    RunMemoryPattern(pattern, words, [&, &expected = expected](std::span<uint64_t> b) {
      if (std::exchange(seen, true)) return;
      for (size_t i = 0; i < b.size(); ++i) {
        ASSERT_TRUE(expected(i, b[i], i ? b[i - 1] : 0)) << NameOf(pattern) << " word " << i << ": " << std::hex << b[i];
      }
    });
    EXPECT_TRUE(seen) << NameOf(pattern);
  }
}

// Threads only where memory, not a cache, bounds a pass, and more than one processor is free.
TEST(MemoryTest, APassIsSharedAmongThreadsOnlyBeyondTwiceTheLastCacheWithProcessorsToSpare) {
  constexpr size_t kMiB = size_t{1} << 20;
  const struct {
    size_t bytes, cache, processors, threads;
  } cases[] = {
      {64 * kMiB, 32 * kMiB, 2, 2},   {63 * kMiB, 32 * kMiB, 2, 1},  {64 * kMiB, 8 * kMiB, 1, 1},
      {32 * kMiB, 32 * kMiB, 2, 1},   {1024 * kMiB, 32 * kMiB, 16, 4},
      {64 * kMiB, 0, 8, 1},  // the cache not known: one
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MemoryTestThreads(c.bytes, {c.cache, c.processors}), c.threads)
        << c.bytes / kMiB << " MiB, cache " << c.cache / kMiB << " MiB, " << c.processors << " processors";
  }
  const MemoryTestHardware here = ThisMemoryTestHardware();
  EXPECT_GE(here.processors, 1u);
  EXPECT_GT(here.lastLevelCacheBytes, 0u);
}

// One buffer for every use of the same size, a new one for another size, none when no memory
// of that size can be had.
TEST(MemoryTest, ASlotKeepsItsBufferForTheNextTestOfTheSameSize) {
  MemoryTestSlot slot;
  std::vector<const uint64_t*> seen;
  const auto note = [&](std::span<uint64_t> words) {
    seen.push_back(words.data());
    EXPECT_FALSE(RunMemoryPattern(MemoryPattern::Random, words));
  };
  ASSERT_TRUE(slot.Use(1 << 20, note));
  ASSERT_TRUE(slot.Use(1 << 20, note));
  ASSERT_TRUE(slot.Use(2 << 20, [&](std::span<uint64_t> words) { EXPECT_EQ(words.size(), (2u << 20) / 8); }));
  EXPECT_FALSE(slot.Use(4, [](std::span<uint64_t>) { ADD_FAILURE() << "ran without a buffer"; }));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], seen[1]);
}

// Forced onto several threads, a pass still reads every word back and reports the first fault.
TEST(MemoryTest, APassSharedAmongThreadsFindsTheLowestFault) {
  MemoryTestBuffer buffer(size_t{8} << 20);
  const auto words = buffer.words();
  for (size_t threads : {1u, 2u, 3u}) {
    const auto fault = RunMemoryPattern(MemoryPattern::Checkerboard, words, [](std::span<uint64_t> b) {
      b[b.size() - 1] ^= 1;
      b[b.size() / 2 + 5] ^= 2;
    }, threads);
    ASSERT_TRUE(fault) << threads;
    EXPECT_EQ(fault->address, &words[words.size() / 2 + 5]) << threads;
  }
}

TEST(MemoryTest, ABufferTooSmallForOneWordIsEmpty) {
  EXPECT_TRUE(MemoryTestBuffer(7).words().empty());
  EXPECT_EQ(MemoryTestBuffer(20).words().size(), 2u);
}

}  // namespace
}  // namespace host::machine::linuxhost
