// The running Linux machine: reading all of its hardware, and the memory checks against memset
// over the same buffer. bench/linux_machine_peers.sh runs the command-level comparisons.
#include <benchmark/benchmark.h>

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

// How many times each pattern moves the buffer through memory: every pass writes it once and
// reads it back once; the arithmetic and logic patterns also read and rewrite it in place.
constexpr int kTraffic[] = {/* stuck address */ 4, /* sequential */ 4, /* block */ 4, /* walking */ 4,
                            /* random */ 2,        /* checkerboard */ 4, /* arithmetic */ 8, /* logic */ 4,
                            /* bit flip */ 8};

// One pattern over a buffer already mapped; "bytes" is its memory traffic. Every iteration also
// times a memset of the same buffer, so "of_memset" (the pattern's traffic rate over memset's)
// compares the two under the same load, pair by pair.
void BM_Pattern(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const auto pattern = static_cast<MemoryPattern>(state.range(0));
  MemoryTestBuffer buffer(BufferBytes());
  const auto words = buffer.words();
  double patternSeconds = 0, memsetSeconds = 0;
  int value = 0;
  for (auto _ : state) {
    const auto begin = Clock::now();
    std::memset(words.data(), ++value, words.size_bytes());
    benchmark::ClobberMemory();
    const auto middle = Clock::now();
    benchmark::DoNotOptimize(RunMemoryPattern(pattern, words));
    const auto end = Clock::now();
    memsetSeconds += std::chrono::duration<double>(middle - begin).count();
    patternSeconds += std::chrono::duration<double>(end - middle).count();
    state.SetIterationTime(std::chrono::duration<double>(end - middle).count());
  }
  const double traffic = static_cast<double>(words.size_bytes()) * kTraffic[state.range(0)];
  state.SetLabel(std::string(NameOf(pattern)));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * traffic));
  state.counters["of_memset"] = (traffic / patternSeconds) / (static_cast<double>(words.size_bytes()) / memsetSeconds);
}
BENCHMARK(BM_Pattern)->DenseRange(0, 8)->UseManualTime()->Unit(benchmark::kMillisecond);

// The nine memory checks as a diagnosis runs them: each maps its own buffer.
void BM_NineMemoryChecks(benchmark::State& state) {
  LinuxMachine::Options options;
  options.memoryTestBytes = BufferBytes();
  LinuxMachine machine(std::move(options));
  constexpr const char* kChecks[] = {"memory.stuckAddr", "memory.lineSeq", "memory.blockSeq",
                                     "memory.bit0Walk",  "memory.random",  "memory.board",
                                     "memory.arith",     "memory.logic",   "memory.bitFlip"};
  for (auto _ : state) {
    for (const char* path : kChecks) benchmark::DoNotOptimize(machine.Check(path));
  }
}
BENCHMARK(BM_NineMemoryChecks)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
