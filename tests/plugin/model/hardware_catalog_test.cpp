// The process-wide catalogue. It is built once per process, so the case that needs a catalogue
// of its own builds it in a fresh child process.
#include "model/hardware_catalog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "DuiLib/UICulture.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The fill ends with the fingerprint sensor and a model name is never empty, so a named
// fingerprint entry means the background pass is over and cannot overwrite a refresh.
bool WaitForModelNameFill() {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  tagXmlUIInfo info;
  while (std::chrono::steady_clock::now() < deadline) {
    if (GetHardwareCatalog().GetUIInfo(HARDWARE_FINGERPRINT, info) && !info.modelName.empty()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

TEST(HardwareCatalogTest, DescribesTheProcessorImagesExactly) {
  tagXmlUIInfo cpu;
  ASSERT_TRUE(GetHardwareCatalog().GetUIInfo(HARDWARE_CPU, cpu));

  const std::u16string icon42 = u"file='drawable/hardware/ic_cpu42.png' source='0,0,42,42' ";
  EXPECT_EQ(cpu.iconSmall, icon42 + u"dest='3,3,17,17'");
  EXPECT_EQ(cpu.iconMiddle, icon42 + u"dest='5,5,19,19'");
  EXPECT_EQ(cpu.iconLarge, icon42 + u"dest='10,10,38,38'");
  EXPECT_EQ(cpu.icon30, u"file='drawable/hardware/ic_cpu30.png'");
  EXPECT_EQ(cpu.name, UICulture::GetInstance().GetString(u"IDS_HARDWARE_DETECT_CPU"));
}

TEST(HardwareCatalogTest, RefreshRereadsOneCategoryAndSummarizesMemoryInGigabytes) {
  ASSERT_TRUE(WaitForModelNameFill());
  testenv::UseMachine(R"({"hardware": {"cpu": {"name": "First CPU"}}})");
  GetHardwareCatalog().RefreshModelName(HARDWARE_CPU);
  testenv::UseMachine(R"({"hardware": {
      "cpu": {"name": "Second CPU"},
      "memory": {"totalMB": 15974, "modules": [{"partNumber": "  KF3200  "}]}}})");

  GetHardwareCatalog().RefreshModelName(HARDWARE_MEMORY);

  tagXmlUIInfo memory, cpu;
  ASSERT_TRUE(GetHardwareCatalog().GetUIInfo(HARDWARE_MEMORY, memory));
  ASSERT_TRUE(GetHardwareCatalog().GetUIInfo(HARDWARE_CPU, cpu));
  EXPECT_EQ(memory.modelName, u"KF3200");
  EXPECT_EQ(memory.summary, u"16GB");
  EXPECT_EQ(cpu.modelName, u"First CPU");
}

TEST(HardwareCatalogTest, ReadersSeeWholeEntriesWhileRefreshesRun) {
  testenv::UseMachine(R"({"hardware": {"cpu": {"name": "Steady CPU"}, "memory": {"totalMB": 8192}}})");
  std::vector<std::thread> writers;
  for (int32_t id : {HARDWARE_CPU, HARDWARE_MEMORY}) {
    writers.emplace_back([id] {
      for (int i = 0; i < 100; ++i) GetHardwareCatalog().RefreshModelName(id);
    });
  }

  for (int i = 0; i < 200; ++i) {
    tagXmlUIInfo cpu;
    ASSERT_TRUE(GetHardwareCatalog().GetUIInfo(HARDWARE_CPU, cpu));
    if (!cpu.modelName.empty()) {
      EXPECT_EQ(cpu.summary, cpu.modelName);
    }
    GetHardwareCatalog().GetCatalogUIInfos([](const std::vector<tagXmlUIInfo>&) {});
  }
  for (auto& writer : writers) writer.join();

  tagXmlUIInfo memory;
  ASSERT_TRUE(GetHardwareCatalog().GetUIInfo(HARDWARE_MEMORY, memory));
  EXPECT_EQ(memory.summary, u"8GB");
}

// Runs in the child: builds the singleton from a catalogue of its own and prints what it holds:
// whether it has a fingerprint entry and one beyond the twelve categories, how often the
// callback ran and the ids it was shown.
[[noreturn]] void ListOwnCatalogue() {
  const fs::path appDir = fs::temp_directory_path() / ("catalogue-own-" + std::to_string(std::random_device()()));
  fs::create_directories(appDir / "config");
  std::ofstream(appDir / "config" / "SysdiagnoseList.xml") << R"(<sysdiagnose>
  <DetectItem id="4" name="CPU" description=""/>
  <DetectItem id="11" name="Fingerprint" description=""/>
  <DetectItem id="5" name="Memory" description=""/>
  <DetectItem id="42" name="Unknown" description=""/>
  <DetectItem id="4" name="CPU again" description=""/>
</sysdiagnose>)";
  if (const char* shipped = std::getenv("SYSDIAGNOSE_APP_DIR")) {  // keep the string tables
    std::error_code ignored;
    fs::create_directory_symlink(fs::path(shipped) / "lang", appDir / "lang", ignored);
  }
  setenv("SYSDIAGNOSE_APP_DIR", appDir.c_str(), 1);
  testenv::UseMachine(R"({"hardware": {"cpu": {"name": "Own CPU"}}})");  // no fingerprint sensor

  tagXmlUIInfo info;
  const bool fingerprint = GetHardwareCatalog().GetUIInfo(HARDWARE_FINGERPRINT, info);
  const bool beyond = GetHardwareCatalog().GetUIInfo(12, info);
  int calls = 0;
  std::string shown;
  GetHardwareCatalog().GetCatalogUIInfos([&](const std::vector<tagXmlUIInfo>& infos) {
    ++calls;
    for (const auto& entry : infos) shown += " " + std::to_string(entry.id);
  });
  std::fprintf(stderr, "[fingerprint %d, beyond %d, calls %d, shown%s]\n", fingerprint, beyond, calls, shown.c_str());
  fs::remove_all(appDir);
  std::fflush(stderr);
  std::_Exit(0);
}

// Every category keeps its entry although the file left it out; the list shows the file's order,
// duplicates twice, and leaves unknown ids out.
TEST(HardwareCatalogOwnProcessTest, ListsTheFilesEntriesInOrderAndKeepsEveryCategory) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ListOwnCatalogue(), ::testing::ExitedWithCode(0),
              "\\[fingerprint 1, beyond 0, calls 1, shown 4 5 4\\]");
}

}  // namespace
}  // namespace zel::sysdiagnose
