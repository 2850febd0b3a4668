#pragma once
// The C reading rules the system relies on: leading blanks, an optional sign, then decimal
// digits; anything else ends the number, and text without digits reads as 0.
#include <cstdint>
#include <string_view>

namespace platform {

// Like glibc's atoi, the value is read as a 64-bit number and truncated to its low 32 bits,
// so "4294967295" reads as -1 and round-trips an unsigned 32-bit code.
int32_t Atoi(std::string_view text);
int32_t Wtoi(std::u16string_view text);

}  // namespace platform
