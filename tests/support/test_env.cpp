#include "support/test_env.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>

#include "machine/linux/linux_machine.h"
#include "machine/machine.h"
#include "platform/clock.h"
#include "platform/paths.h"

namespace testenv {

ScopedDataDir::ScopedDataDir() {
  if (const char* d = std::getenv("SYSDIAGNOSE_DATA_DIR")) {
    previous_ = d;
    hadPrevious_ = true;
  }
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() /
          ("sysdiagnose-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
  std::filesystem::create_directories(path_);
  // Private whatever the umask: the host refuses a data directory others may write to.
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
  setenv("SYSDIAGNOSE_DATA_DIR", path_.c_str(), 1);
}

ScopedDataDir::~ScopedDataDir() {
  if (hadPrevious_) {
    setenv("SYSDIAGNOSE_DATA_DIR", previous_.c_str(), 1);
  } else {
    unsetenv("SYSDIAGNOSE_DATA_DIR");
  }
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void UseMachine(std::string_view json) {
  auto result = host::machine::Machine::Instance().LoadJson(json, "test profile");
  ASSERT_TRUE(result) << result.error;
  host::machine::Machine::Instance().ClearJournal();
}

void UseEmptyMachine() {
  host::machine::Machine::Instance().Clear();
  host::machine::Machine::Instance().ClearJournal();
}

std::string RunningProcessorModel() {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(": ") + 2);
  }
  return {};
}

std::string TestDataPath(std::string_view relative) {
  return std::string(SYSDIAGNOSE_SOURCE_DIR) + "/tests/data/" + std::string(relative);
}

std::string RecordedMachinePath(std::string_view name) { return TestDataPath("machines/" + std::string(name)); }

void UseRecordedMachine(std::string_view name, std::function<void(std::span<uint64_t>)> memoryHook) {
  host::machine::linuxhost::LinuxMachine::Options options;
  options.root = RecordedMachinePath(name);
  options.memoryTestBytes = size_t{1} << 20;
  options.memoryHook = std::move(memoryHook);
  host::machine::Machine::Instance().Use(std::make_shared<host::machine::linuxhost::LinuxMachine>(std::move(options)));
  host::machine::Machine::Instance().ClearJournal();
}

int64_t Utc(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return static_cast<int64_t>(timegm(&tm));
}

ScopedClock::ScopedClock(const char* tz, std::function<int64_t()> now) {
  if (const char* previous = std::getenv("TZ")) {
    previousTz_ = previous;
    hadTz_ = true;
  }
  platform::SetTimeZoneForTesting(tz);
  platform::SetClockForTesting(std::move(now));
}

ScopedClock::~ScopedClock() {
  platform::SetClockForTesting({});
  if (hadTz_) {
    platform::SetTimeZoneForTesting(previousTz_.c_str());
  } else {
    unsetenv("TZ");
    tzset();
  }
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ResourcePath(std::string_view relative) {
  return std::string(SYSDIAGNOSE_SOURCE_DIR) + "/resources/" + std::string(relative);
}

}  // namespace testenv
