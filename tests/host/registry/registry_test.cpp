#include "utility/Registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "support/log_capture.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;

const std::string kKey = "\\SOFTWARE\\Nexwarden\\HardareDetectRepair";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::set<std::string> FileNames(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

std::vector<fs::path> CorruptCopies(const fs::path& dir) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().filename().string().starts_with("registry.json.corrupt-")) found.push_back(entry.path());
  }
  return found;
}

TEST(Registry, ValuesSurviveInTheDocumentedFile) {
  testenv::ScopedDataDir dir;
  DE::Registry writer;
  ASSERT_TRUE(writer.SetRootKey(HKEY_CURRENT_USER));
  ASSERT_FALSE(writer.KeyExists(kKey));
  ASSERT_TRUE(writer.CreateKey(kKey));
  ASSERT_TRUE(DE::Registry::SetValue(HKEY_CURRENT_USER, kKey, "Numbers", 4294967295u, KEY_ALL_ACCESS));
  ASSERT_TRUE(DE::Registry::SetValue(HKEY_CURRENT_USER, kKey, "Other", 7, KEY_ALL_ACCESS));

  DE::Registry reader;
  uint32_t numbers = 0;
  uint32_t other = 0;
  EXPECT_TRUE(reader.KeyExists(kKey));
  EXPECT_TRUE(DE::Registry::GetValue(HKEY_CURRENT_USER, kKey, "Numbers", numbers, KEY_ALL_ACCESS));
  EXPECT_TRUE(DE::Registry::GetValue(HKEY_CURRENT_USER, kKey, "Other", other, KEY_READ));
  EXPECT_EQ(numbers, 4294967295u);
  EXPECT_EQ(other, 7u);
  const auto doc = nlohmann::json::parse(ReadFile(dir.path() / "registry.json"));
  nlohmann::json expected;
  expected["HKEY_CURRENT_USER"][kKey] = {{"Numbers", 4294967295u}, {"Other", 7}};
  EXPECT_EQ(doc, expected);
  EXPECT_EQ(FileNames(dir.path()), (std::set<std::string>{"registry.json", "registry.json.lock"}))
      << "no temporary file is left behind";
}

TEST(Registry, MissingKeysAndValuesAreReportedAndLeaveTheOutputAlone) {
  testenv::ScopedDataDir dir;
  DE::Registry registry;
  uint32_t value = 99;

  EXPECT_FALSE(DE::Registry::GetValue(HKEY_CURRENT_USER, kKey, "Numbers", value, KEY_ALL_ACCESS));
  ASSERT_TRUE(registry.CreateKey(kKey));
  EXPECT_FALSE(DE::Registry::GetValue(HKEY_CURRENT_USER, kKey, "Numbers", value, KEY_ALL_ACCESS));
  EXPECT_EQ(value, 99u);
  EXPECT_TRUE(registry.KeyExists("\\SOFTWARE\\Nexwarden")) << "a key above a created key exists";
  EXPECT_FALSE(registry.KeyExists("\\SOFTWARE\\Nexwarden\\Hardare")) << "a mere text prefix is not a key";
  EXPECT_FALSE(registry.KeyExists("\\software\\nexwarden\\hardaredetectrepair")) << "paths compare as given";
  EXPECT_FALSE(registry.KeyExists(""));
  ASSERT_TRUE(DE::Registry::SetValue(HKEY_CURRENT_USER, "\\New", "Numbers", 3, KEY_ALL_ACCESS));
  EXPECT_TRUE(registry.KeyExists("\\New")) << "SetValue creates its key";
}

TEST(Registry, AccessRightsAndUnknownRootsAreRefused) {
  testenv::ScopedDataDir dir;
  uint32_t value = 0;

  EXPECT_FALSE(DE::Registry::SetValue(HKEY_CURRENT_USER, kKey, "Numbers", 1, KEY_READ));
  ASSERT_TRUE(DE::Registry::SetValue(HKEY_CURRENT_USER, kKey, "Numbers", 1, KEY_WRITE));
  EXPECT_FALSE(DE::Registry::GetValue(HKEY_CURRENT_USER, kKey, "Numbers", value, KEY_WRITE));
  EXPECT_FALSE(DE::Registry().SetRootKey(static_cast<HKEY>(0x80000002u)));
  EXPECT_FALSE(DE::Registry::GetValue(static_cast<HKEY>(0x80000002u), kKey, "Numbers", value, KEY_ALL_ACCESS));
}

TEST(Registry, ValuesThatAreNotThirtyTwoBitNumbersAreNotRead) {
  testenv::ScopedDataDir dir;
  WriteFile(dir.path() / "registry.json",
            R"({"HKEY_CURRENT_USER": {"K": {"text": "12", "negative": -1, "big": 4294967296, "real": 1.5}}})");
  testenv::LogCapture log;

  for (const char* name : {"text", "negative", "big", "real"}) {
    uint32_t value = 5;
    EXPECT_FALSE(DE::Registry::GetValue(HKEY_CURRENT_USER, "K", name, value, KEY_ALL_ACCESS)) << name;
    EXPECT_EQ(value, 5u) << name;
  }
  EXPECT_TRUE(CorruptCopies(dir.path()).empty());
  EXPECT_TRUE(log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL).empty());
}

class RegistryCorruptFile : public ::testing::TestWithParam<std::string> {};

TEST_P(RegistryCorruptFile, IsKeptAsideAndTheRegistryStartsEmpty) {
  testenv::ScopedDataDir dir;
  WriteFile(dir.path() / "registry.json", GetParam());
  testenv::LogCapture log;
  DE::Registry registry;

  EXPECT_FALSE(registry.KeyExists(kKey));
  ASSERT_TRUE(DE::Registry::SetValue(HKEY_CURRENT_USER, kKey, "Numbers", 1, KEY_ALL_ACCESS));

  const auto aside = CorruptCopies(dir.path());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadFile(aside[0]), GetParam());
  const auto errors = log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].message.find(aside[0].string()), std::string::npos) << errors[0].message;
  uint32_t value = 0;
  EXPECT_TRUE(DE::Registry::GetValue(HKEY_CURRENT_USER, kKey, "Numbers", value, KEY_ALL_ACCESS));
  EXPECT_EQ(value, 1u);
}

INSTANTIATE_TEST_SUITE_P(Shapes, RegistryCorruptFile,
                         ::testing::Values(std::string("{\"HKEY_CURRENT_USER\": {\"K\""), std::string("[1, 2]"),
                                           std::string(R"({"HKEY_CURRENT_USER": {"K": 5}})")));

TEST(Registry, ConcurrentWritersFromThreadsLoseNothing) {
  testenv::ScopedDataDir dir;
  constexpr int kThreads = 4;
  constexpr int kValuesEach = 10;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      DE::Registry registry;
      for (int i = 0; i < kValuesEach; ++i) {
        registry.CreateKey(kKey);
        DE::Registry::SetValue(HKEY_CURRENT_USER, kKey, "v" + std::to_string(t * 100 + i),
                               static_cast<uint32_t>(t * 100 + i), KEY_ALL_ACCESS);
      }
    });
  }
  for (auto& thread : threads) thread.join();

  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kValuesEach; ++i) {
      uint32_t value = 0;
      const std::string name = "v" + std::to_string(t * 100 + i);
      EXPECT_TRUE(DE::Registry::GetValue(HKEY_CURRENT_USER, kKey, name, value, KEY_ALL_ACCESS)) << name;
      EXPECT_EQ(value, static_cast<uint32_t>(t * 100 + i));
    }
  }
}

TEST(Registry, ConcurrentWritersFromProcessesLoseNothing) {
  testenv::ScopedDataDir dir;
  constexpr int kChildren = 3;
  constexpr int kValuesEach = 10;
  std::vector<pid_t> children;
  for (int c = 0; c < kChildren; ++c) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int i = 0; i < kValuesEach; ++i) {
        ok = DE::Registry::SetValue(HKEY_CURRENT_USER, kKey, "p" + std::to_string(c * 100 + i), 1, KEY_ALL_ACCESS) &&
             ok;
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  const auto doc = nlohmann::json::parse(ReadFile(dir.path() / "registry.json"));
  EXPECT_EQ(doc["HKEY_CURRENT_USER"][kKey].size(), static_cast<size_t>(kChildren * kValuesEach));
}

}  // namespace
