#pragma once
// Value texts of the diagnosis events: decimal numbers joined by ",".
#include <cstdint>
#include <string>
#include <vector>

namespace zel::sysdiagnose {

std::string JoinPayload(const std::vector<int64_t>& numbers);

}  // namespace zel::sysdiagnose
