// The process-wide catalogue. It is built once per process, so the cases that need a catalogue
// of their own build it in a fresh child process.
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

std::u16string Localized(const char16_t* key) { return UICulture::GetInstance().GetString(key); }

// The fill ends with the fingerprint sensor and a model name is never empty, so a named
// fingerprint entry means the background pass is over.
bool WaitForModelNameFill() {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  tagXmlUIInfo info;
  while (std::chrono::steady_clock::now() < deadline) {
    if (GetHardwareCatalog().GetUIInfo(HARDWARE_FINGERPRINT, info) && !info.modelName.empty()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

TEST(HardwareCatalogTest, HoldsPresentationDataForAllTwelveCategories) {
  struct Expected {
    int32_t id;
    std::u16string base;
    const char16_t* key;
  };
  const Expected table[] = {
      {0, u"sound", u"IDS_HARDWARE_DETECT_AUDIO"},     {1, u"motherboard", u"IDS_HARDWARE_DETECT_MOT"},
      {2, u"bt", u"IDS_HARDWARE_DETECT_BT"},           {3, u"network", u"IDS_HARDWARE_DETECT_NETCARD"},
      {4, u"cpu", u"IDS_HARDWARE_DETECT_CPU"},         {5, u"ram", u"IDS_HARDWARE_DETECT_MEM"},
      {6, u"harddisk", u"IDS_HARDWARE_DETECT_DISK"},   {7, u"video", u"IDS_HARDWARE_DETECT_GPU"},
      {8, u"monitor", u"IDS_HARDWARE_DETECT_DISPLAY"}, {9, u"battery", u"IDS_HARDWARE_DETECT_BATTERY"},
      {10, u"keyboard", u"IDS_HARDWARE_DETECT_KEYBOARD"}, {11, u"fp", u"IDS_HARDWARE_DETECT_FP"},
  };
  const auto infos = GetHardwareCatalog().UIInfosCopy();
  ASSERT_EQ(infos.size(), 12u);

  for (const auto& expected : table) {
    SCOPED_TRACE(expected.id);
    const tagXmlUIInfo& info = infos.at(expected.id);
    const std::u16string icon42 = u"file='drawable/hardware/ic_" + expected.base + u"42.png' source='0,0,42,42' ";
    EXPECT_EQ(info.id, expected.id);
    EXPECT_EQ(info.iconSmall, icon42 + u"dest='3,3,17,17'");
    EXPECT_EQ(info.iconMiddle, icon42 + u"dest='5,5,19,19'");
    EXPECT_EQ(info.iconLarge, icon42 + u"dest='10,10,38,38'");
    EXPECT_EQ(info.icon30, u"file='drawable/hardware/ic_" + expected.base + u"30.png'");
    EXPECT_EQ(info.name, Localized(expected.key));
    EXPECT_EQ(info.detectName, info.name);
  }
}

TEST(HardwareCatalogTest, HasNoEntryOutsideTheTwelveCategories) {
  tagXmlUIInfo info;
  info.name = u"untouched";
  EXPECT_FALSE(GetHardwareCatalog().GetUIInfo(12, info));
  EXPECT_FALSE(GetHardwareCatalog().GetUIInfo(-1, info));
  EXPECT_EQ(info.name, u"untouched");
}

TEST(HardwareCatalogTest, BackgroundFillNamesEveryCategory) {
  ASSERT_TRUE(WaitForModelNameFill());

  for (const auto& [id, info] : GetHardwareCatalog().UIInfosCopy()) {
    EXPECT_FALSE(info.modelName.empty()) << "category " << id;
  }
}

TEST(HardwareCatalogTest, RefreshRereadsOneCategoryOnly) {
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
  EXPECT_EQ(cpu.summary, u"First CPU");
}

TEST(HardwareCatalogTest, DiskSummaryListsCapacitiesAndOtherSummariesCopyTheModelName) {
  ASSERT_TRUE(WaitForModelNameFill());
  testenv::UseMachine(R"({"hardware": {
      "disks": [{"caption": "Fast SSD", "capacityGB": 256}, {"caption": "Big HDD", "capacityGB": 1999}]}})");

  GetHardwareCatalog().RefreshModelName(HARDWARE_DISK);
  GetHardwareCatalog().RefreshModelName(HARDWARE_BATTERY);

  tagXmlUIInfo disk, battery;
  ASSERT_TRUE(GetHardwareCatalog().GetUIInfo(HARDWARE_DISK, disk));
  ASSERT_TRUE(GetHardwareCatalog().GetUIInfo(HARDWARE_BATTERY, battery));
  EXPECT_EQ(disk.modelName, u"Fast SSD");
  EXPECT_EQ(disk.summary, u"256 GB+1.9 TB");
  EXPECT_EQ(battery.modelName, Localized(u"IDS_HARDWARE_DEVICE_NAME_ERROR_BLANK"));
  EXPECT_EQ(battery.summary, battery.modelName);
}

TEST(HardwareCatalogTest, RefreshOfAnUnknownIdChangesNothing) {
  ASSERT_TRUE(WaitForModelNameFill());
  const auto before = GetHardwareCatalog().UIInfosCopy();

  GetHardwareCatalog().RefreshModelName(12);
  GetHardwareCatalog().RefreshModelName(-1);

  EXPECT_EQ(GetHardwareCatalog().UIInfosCopy(), before);
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

// ---- A catalogue of its own, built in a fresh process ------------------------------------------

// Runs in the child: builds the singleton from `catalogue` and checks it. Exits with the number
// of failed checks, naming each on stderr.
[[noreturn]] void BuildAndCheckOwnCatalogue() {
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

  int failures = 0;
  auto check = [&failures](bool ok, const char* what) {
    if (!ok) {
      std::fprintf(stderr, "FAILED: %s\n", what);
      ++failures;
    }
  };
  HardwareCatalog& catalog = GetHardwareCatalog();
  std::vector<int32_t> ids;
  for (const auto& item : catalog.Items()) ids.push_back(item.id);
  check(ids == std::vector<int32_t>{4, 5, 42, 4}, "items are the file's, less the fingerprint sensor");

  tagXmlUIInfo fingerprint;
  check(catalog.GetUIInfo(HARDWARE_FINGERPRINT, fingerprint) && fingerprint.icon30 == u"file='drawable/hardware/ic_fp30.png'",
        "the fingerprint entry exists although the catalogue left it out");

  std::vector<int32_t> shown;
  int calls = 0;
  catalog.GetCatalogUIInfos([&](const std::vector<tagXmlUIInfo>& infos) {
    ++calls;
    for (const auto& info : infos) shown.push_back(info.id);
  });
  check(calls == 1, "the callback runs once");
  check(shown == std::vector<int32_t>{4, 5, 4}, "catalogue order, duplicates twice, unknown ids left out");

  fs::remove_all(appDir);
  std::fflush(stderr);
  std::_Exit(failures);
}

TEST(HardwareCatalogOwnProcessTest, BuildsFromTheCatalogueFileAndListsItsEntriesInOrder) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(BuildAndCheckOwnCatalogue(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zel::sysdiagnose
