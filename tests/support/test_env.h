#pragma once
// Shared helpers for tests: a private data directory and a described machine.
#include <gtest/gtest.h>

#include <filesystem>
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

// Path of a file shipped under resources/ (e.g. "machines/faulty-notebook.json").
std::string ResourcePath(std::string_view relative);

}  // namespace testenv
