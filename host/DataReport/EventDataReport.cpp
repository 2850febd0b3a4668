#include "DataReport/EventDataReport.h"

#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>

#include "platform/clock.h"
#include "platform/paths.h"

namespace {

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}

std::vector<std::pair<std::string, std::string>>& Sent() {
  static std::vector<std::pair<std::string, std::string>> sent;
  return sent;
}

}  // namespace

EventDataReport& EventDataReport::Instance() {
  static EventDataReport instance;
  return instance;
}

tagLogInfo EventDataReport::GetMsg(const std::string& id, const std::string& value) {
  return tagLogInfo{id, value, platform::SecondsSince1970()};
}

bool EventDataReport::SendMsg(tagLogInfo& info) {
  nlohmann::ordered_json line;
  line["time"] = info.time;
  line["id"] = info.id;
  line["value"] = info.value;
  const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);

  std::lock_guard lock(Lock());
  Sent().emplace_back(info.id, info.value);
  std::ofstream out(platform::DataDirectory() + "/telemetry.jsonl", std::ios::app);
  out << text << '\n';
  return static_cast<bool>(out);
}

std::vector<std::pair<std::string, std::string>> EventDataReport::SentEvents() const {
  std::lock_guard lock(Lock());
  return Sent();
}

void EventDataReport::ClearSentEvents() {
  std::lock_guard lock(Lock());
  Sent().clear();
}
