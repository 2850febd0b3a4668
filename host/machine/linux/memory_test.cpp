#include "machine/linux/memory_test.h"

#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>
#include <vector>

#if defined(__x86_64__)
#include <emmintrin.h>
#define SYSDIAGNOSE_SSE2 1
#endif

namespace host::machine::linuxhost {
namespace {

// The buffer is worked through in tiles of 4 KiB. A pattern's words are computed two at a time
// (what one SSE2 register holds) straight into the stores and the compares, so memory, not the
// computing, bounds a pass.
constexpr size_t kTile = 512;
constexpr size_t kBlockWords = 64 * 1024 / sizeof(uint64_t);

using Tile = uint64_t[kTile];
using Pair = uint64_t __attribute__((vector_size(16)));

Pair LoadPair(const uint64_t* p) {
  Pair pair;
  std::memcpy(&pair, p, sizeof pair);
  return pair;
}

// splitmix64, for seeds and per-tile constants.
uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// All ones in odd words, zero in even ones: the checkerboard's and the bit flip's alternation.
inline uint64_t OddWords(size_t i) { return uint64_t{0} - (i & 1); }

// A byte repeated in all eight bytes of a word.
inline uint64_t Replicated(uint64_t byte) {
  byte |= byte << 8;
  byte |= byte << 16;
  return byte | byte << 32;
}

// A pattern gives a key for the tile at word `first` of the buffer (KeyOf), then that tile's
// words j and j + 1 for an even j (At).
//
// Most patterns are one tile of words and a key per tile of the buffer: word first + j is
// combine(base[j], key(first)). The key moves with the tile (an address, a count, a random
// constant), so a word costs one add or xor.
template <class Combine, class Key>
class TiledPattern {
 public:
  template <class Base>
  TiledPattern(Base base, Combine combine, Key key) : combine_(combine), key_(key) {
    for (size_t j = 0; j < kTile; ++j) base_[j] = base(j);
  }
  uint64_t KeyOf(size_t first) const { return key_(first); }
  Pair At(size_t j, uint64_t key) const { return combine_(LoadPair(base_ + j), key); }

 private:
  Combine combine_;
  Key key_;
  alignas(64) Tile base_;
};

constexpr auto kAdd = [](auto a, uint64_t b) { return a + b; };
constexpr auto kXor = [](auto a, uint64_t b) { return a ^ b; };

template <class Base, class Combine, class Key>
auto Tiled(Base base, Combine combine, Key key) {
  return TiledPattern<Combine, Key>(base, combine, key);
}

// A pattern that repeats within every tile: its one tile is the expected words everywhere.
class RepeatingPattern {
 public:
  template <class Base>
  explicit RepeatingPattern(Base base) {
    for (size_t j = 0; j < kTile; ++j) base_[j] = base(j);
  }
  uint64_t KeyOf(size_t) const { return 0; }
  Pair At(size_t j, uint64_t) const { return LoadPair(base_ + j); }

 private:
  alignas(64) Tile base_;
};

template <class Base>
auto Repeating(Base base) {
  return RepeatingPattern(base);
}

// Another pattern's words, each changed (the arithmetic and logic patterns' expected words).
template <class Pattern, class Change>
class ChangedPattern {
 public:
  ChangedPattern(const Pattern& pattern, const Change& change) : pattern_(pattern), change_(change) {}
  uint64_t KeyOf(size_t first) const { return pattern_.KeyOf(first); }
  Pair At(size_t j, uint64_t key) const { return change_(pattern_.At(j, key)); }

 private:
  const Pattern& pattern_;
  const Change& change_;
};

// Pseudo-random words without a multiply per word: a random tile made once per pass, xor-ed with
// a random constant of its own for every tile of the buffer.
auto RandomWords(uint64_t seed) {
  return Tiled([seed](size_t j) { return Mix(seed ^ (j * 0xD1B54A32D192ED03ull)); }, kXor,
               [seed](size_t first) { return Mix(seed + first / kTile); });
}

bool Aligned(const void* p) { return reinterpret_cast<uintptr_t>(p) % 16 == 0; }

// Writes words [0, count) at `to`: pairAt(j) gives words j and j + 1, wordAt(j) word j alone.
// Streaming stores go to memory past the caches: the test then reads back what the memory held,
// not what a cache kept, and writing needs no read of the old line first.
template <class PairAt, class WordAt>
void StreamOut(uint64_t* to, size_t count, const PairAt& pairAt, const WordAt& wordAt) {
  size_t j = 0;
#ifdef SYSDIAGNOSE_SSE2
  if (Aligned(to)) {
    for (; j + 1 < count; j += 2) {
      __m128i pair;
      const Pair words = pairAt(j);
      std::memcpy(&pair, &words, sizeof pair);
      _mm_stream_si128(reinterpret_cast<__m128i*>(to + j), pair);
    }
  }
  for (; j < count; ++j) _mm_stream_si64(reinterpret_cast<long long*>(to + j), static_cast<long long>(wordAt(j)));
#else
  for (; j < count; ++j) to[j] = wordAt(j);
#endif
}

void StoresDone(const void* p) {
#ifdef SYSDIAGNOSE_SSE2
  _mm_sfence();
#endif
  asm volatile("" : : "r"(p) : "memory");  // the writes happen, whoever seems to read them
}

// Word j of the tile a pattern gives with `key`.
template <class Pattern>
uint64_t WordOf(const Pattern& pattern, size_t j, uint64_t key) {
  return pattern.At(j & ~size_t{1}, key)[j & 1];
}

// Whether the `count` words at `words` are the tile a pattern gives with `key`, without a branch
// per word.
template <class Pattern>
bool Same(const uint64_t* words, size_t count, const Pattern& pattern, uint64_t key) {
  Pair difference{};
  size_t j = 0;
  for (; j + 1 < count; j += 2) difference |= LoadPair(words + j) ^ pattern.At(j, key);
  uint64_t rest = difference[0] | difference[1];
  for (; j < count; ++j) rest |= words[j] ^ WordOf(pattern, j, key);
  return rest == 0;
}

// Threads share a pass out in slices of whole tiles. They pay only where memory, not a cache, is
// the bound and more than one processor is free: bench/linux_machine.cpp measures the choice.
constexpr size_t kMaxThreads = 4;
// Twice the last-level cache: there, on the 2-core VM, two threads move 1.2 to 1.6 times the bytes
// one does (bench/linux_machine.cpp), while within the cache a second thread only competes.
constexpr size_t kBeyondCache = 2;
constexpr size_t kMinSliceWords = size_t{1} << 17;  // 1 MiB: below it a thread costs more than it gives

using SliceFault = std::optional<MemoryFault>;

// Runs work(begin, end) on consecutive slices of [0, words), one for each of at most `threads`,
// the first on the calling thread; returns what each found, in slice order, once every slice is done.
template <class Work>
std::vector<SliceFault> ForEachSlice(size_t words, size_t threads, const Work& work) {
  const size_t tiles = (words + kTile - 1) / kTile;
  const size_t wanted = std::clamp<size_t>(std::min(threads, words / kMinSliceWords), 1, kMaxThreads);
  const size_t tilesPerSlice = (tiles + wanted - 1) / wanted;
  std::vector<std::pair<size_t, size_t>> slices;
  for (size_t tile = 0; tile < tiles; tile += tilesPerSlice) {
    slices.emplace_back(tile * kTile, std::min(words, (tile + tilesPerSlice) * kTile));
  }
  std::vector<SliceFault> results(slices.size());
  std::vector<std::thread> helpers;
  for (size_t i = 1; i < slices.size(); ++i) {
    helpers.emplace_back([&, i] { results[i] = work(slices[i].first, slices[i].second); });
  }
  if (!slices.empty()) results[0] = work(slices[0].first, slices[0].second);
  for (std::thread& helper : helpers) helper.join();
  return results;
}

// A buffer with the number of threads its passes are shared among.
struct Words {
  std::span<uint64_t> buffer;
  size_t threads;
};

template <class Pattern>
void Write(Words words, const Pattern& pattern) {
  const std::span<uint64_t> buffer = words.buffer;
  ForEachSlice(buffer.size(), words.threads, [&](size_t begin, size_t end) -> SliceFault {
    for (size_t first = begin; first < end; first += kTile) {
      const uint64_t key = pattern.KeyOf(first);
      StreamOut(buffer.data() + first, std::min(kTile, end - first), [&](size_t j) { return pattern.At(j, key); },
                [&](size_t j) { return WordOf(pattern, j, key); });
    }
    StoresDone(buffer.data() + begin);
    return std::nullopt;
  });
}

// Changes every word in place: the arithmetic and logic patterns' read, compute, write.
template <class Change>
void Update(Words words, const Change& change) {
  const std::span<uint64_t> buffer = words.buffer;
  ForEachSlice(buffer.size(), words.threads, [&](size_t begin, size_t end) -> SliceFault {
    uint64_t* slice = buffer.data() + begin;
    StreamOut(slice, end - begin, [&](size_t j) { return change(LoadPair(slice + j)); },
              [&](size_t j) { return change(slice[j]); });
    StoresDone(slice);
    return std::nullopt;
  });
}

// The mismatch at the lowest address.
template <class Pattern>
std::optional<MemoryFault> Verify(MemoryPattern kind, Words words, const Pattern& pattern) {
  const std::span<const uint64_t> buffer = words.buffer;
  const auto faults = ForEachSlice(buffer.size(), words.threads, [&](size_t begin, size_t end) -> SliceFault {
    for (size_t first = begin; first < end; first += kTile) {
      const size_t count = std::min(kTile, end - first);
      const uint64_t key = pattern.KeyOf(first);
      if (Same(buffer.data() + first, count, pattern, key)) continue;
      for (size_t j = 0; j < count; ++j) {
        const uint64_t expected = WordOf(pattern, j, key);
        if (buffer[first + j] != expected) {
          return MemoryFault{kind, std::string(NameOf(kind)), &buffer[first + j], expected, buffer[first + j]};
        }
      }
    }
    return std::nullopt;
  });
  for (const auto& fault : faults) {
    if (fault) return fault;
  }
  return std::nullopt;
}

// One pass: write, hook, verify.
template <class Pattern>
std::optional<MemoryFault> Pass(MemoryPattern kind, Words words, const BetweenWriteAndVerify& hook,
                                const Pattern& pattern) {
  Write(words, pattern);
  if (hook) hook(words.buffer);
  return Verify(kind, words, pattern);
}

// Write random words, change them in place, hook, then verify against the same change of the
// regenerated words.
template <class Change>
std::optional<MemoryFault> Modify(MemoryPattern kind, Words words, const BetweenWriteAndVerify& hook, uint64_t seed,
                                  const Change& change) {
  const auto random = RandomWords(seed);
  Write(words, random);
  Update(words, change);
  if (hook) hook(words.buffer);
  return Verify(kind, words, ChangedPattern(random, change));
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

std::optional<MemoryFault> RunMemoryPattern(MemoryPattern kind, std::span<uint64_t> buffer,
                                            const BetweenWriteAndVerify& hook, size_t threads) {
  const uint64_t base = reinterpret_cast<uintptr_t>(buffer.data());
  const uint64_t seed = NextSeed();
  const Words words{buffer, threads != 0 ? threads : MemoryTestThreads(buffer.size_bytes())};
  std::optional<MemoryFault> fault;
  auto run = [&](const auto& pattern) {
    if (!fault) fault = Pass(kind, words, hook, pattern);
  };
  switch (kind) {
    case MemoryPattern::StuckAddress: {
      const auto address = [base](size_t first) { return base + first * sizeof(uint64_t); };
      run(Tiled([](size_t j) { return j * sizeof(uint64_t); }, kAdd, address));
      run(Tiled([](size_t j) { return j * sizeof(uint64_t); }, [](auto a, uint64_t k) { return ~(a + k); }, address));
      break;
    }
    case MemoryPattern::Sequential:
      run(Tiled([](size_t j) { return uint64_t{j}; }, kAdd, [seed](size_t first) { return seed + first; }));
      run(Tiled([](size_t j) { return uint64_t{0} - j; }, kAdd, [seed](size_t first) { return seed - first; }));
      break;
    case MemoryPattern::BlockSequential:
      // A tile lies within one block, so the block's byte is the tile's key.
      static_assert(kBlockWords % kTile == 0);
      for (uint64_t shift : {uint64_t{0}, seed & 0xFF}) {
        run(Tiled([](size_t) { return uint64_t{0}; }, kXor,
                  [shift](size_t first) { return Replicated((first / kBlockWords + shift) & 0xFF); }));
      }
      break;
    case MemoryPattern::WalkingBits:
      static_assert(kTile % 64 == 0);
      run(Repeating([](size_t j) { return uint64_t{1} << (j % 64); }));
      run(Repeating([](size_t j) { return ~(uint64_t{1} << (j % 64)); }));
      break;
    case MemoryPattern::Random:
      run(RandomWords(seed));
      break;
    case MemoryPattern::Checkerboard:
      run(Repeating([](size_t j) { return 0x5555555555555555ull ^ OddWords(j); }));
      run(Repeating([](size_t j) { return 0xAAAAAAAAAAAAAAAAull ^ OddWords(j); }));
      break;
    case MemoryPattern::Arithmetic: {
      // sum + (sum << 5) multiplies by 33: odd, so no bit is lost.
      const uint64_t add = Mix(seed ^ 1);
      fault = Modify(kind, words, hook, seed, [add](auto x) {
        const auto sum = x + add;
        return sum + (sum << 5);
      });
      if (!fault) fault = Modify(kind, words, hook, seed + 1, [add](auto x) { return x - add; });
      break;
    }
    case MemoryPattern::Logic: {
      const uint64_t flip = Mix(seed ^ 3), set = Mix(seed ^ 4) & 0x00FF00FF00FF00FFull,
                     keep = Mix(seed ^ 5) | 0xF0F0F0F0F0F0F0F0ull;
      fault = Modify(kind, words, hook, seed, [=](auto x) { return ((x ^ flip) | set) & keep; });
      break;
    }
    case MemoryPattern::BitFlip:
      for (unsigned bit : {0u, 21u, 42u, 63u}) {
        run(Repeating([one = uint64_t{1} << bit](size_t j) { return one ^ OddWords(j); }));
      }
      break;
  }
  return fault;
}

size_t MemoryTestThreads(size_t bytes, const MemoryTestHardware& hardware) {
  const bool beyondCache = hardware.lastLevelCacheBytes != 0 && bytes >= kBeyondCache * hardware.lastLevelCacheBytes;
  return beyondCache ? std::clamp<size_t>(hardware.processors, 1, kMaxThreads) : 1;
}

size_t MemoryTestThreads(size_t bytes) {
  static const MemoryTestHardware hardware = ThisMemoryTestHardware();
  return MemoryTestThreads(bytes, hardware);
}

MemoryTestHardware ThisMemoryTestHardware() {
  MemoryTestHardware hardware;
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) hardware.processors = std::max(1, CPU_COUNT(&allowed));
  const std::filesystem::path caches = "/sys/devices/system/cpu/cpu0/cache";
  std::error_code ec;
  for (const auto& index : std::filesystem::directory_iterator(caches, ec)) {
    if (!index.path().filename().string().starts_with("index")) continue;
    std::ifstream file(index.path() / "size");
    size_t size = 0;
    char unit = 0;
    if (!(file >> size)) continue;
    file >> unit;
    size <<= unit == 'K' ? 10 : unit == 'M' ? 20 : unit == 'G' ? 30 : 0;
    hardware.lastLevelCacheBytes = std::max(hardware.lastLevelCacheBytes, size);
  }
  return hardware;
}

MemoryTestBuffer::MemoryTestBuffer(size_t bytes) {
  bytes_ = bytes - bytes % sizeof(uint64_t);
  if (bytes_ == 0) return;
  void* memory = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
  // Large pages where the kernel allows them: fewer, larger pages to clear and map.
  madvise(memory, bytes_, MADV_HUGEPAGE);
  if (madvise(memory, bytes_, MADV_POPULATE_WRITE) != 0) {
    // An older kernel: one write a page does the same.
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    for (size_t at = 0; at < bytes_; at += page) static_cast<volatile char*>(memory)[at] = 0;
  }
  data_ = static_cast<uint64_t*>(memory);
  size_ = bytes_ / sizeof(uint64_t);
}

MemoryTestBuffer::~MemoryTestBuffer() {
  if (data_ != nullptr) munmap(data_, bytes_);
}

bool MemoryTestSlot::Use(size_t bytes, const std::function<void(std::span<uint64_t>)>& test) {
  std::lock_guard guard(lock_);
  if (!buffer_ || buffer_->words().empty() || bytes_ != bytes) {
    buffer_.reset();  // the old one goes before the new one is made
    buffer_ = std::make_unique<MemoryTestBuffer>(bytes);
    bytes_ = bytes;
  }
  if (buffer_->words().empty()) return false;
  test(buffer_->words());
  return true;
}

}  // namespace host::machine::linuxhost
