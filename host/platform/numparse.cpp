#include "platform/numparse.h"

#include <limits>

namespace platform {
namespace {

template <typename Char>
bool IsBlank(Char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename Char>
int32_t Read(std::basic_string_view<Char> text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t value = 0;
  bool saturated = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (value > (kLimit - digit) / 10) {
      saturated = true;
      continue;
    }
    value = value * 10 + digit;
  }
  int64_t signedValue;
  if (saturated) {
    signedValue = negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
  } else {
    signedValue = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
  }
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(signedValue)));
}

}  // namespace

int32_t Atoi(std::string_view text) { return Read(text); }
int32_t Wtoi(std::u16string_view text) { return Read(text); }

}  // namespace platform
