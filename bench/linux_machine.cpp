// The running Linux machine: reading all of its hardware, and the memory checks against memset
// over the same buffer. bench/linux_machine_peers.sh runs the command-level comparisons.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "machine/linux/hardware_reader.h"
#include "machine/linux/linux_machine.h"
#include "machine/linux/memory_test.h"
#include "machine/linux/sysfs_root.h"

namespace {

using namespace host::machine::linuxhost;

size_t BufferBytes() {
  const char* mb = std::getenv("SYSDIAGNOSE_MEMTEST_MB");
  return (mb != nullptr && std::atoi(mb) > 0 ? static_cast<size_t>(std::atoi(mb)) : 64) << 20;
}

void BM_ReadInventory(benchmark::State& state) {
  const SysfsRoot root("/");
  for (auto _ : state) benchmark::DoNotOptimize(ReadInventory(root));
}
BENCHMARK(BM_ReadInventory)->Unit(benchmark::kMillisecond);

// Bytes written per second by memset over the buffer: the bound for any pattern write.
void BM_Memset(benchmark::State& state) {
  MemoryTestBuffer buffer(BufferBytes());
  const auto words = buffer.words();
  int value = 0;
  for (auto _ : state) {
    std::memset(words.data(), ++value, words.size_bytes());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * words.size_bytes()));
}
BENCHMARK(BM_Memset)->Unit(benchmark::kMillisecond);

// Bytes moved per second (read and written) by memcpy from one half of the buffer to the other.
void BM_Memcpy(benchmark::State& state) {
  MemoryTestBuffer buffer(BufferBytes());
  const auto words = buffer.words();
  const size_t half = words.size_bytes() / 2;
  for (auto _ : state) {
    std::memcpy(words.data() + words.size() / 2, words.data(), half);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 2 * half));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// How many times each pattern moves the buffer through memory: every pass writes it once and
// reads it back once; the arithmetic and logic patterns also read and rewrite it in place.
constexpr int kTraffic[] = {/* stuck address */ 4, /* sequential */ 4, /* block */ 4, /* walking */ 4,
                            /* random */ 2,        /* checkerboard */ 4, /* arithmetic */ 8, /* logic */ 4,
                            /* bit flip */ 8};

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point begin, Clock::time_point end) { return std::chrono::duration<double>(end - begin).count(); }

// One pattern over a buffer already mapped, its passes shared among range(1) threads; "bytes" is
// its memory traffic. Every iteration also times a single-thread memset and memcpy of the same
// buffer, so "of_memset" and "of_memcpy" (the pattern's traffic rate over theirs) compare them
// under the same load, pair by pair.
void BM_Pattern(benchmark::State& state) {
  const auto pattern = static_cast<MemoryPattern>(state.range(0));
  const auto threads = static_cast<size_t>(state.range(1));
  MemoryTestBuffer buffer(BufferBytes());
  const auto words = buffer.words();
  const double bytes = static_cast<double>(words.size_bytes());
  double patternSeconds = 0, memsetSeconds = 0, memcpySeconds = 0;
  int value = 0;
  for (auto _ : state) {
    const auto begin = Clock::now();
    std::memset(words.data(), ++value, words.size_bytes());
    benchmark::ClobberMemory();
    const auto copyBegin = Clock::now();
    std::memcpy(words.data() + words.size() / 2, words.data(), words.size_bytes() / 2);
    benchmark::ClobberMemory();
    const auto middle = Clock::now();
    benchmark::DoNotOptimize(RunMemoryPattern(pattern, words, {}, threads));
    const auto end = Clock::now();
    memsetSeconds += Seconds(begin, copyBegin);
    memcpySeconds += Seconds(copyBegin, middle);
    patternSeconds += Seconds(middle, end);
    state.SetIterationTime(Seconds(middle, end));
  }
  const double traffic = bytes * kTraffic[state.range(0)];
  state.SetLabel(std::string(NameOf(pattern)) + ", " + std::to_string(threads) + " thread" + (threads > 1 ? "s" : ""));
  state.SetBytesProcessed(static_cast<int64_t>(static_cast<double>(state.iterations()) * traffic));
  state.counters["of_memset"] = (traffic / patternSeconds) / (bytes / memsetSeconds);
  state.counters["of_memcpy"] = (traffic / patternSeconds) / (bytes / memcpySeconds);
}
// Each pattern on one thread and on as many as this process may use (when more than one), whatever
// MemoryTestThreads would choose: the figures its choice rests on.
void OneAndAllThreads(benchmark::internal::Benchmark* b) {
  const size_t all = std::min<size_t>(ThisMemoryTestHardware().processors, 4);
  for (int64_t pattern = 0; pattern <= 8; ++pattern) {
    b->Args({pattern, 1});
    if (all > 1) b->Args({pattern, static_cast<int64_t>(all)});
  }
}
BENCHMARK(BM_Pattern)->Apply(OneAndAllThreads)->UseManualTime()->Unit(benchmark::kMillisecond);

// The nine memory checks as one diagnosis runs them, its buffer mapped by the first: the machine
// is made afresh every time (and its buffer given back, within the time). "threads" is what MemoryTestThreads chose for the buffer.
void BM_NineMemoryChecks(benchmark::State& state) {
  constexpr const char* kChecks[] = {"memory.stuckAddr", "memory.lineSeq", "memory.blockSeq",
                                     "memory.bit0Walk",  "memory.random",  "memory.board",
                                     "memory.arith",     "memory.logic",   "memory.bitFlip"};
  for (auto _ : state) {
    state.PauseTiming();  // the hardware is read before, as a diagnosis has read it
    LinuxMachine::Options options;
    options.memoryTestBytes = BufferBytes();
    LinuxMachine machine(std::move(options));
    machine.Facts();
    state.ResumeTiming();
    for (const char* path : kChecks) benchmark::DoNotOptimize(machine.Check(path));
  }
  state.counters["threads"] = static_cast<double>(MemoryTestThreads(BufferBytes()));
}
BENCHMARK(BM_NineMemoryChecks)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
