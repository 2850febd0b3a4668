#pragma once
// Memory tests over a bounded buffer: each pattern writes the buffer, lets a hook run, then reads
// every word back against what was written. A mismatch names the address and the pattern.
#include <cstddef>
#include <cstdint>
#include <functional>
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

// The first mismatch, or nullopt when every word read back as written.
std::optional<MemoryFault> RunMemoryPattern(MemoryPattern pattern, std::span<uint64_t> buffer,
                                            const BetweenWriteAndVerify& hook = {});

// Page-aligned anonymous memory for the tests, given back on destruction.
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

}  // namespace host::machine::linuxhost
