#pragma once
// The host's telemetry library. Every sent event is appended as one JSON line to
// telemetry.jsonl in the data directory (at most 1 MiB; the lines before are kept in
// telemetry.jsonl.1) and the newest 10,000 are kept in memory for tests. Safe from any thread.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct tagLogInfo {
  std::string id;
  std::string value;
  int64_t time = 0;  // seconds since 1970
};

class EventDataReport {
 public:
  static EventDataReport& Instance();

  tagLogInfo GetMsg(const std::string& id, const std::string& value);
  bool SendMsg(tagLogInfo& info);

  // What was sent in this process, in order, the newest 10,000 at most: (id, value).
  std::vector<std::pair<std::string, std::string>> SentEvents() const;
  void ClearSentEvents();
};
