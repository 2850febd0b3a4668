#include "machine/linux/instruction_sets.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define SYSDIAGNOSE_X86 1
#endif

#include <cstring>

namespace host::machine::linuxhost {

#ifdef SYSDIAGNOSE_X86
namespace {

// Inputs the compiler cannot fold into constants, so the instructions really run.
volatile int32_t gSeed[8] = {7, -3, 1000, 65535, -70000, 12, 5, -1};

int32_t Seed(int i) { return gSeed[i]; }

__attribute__((target("sse"))) bool RunSse() {
  const float a[4] = {float(Seed(0)), float(Seed(1)), float(Seed(2)), float(Seed(3))};
  const float b[4] = {float(Seed(4)), float(Seed(5)), float(Seed(6)), float(Seed(7))};
  float out[4];
  _mm_storeu_ps(out, _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(a), _mm_loadu_ps(b)), _mm_loadu_ps(a)));
  for (int i = 0; i < 4; ++i) {
    if (out[i] != a[i] * b[i] + a[i]) return false;
  }
  return true;
}

__attribute__((target("sse2"))) bool RunSse2() {
  int32_t a[4], b[4], out[4];
  for (int i = 0; i < 4; ++i) a[i] = Seed(i), b[i] = Seed(i + 4);
  const __m128i sum = _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_xor_si128(sum, _mm_set1_epi32(0x5A5A5A5A)));
  for (int i = 0; i < 4; ++i) {
    const int32_t expected = static_cast<int32_t>((static_cast<uint32_t>(a[i]) + static_cast<uint32_t>(b[i])) ^ 0x5A5A5A5Au);
    if (out[i] != expected) return false;
  }
  const double x = Seed(2), y = Seed(6);
  double product;
  _mm_store_sd(&product, _mm_mul_sd(_mm_set_sd(x), _mm_set_sd(y)));
  return product == x * y;
}

__attribute__((target("sse3"))) bool RunSse3() {
  const float a[4] = {float(Seed(0)), float(Seed(1)), float(Seed(2)), float(Seed(3))};
  float out[4];
  const __m128 v = _mm_loadu_ps(a);
  _mm_storeu_ps(out, _mm_hadd_ps(v, v));
  return out[0] == a[0] + a[1] && out[1] == a[2] + a[3] && out[2] == out[0] && out[3] == out[1];
}

__attribute__((target("ssse3"))) bool RunSsse3() {
  int16_t a[8], out[8];
  for (int i = 0; i < 8; ++i) a[i] = static_cast<int16_t>(Seed(i) % 30000);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_abs_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a))));
  for (int i = 0; i < 8; ++i) {
    if (out[i] != (a[i] < 0 ? -a[i] : a[i])) return false;
  }
  uint8_t bytes[16], reversed[16];
  for (int i = 0; i < 16; ++i) bytes[i] = static_cast<uint8_t>(Seed(i % 8) + i);
  const __m128i order = _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(reversed),
                   _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)), order));
  for (int i = 0; i < 16; ++i) {
    if (reversed[i] != bytes[15 - i]) return false;
  }
  return true;
}

__attribute__((target("sse4.1"))) bool RunSse41() {
  int32_t a[4], b[4], out[4];
  for (int i = 0; i < 4; ++i) a[i] = Seed(i), b[i] = Seed(i + 4);
  const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
  const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_max_epi32(_mm_mullo_epi32(va, vb), va));
  for (int i = 0; i < 4; ++i) {
    const int32_t product = static_cast<int32_t>(static_cast<uint32_t>(a[i]) * static_cast<uint32_t>(b[i]));
    if (out[i] != (product > a[i] ? product : a[i])) return false;
  }
  return true;
}

// CRC-32C (Castagnoli), bit by bit: the reference for the crc32 instruction.
uint32_t Crc32c(uint32_t crc, uint32_t value) {
  crc ^= value;
  for (int bit = 0; bit < 32; ++bit) crc = (crc >> 1) ^ (0x82F63B78u & (0u - (crc & 1u)));
  return crc;
}

__attribute__((target("sse4.2"))) bool RunSse42() {
  uint32_t hardware = 0xFFFFFFFFu, reference = 0xFFFFFFFFu;
  for (int i = 0; i < 8; ++i) {
    hardware = _mm_crc32_u32(hardware, static_cast<uint32_t>(Seed(i)));
    reference = Crc32c(reference, static_cast<uint32_t>(Seed(i)));
  }
  int64_t a[2] = {Seed(4), Seed(3)}, b[2] = {Seed(1), Seed(2)}, out[2];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_cmpgt_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                                                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(b))));
  return hardware == reference && out[0] == (a[0] > b[0] ? -1 : 0) && out[1] == (a[1] > b[1] ? -1 : 0);
}

struct SetEntry {
  bool inEdx;  // leaf 1's EDX, else ECX
  int bit;
  bool (*run)();
};

const SetEntry& EntryOf(InstructionSet set) {
  static constexpr SetEntry kSets[] = {
      {true, 25, RunSse}, {true, 26, RunSse2}, {false, 0, RunSse3}, {false, 9, RunSsse3}, {false, 19, RunSse41},
      {false, 20, RunSse42},
  };
  return kSets[static_cast<int>(set)];
}

}  // namespace

bool Supports(InstructionSet set) {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  const SetEntry& entry = EntryOf(set);
  return ((entry.inEdx ? edx : ecx) >> entry.bit) & 1u;
}

uint32_t TestInstructionSet(InstructionSet set) {
  if (!Supports(set)) return kInstructionsMissing;
  return EntryOf(set).run() ? kInstructionsPassed : kInstructionsWrong;
}

#else  // processors without the SSE family

bool Supports(InstructionSet) { return false; }
uint32_t TestInstructionSet(InstructionSet) { return kInstructionsMissing; }

#endif

}  // namespace host::machine::linuxhost
