#include "utility/Registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "support/log_capture.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;

const std::string kKey = "\\SOFTWARE\\Nexwarden\\HardareDetectRepair";

TEST(Registry, ValuesSurviveInOneWholeFile) {
  testenv::ScopedDataDir dir;
  DE::Registry writer;
  ASSERT_TRUE(writer.CreateKey(kKey));
  ASSERT_TRUE(DE::Registry::SetValue(HKEY_CURRENT_USER, kKey, "Numbers", 4294967295u, KEY_ALL_ACCESS));

  DE::Registry reader;
  uint32_t numbers = 0;
  EXPECT_TRUE(reader.KeyExists(kKey));
  EXPECT_TRUE(DE::Registry::GetValue(HKEY_CURRENT_USER, kKey, "Numbers", numbers, KEY_READ));
  EXPECT_EQ(numbers, 4294967295u);
  EXPECT_FALSE(DE::Registry::GetValue(HKEY_CURRENT_USER, kKey, "Missing", numbers, KEY_READ));
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(dir.path())) files.insert(entry.path().filename().string());
  EXPECT_EQ(files, (std::set<std::string>{"registry.json", "registry.json.lock"}));
}

TEST(Registry, ACorruptFileIsKeptAsideForAnEmptyRegistry) {
  testenv::ScopedDataDir dir;
  const std::string corrupt = "{\"HKEY_CURRENT_USER\": {\"K\"";
  std::ofstream(dir.path() / "registry.json", std::ios::binary) << corrupt;
  testenv::LogCapture log;

  EXPECT_FALSE(DE::Registry().KeyExists("K"));
  ASSERT_TRUE(DE::Registry::SetValue(HKEY_CURRENT_USER, kKey, "Numbers", 1, KEY_ALL_ACCESS));

  std::vector<fs::path> aside;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    if (entry.path().filename().string().starts_with("registry.json.corrupt-")) aside.push_back(entry.path());
  }
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(testenv::ReadFile(aside[0]), corrupt);
  EXPECT_EQ(log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL).size(), 1u);
}

// Threads of one process and separate processes both write at once.
TEST(Registry, ConcurrentWritersLoseNothing) {
  testenv::ScopedDataDir dir;
  constexpr int kProcesses = 3;
  constexpr int kThreads = 2;
  constexpr int kValuesEach = 10;
  const auto writeSeries = [](int process, int t) {
    for (int i = 0; i < kValuesEach; ++i) {
      const std::string name = std::to_string(process) + "." + std::to_string(t) + "." + std::to_string(i);
      DE::Registry::SetValue(HKEY_CURRENT_USER, kKey, name, 1, KEY_ALL_ACCESS);
    }
  };
  std::vector<pid_t> children;
  for (int p = 1; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // A forked child of a threaded process must not start threads: it writes its series in turn.
      for (int t = 0; t < kThreads; ++t) writeSeries(p, t);
      _exit(0);
    }
    children.push_back(pid);
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(writeSeries, 0, t);
  for (auto& thread : threads) thread.join();
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  const auto doc = nlohmann::json::parse(testenv::ReadFile(dir.path() / "registry.json"));
  EXPECT_EQ(doc["HKEY_CURRENT_USER"][kKey].size(), static_cast<size_t>(kProcesses * kThreads * kValuesEach));
}

}  // namespace
