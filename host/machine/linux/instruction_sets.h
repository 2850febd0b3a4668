#pragma once
// The processor's SSE family: whether cpuid reports each set, and a test that runs a few of the
// set's instructions on known values and compares them with plain integer and float arithmetic.
#include <cstdint>

namespace host::machine::linuxhost {

enum class InstructionSet { Sse, Sse2, Sse3, Ssse3, Sse41, Sse42 };

bool Supports(InstructionSet set);

// The test's codes.
inline constexpr uint32_t kInstructionsPassed = 0;
inline constexpr uint32_t kInstructionsWrong = 1;      // a result differs from the reference
inline constexpr uint32_t kInstructionsMissing = 2;    // the processor does not have the set
uint32_t TestInstructionSet(InstructionSet set);

}  // namespace host::machine::linuxhost
