#include "diagnose/payload.h"

namespace zel::sysdiagnose {

std::string JoinPayload(const std::vector<int64_t>& numbers) {
  std::string text;
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) text += ',';
    text += std::to_string(numbers[i]);
  }
  return text;
}

}  // namespace zel::sysdiagnose
