#pragma once
#include <string>
#include <utility>
#include <vector>

namespace JsonSdk {

// One JSON object of the pairs, in their order, values as strings: {"a":"1","b":"2"}.
bool VectorToJson(std::string& out, const std::vector<std::pair<std::string, std::string>>& pairs);

}  // namespace JsonSdk
