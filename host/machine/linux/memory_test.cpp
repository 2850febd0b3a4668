#include "machine/linux/memory_test.h"

#include <sys/mman.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>

namespace host::machine::linuxhost {
namespace {

constexpr uint64_t kBytes = 0x0101010101010101ull;
constexpr size_t kBlockWords = 64 * 1024 / sizeof(uint64_t);
constexpr size_t kVerifyChunk = 256;  // words compared before looking for a mismatch inside

// splitmix64: a counter-based generator, so verification regenerates word i from i alone.
inline uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Keeps the compiler from dropping writes nobody seems to read, or reads it could answer itself.
inline void Barrier(const void* p) { asm volatile("" : : "r"(p) : "memory"); }

template <class Value>
void Fill(std::span<uint64_t> buffer, Value value) {
  uint64_t* words = buffer.data();
  const size_t n = buffer.size();
  for (size_t i = 0; i < n; ++i) words[i] = value(i);
  Barrier(words);
}

template <class Change>
void Update(std::span<uint64_t> buffer, Change change) {
  uint64_t* words = buffer.data();
  const size_t n = buffer.size();
  for (size_t i = 0; i < n; ++i) words[i] = change(words[i]);
  Barrier(words);
}

// Compares chunk by chunk without branching inside a chunk, so the loop runs at memory speed;
// only a chunk that differs is searched word by word.
template <class Value>
std::optional<MemoryFault> Verify(MemoryPattern pattern, std::span<const uint64_t> buffer, Value value) {
  const uint64_t* words = buffer.data();
  const size_t n = buffer.size();
  for (size_t start = 0; start < n; start += kVerifyChunk) {
    const size_t end = start + kVerifyChunk < n ? start + kVerifyChunk : n;
    uint64_t difference = 0;
    for (size_t i = start; i < end; ++i) difference |= words[i] ^ value(i);
    if (difference == 0) continue;
    for (size_t i = start; i < end; ++i) {
      if (words[i] != value(i)) {
        return MemoryFault{pattern, std::string(NameOf(pattern)), &words[i], value(i), words[i]};
      }
    }
  }
  return std::nullopt;
}

// One pass: write, hook, verify.
template <class Value>
std::optional<MemoryFault> Pass(MemoryPattern pattern, std::span<uint64_t> buffer, const BetweenWriteAndVerify& hook,
                                Value value) {
  Fill(buffer, value);
  if (hook) hook(buffer);
  return Verify(pattern, buffer, value);
}

// Write random words, change them in place, hook, then verify against the same change of the
// regenerated words.
template <class Change>
std::optional<MemoryFault> Modify(MemoryPattern pattern, std::span<uint64_t> buffer, const BetweenWriteAndVerify& hook,
                                  uint64_t seed, Change change) {
  Fill(buffer, [seed](size_t i) { return Mix(seed + i); });
  Update(buffer, change);
  if (hook) hook(buffer);
  return Verify(pattern, buffer, [seed, change](size_t i) { return change(Mix(seed + i)); });
}

// A different seed every run, so a fault that happens to agree with one run's data is caught
// by the next.
uint64_t NextSeed() {
  static std::atomic<uint64_t> counter{0x5EED};
  return Mix(counter.fetch_add(1, std::memory_order_relaxed));
}

}  // namespace

std::string_view NameOf(MemoryPattern pattern) {
  switch (pattern) {
    case MemoryPattern::StuckAddress: return "stuck address";
    case MemoryPattern::Sequential: return "sequential increment";
    case MemoryPattern::BlockSequential: return "block sequential";
    case MemoryPattern::WalkingBits: return "walking bits";
    case MemoryPattern::Random: return "random values";
    case MemoryPattern::Checkerboard: return "checkerboard";
    case MemoryPattern::Arithmetic: return "arithmetic compare";
    case MemoryPattern::Logic: return "logic compare";
    case MemoryPattern::BitFlip: return "bit flip";
  }
  return "unknown";
}

std::string MemoryFault::Describe() const {
  char text[160];
  std::snprintf(text, sizeof text, "%s: %p: wrote 0x%016" PRIx64 ", read 0x%016" PRIx64, patternName.c_str(), address,
                expected, actual);
  return text;
}

std::optional<MemoryFault> RunMemoryPattern(MemoryPattern pattern, std::span<uint64_t> buffer,
                                            const BetweenWriteAndVerify& hook) {
  const auto base = reinterpret_cast<uintptr_t>(buffer.data());
  const uint64_t seed = NextSeed();
  std::optional<MemoryFault> fault;
  auto run = [&](auto value) {
    if (!fault) fault = Pass(pattern, buffer, hook, value);
  };
  switch (pattern) {
    case MemoryPattern::StuckAddress:
      run([base](size_t i) { return uint64_t{base + i * sizeof(uint64_t)}; });
      run([base](size_t i) { return ~uint64_t{base + i * sizeof(uint64_t)}; });
      break;
    case MemoryPattern::Sequential:
      run([seed](size_t i) { return seed + i; });
      run([seed](size_t i) { return seed - i; });
      break;
    case MemoryPattern::BlockSequential:
      for (uint64_t shift : {uint64_t{0}, seed & 0xFF}) {
        run([shift](size_t i) { return ((i / kBlockWords + shift) & 0xFF) * kBytes; });
      }
      break;
    case MemoryPattern::WalkingBits:
      run([](size_t i) { return uint64_t{1} << (i % 64); });
      run([](size_t i) { return ~(uint64_t{1} << (i % 64)); });
      break;
    case MemoryPattern::Random:
      run([seed](size_t i) { return Mix(seed + i); });
      break;
    case MemoryPattern::Checkerboard:
      run([](size_t i) { return (i & 1) ? 0xAAAAAAAAAAAAAAAAull : 0x5555555555555555ull; });
      run([](size_t i) { return (i & 1) ? 0x5555555555555555ull : 0xAAAAAAAAAAAAAAAAull; });
      break;
    case MemoryPattern::Arithmetic: {
      const uint64_t add = Mix(seed ^ 1), factor = Mix(seed ^ 2) | 1;  // odd: multiplying loses no bit
      fault = Modify(pattern, buffer, hook, seed, [add, factor](uint64_t x) { return (x + add) * factor; });
      if (!fault) fault = Modify(pattern, buffer, hook, seed + 1, [add](uint64_t x) { return x - add; });
      break;
    }
    case MemoryPattern::Logic: {
      const uint64_t x1 = Mix(seed ^ 3), o = Mix(seed ^ 4), a = Mix(seed ^ 5);
      fault = Modify(pattern, buffer, hook, seed, [x1, o, a](uint64_t x) { return ((x ^ x1) | (o & 0x00FF00FF00FF00FFull)) & (a | 0xF0F0F0F0F0F0F0F0ull); });
      break;
    }
    case MemoryPattern::BitFlip:
      for (unsigned bit : {0u, 21u, 42u, 63u}) {
        const uint64_t one = uint64_t{1} << bit;
        run([one](size_t i) { return (i & 1) ? ~one : one; });
      }
      break;
  }
  return fault;
}

MemoryTestBuffer::MemoryTestBuffer(size_t bytes) {
  bytes_ = bytes - bytes % sizeof(uint64_t);
  if (bytes_ == 0) return;
  void* memory = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (memory == MAP_FAILED) return;
  data_ = static_cast<uint64_t*>(memory);
  size_ = bytes_ / sizeof(uint64_t);
}

MemoryTestBuffer::~MemoryTestBuffer() {
  if (data_ != nullptr) munmap(data_, bytes_);
}

}  // namespace host::machine::linuxhost
