#include "utility/JsonSdk.h"

#include <nlohmann/json.hpp>

namespace JsonSdk {

bool VectorToJson(std::string& out, const std::vector<std::pair<std::string, std::string>>& pairs) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (const auto& [name, value] : pairs) object[name] = value;
  // Invalid UTF-8 is replaced rather than thrown: telemetry must never stop a run.
  out = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return true;
}

}  // namespace JsonSdk
