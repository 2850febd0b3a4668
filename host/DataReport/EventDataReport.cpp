#include "DataReport/EventDataReport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <mutex>
#include <nlohmann/json.hpp>

#include "platform/clock.h"
#include "platform/data_files.h"
#include "platform/paths.h"
#include "utility/Logger.h"

namespace {

// Never destroyed: a detached worker may still send its last event while the process exits.
std::mutex& Lock() {
  static auto* const lock = new std::mutex;
  return *lock;
}

// The newest events only: a `ui` session may send for days.
constexpr size_t kKeptEvents = 10000;
// telemetry.jsonl is moved to telemetry.jsonl.1 (the one before is dropped) before it would grow
// longer than this.
constexpr off_t kMaxFileBytes = 1 << 20;

std::deque<std::pair<std::string, std::string>>& Sent() {
  static auto* const sent = new std::deque<std::pair<std::string, std::string>>;
  return *sent;
}

// Opens the telemetry file for appending `bytes`; a file they would make too long is moved aside
// first. Another process may have moved it already: only the file still under the name is moved.
int OpenForAppending(const std::string& path, size_t bytes) {
  const int fd = platform::OpenPrivateFile(path, O_WRONLY | O_APPEND);
  struct stat open {}, named {};
  if (fd < 0 || ::fstat(fd, &open) != 0 || open.st_size == 0 ||
      open.st_size + static_cast<off_t>(bytes) <= kMaxFileBytes) {
    return fd;
  }
  if (::lstat(path.c_str(), &named) == 0 && named.st_ino == open.st_ino && named.st_dev == open.st_dev) {
    ::rename(path.c_str(), (path + ".1").c_str());
  }
  ::close(fd);
  return platform::OpenPrivateFile(path, O_WRONLY | O_APPEND);
}

// One appending write per line, so that another process appending as well never splits it. A
// write cut short (a full disk) is taken back: the file never ends in a torn line.
bool AppendLine(const std::string& path, const std::string& line) {
  const int fd = OpenForAppending(path, line.size());
  if (fd < 0) return false;
  ssize_t written;
  while ((written = ::write(fd, line.data(), line.size())) < 0 && errno == EINTR) {
  }
  const bool whole = written == static_cast<ssize_t>(line.size());
  struct stat info {};
  if (!whole && written > 0 && (::fstat(fd, &info) != 0 || ::ftruncate(fd, info.st_size - written) != 0)) {
    hostlog::Error(path + ": a line cut short could not be taken back", "EventDataReport::SendMsg", "EventDataReport",
                   __LINE__, __PRETTY_FUNCTION__);
  }
  ::close(fd);
  return whole;
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
  if (Sent().size() > kKeptEvents) Sent().pop_front();
  return AppendLine(platform::DataFilePath(platform::kTelemetryFile), text + '\n');
}

std::vector<std::pair<std::string, std::string>> EventDataReport::SentEvents() const {
  std::lock_guard lock(Lock());
  return {Sent().begin(), Sent().end()};
}

void EventDataReport::ClearSentEvents() {
  std::lock_guard lock(Lock());
  Sent().clear();
}
