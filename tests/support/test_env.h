#pragma once
// Shared helpers for tests: a private data directory and a described machine.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace testenv {

// A fresh, empty data directory for the test's lifetime ($SYSDIAGNOSE_DATA_DIR points at it).
class ScopedDataDir {
 public:
  ScopedDataDir();
  ~ScopedDataDir();
  ScopedDataDir(const ScopedDataDir&) = delete;
  ScopedDataDir& operator=(const ScopedDataDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::string previous_;
  bool hadPrevious_ = false;
};

// Loads a machine profile from JSON text into the process's machine and clears the journal;
// fails the test when the profile is refused.
void UseMachine(std::string_view json);
// No profile: no devices, every check passes.
void UseEmptyMachine();

// The model name /proc/cpuinfo gives this machine's first processor; empty when it names none.
std::string RunningProcessorModel();

// Path of a file under tests/data/ (e.g. "records/nvme-health-worn.bin").
std::string TestDataPath(std::string_view relative);
// A recorded Linux machine under tests/data/machines/ ("notebook", "desktop").
std::string RecordedMachinePath(std::string_view name);
// Makes the process's machine the recorded Linux machine, its memory tests over 1 MiB, with
// `memoryHook` run inside each of their passes; clears the journal.
void UseRecordedMachine(std::string_view name,
                        std::function<void(std::span<uint64_t>)> memoryHook = {});

// Seconds since 1970 of a UTC wall-clock time.
int64_t Utc(int year, int month, int day, int hour, int minute, int second);

// For its lifetime: the time zone `tz` ($TZ, e.g. "CST-8") and a clock that reads `now`; both
// are given back as they were afterwards.
class ScopedClock {
 public:
  ScopedClock(const char* tz, std::function<int64_t()> now);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  std::string previousTz_;
  bool hadTz_ = false;
};

// The whole content of a file, bytes as they are; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
// `text` quoted for /bin/sh.
std::string ShellQuote(const std::string& text);

// Path of a file shipped under resources/ (e.g. "machines/faulty-notebook.json").
std::string ResourcePath(std::string_view relative);

}  // namespace testenv
