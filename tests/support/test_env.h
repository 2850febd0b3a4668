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

// Path of a file shipped under resources/ (e.g. "machines/faulty-notebook.json").
std::string ResourcePath(std::string_view relative);

}  // namespace testenv
