#pragma once
// Memory tests over a bounded buffer: each pattern writes the buffer, lets a hook run, then reads
// every word back against what was written. A mismatch names the address and the pattern.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

namespace host::machine::linuxhost {

enum class MemoryPattern {
  StuckAddress,     // each word holds its own address, then its complement
  Sequential,       // an incrementing, then a decrementing sequence
  BlockSequential,  // one byte value per 64 KiB block, shifted between passes
  WalkingBits,      // a one, then a zero, walking across the bits word by word
  Random,           // pseudo-random words
  Checkerboard,     // alternating 0101... and 1010... words, then inverted
  Arithmetic,       // random words, then added to and multiplied in place
  Logic,            // random words, then xor-ed, or-ed and and-ed in place
  BitFlip,          // one bit set in even words and cleared in odd ones, bit by bit
};

struct MemoryFault {
  MemoryPattern pattern;
  std::string patternName;
  const void* address = nullptr;
  uint64_t expected = 0, actual = 0;
  std::string Describe() const;  // "random values: 0x7f...: wrote 0x..., read 0x..."
};

// Runs between the last write of a pass and its verification: the seam where a test flips a bit.
using BetweenWriteAndVerify = std::function<void(std::span<uint64_t> buffer)>;

std::string_view NameOf(MemoryPattern pattern);

// The first mismatch, or nullopt when every word read back as written. Each pass is shared out
// among `threads` (0: as many as pay, MemoryTestThreads).
std::optional<MemoryFault> RunMemoryPattern(MemoryPattern pattern, std::span<uint64_t> buffer,
                                            const BetweenWriteAndVerify& hook = {}, size_t threads = 0);

// How many threads a pass over `bytes` pays for: one, unless the buffer is at least twice the
// last-level cache and the process may run on more than one processor.
size_t MemoryTestThreads(size_t bytes);
struct MemoryTestHardware {
  size_t lastLevelCacheBytes = 0;  // 0: not known
  size_t processors = 1;           // those this process may run on
};
size_t MemoryTestThreads(size_t bytes, const MemoryTestHardware& hardware);
// This process's: the largest cache sysfs lists for processor 0, and sched_getaffinity's count.
MemoryTestHardware ThisMemoryTestHardware();

// Page-aligned anonymous memory for the tests, every page touched once when it is made (the
// kernel's clearing of new pages is paid there, not in the first pass), given back on destruction.
class MemoryTestBuffer {
 public:
  explicit MemoryTestBuffer(size_t bytes);
  ~MemoryTestBuffer();
  MemoryTestBuffer(const MemoryTestBuffer&) = delete;
  MemoryTestBuffer& operator=(const MemoryTestBuffer&) = delete;
  // Empty when the memory could not be had.
  std::span<uint64_t> words() const { return {data_, size_}; }

 private:
  uint64_t* data_ = nullptr;
  size_t size_ = 0;
  size_t bytes_ = 0;
};

// The one buffer a machine's memory checks share: made on the first check, used by one check at
// a time, given back when its owner goes. Any thread.
class MemoryTestSlot {
 public:
  // Runs `test` over a buffer of `bytes`, made on first use (again when the size asked changes).
  // False, without running it, when no buffer of that size can be had.
  bool Use(size_t bytes, const std::function<void(std::span<uint64_t>)>& test);

 private:
  std::mutex lock_;
  std::unique_ptr<MemoryTestBuffer> buffer_;
  size_t bytes_ = 0;
};

}  // namespace host::machine::linuxhost
