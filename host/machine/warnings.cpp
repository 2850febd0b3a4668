#include "machine/warnings.h"

#include <atomic>
#include <mutex>
#include <set>

namespace host::machine {
namespace {

std::atomic<WarningSink> gSink{nullptr};

std::mutex& SaidLock() {
  static std::mutex* const lock = new std::mutex();
  return *lock;
}
std::set<std::string, std::less<>>& Said() {
  static auto* const said = new std::set<std::string, std::less<>>();
  return *said;
}

}  // namespace

void SetWarningSink(WarningSink sink) { gSink.store(sink); }

void WarnOnce(std::string_view text) {
  {
    std::lock_guard guard(SaidLock());
    if (!Said().emplace(text).second) return;
  }
  if (const WarningSink sink = gSink.load()) sink(text);
}

}  // namespace host::machine
