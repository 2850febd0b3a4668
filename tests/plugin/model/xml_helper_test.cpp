// The catalogue reader, against catalogue files written into a private application directory.
#include "model/xml_helper.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "model/system_environment.h"
#include "support/log_capture.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMachineWithEverything =
    R"({"hardware": {"bluetooth": {"name": "BT 5.1"}, "biometric": {"name": "Reader"}}})";

std::vector<testenv::LoggedLine> LinesFrom(const testenv::LogCapture& capture, const std::string& tag,
                                           log4cplus::LogLevel level) {
  std::vector<testenv::LoggedLine> lines;
  for (auto& line : capture.Lines()) {
    if (line.file == tag && line.level == level) lines.push_back(line);
  }
  return lines;
}

class XmlHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* dir = std::getenv("SYSDIAGNOSE_APP_DIR")) previousAppDir_ = dir;
    std::random_device random;
    appDir_ = fs::temp_directory_path() / ("catalogue-test-" + std::to_string(random()));
    fs::create_directories(appDir_ / "config");
    setenv("SYSDIAGNOSE_APP_DIR", appDir_.c_str(), 1);
    testenv::UseMachine(kMachineWithEverything);
  }

  void TearDown() override {
    setenv("SYSDIAGNOSE_APP_DIR", previousAppDir_.c_str(), 1);
    fs::remove_all(appDir_);
  }

  void WriteCatalogue(const std::string& bytes) {
    std::ofstream(appDir_ / "config" / "SysdiagnoseList.xml", std::ios::binary) << bytes;
  }

  // Starts from a stale list so that a reader that forgets to clear it is caught.
  static std::vector<tagDetectItem> Read() {
    std::vector<tagDetectItem> items{{99, u"stale", u"stale"}};
    XmlHelper("config\\SysdiagnoseList.xml").GetDetectItems(items);
    return items;
  }

  static std::vector<int32_t> Ids(const std::vector<tagDetectItem>& items) {
    std::vector<int32_t> ids;
    for (const auto& item : items) ids.push_back(item.id);
    return ids;
  }

  fs::path appDir_;
  std::string previousAppDir_;
};

TEST_F(XmlHelperTest, ReadsEveryItemInFileOrderWithItsTexts) {
  WriteCatalogue(R"(<?xml version="1.0" encoding="utf-8"?>
<sysdiagnose>
  <DetectItem id="4" name="Processor" description="Clock and caches"/>
  <DetectItem id="5" name="Memory" description="Modules"/>
</sysdiagnose>)");

  const auto items = Read();

  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0], (tagDetectItem{4, u"Processor", u"Clock and caches"}));
  EXPECT_EQ(items[1], (tagDetectItem{5, u"Memory", u"Modules"}));
}

TEST_F(XmlHelperTest, KeepsDuplicateAndUnknownIdsInFileOrder) {
  WriteCatalogue(R"(<sysdiagnose>
  <DetectItem id="4" name="a" description=""/>
  <DetectItem id="42" name="b" description=""/>
  <DetectItem id="4" name="c" description=""/>
  <DetectItem id="-1" name="d" description=""/>
</sysdiagnose>)");

  EXPECT_EQ(Ids(Read()), (std::vector<int32_t>{4, 42, 4, -1}));
}

TEST_F(XmlHelperTest, ReadsIdsTheWayAtoiDoes) {
  WriteCatalogue(R"(<sysdiagnose>
  <DetectItem id="4abc" name="a" description=""/>
  <DetectItem id="" name="b" description=""/>
  <DetectItem id="  +7" name="c" description=""/>
  <DetectItem id="memory" name="d" description=""/>
</sysdiagnose>)");

  EXPECT_EQ(Ids(Read()), (std::vector<int32_t>{4, 0, 7, 0}));
}

TEST_F(XmlHelperTest, NeverReadsAnElementBeforeTheFirstDetectItem) {
  WriteCatalogue(R"(<sysdiagnose>
  <Other id="1" name="before" description="x"/>
  <DetectItem id="4" name="first" description="x"/>
</sysdiagnose>)");

  const auto items = Read();

  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].name, u"first");
}

TEST_F(XmlHelperTest, ReadsEveryFollowingSiblingWhateverItsName) {
  WriteCatalogue(R"(<sysdiagnose>
  <DetectItem id="4" name="first" description="x"/>
  <Other id="1" name="interleaved" description="x"><DetectItem id="9" name="nested" description="x"/></Other>
  <!-- a comment -->
  <DetectItem id="5" name="last" description="x"/>
</sysdiagnose>)");

  const auto items = Read();

  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1], (tagDetectItem{1, u"interleaved", u"x"}));
  EXPECT_EQ(items[2].name, u"last");
}

TEST_F(XmlHelperTest, LeavesOutOnlyTheItemThatMissesAnAttribute) {
  WriteCatalogue(R"(<sysdiagnose>
  <DetectItem id="4" name="no description"/>
  <DetectItem name="no id" description="x"/>
  <DetectItem id="6" description="no name"/>
  <DetectItem ID="7" name="wrong case" description="x"/>
  <DetectItem id="5" name="complete" description="" extra="ignored"/>
</sysdiagnose>)");

  EXPECT_EQ(Ids(Read()), (std::vector<int32_t>{5}));
}

TEST_F(XmlHelperTest, TakesTheFirstOfARepeatedAttribute) {
  WriteCatalogue(R"(<sysdiagnose><DetectItem id="4" id="5" name="first" name="second" description="x"/></sysdiagnose>)");

  const auto items = Read();

  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0], (tagDetectItem{4, u"first", u"x"}));
}

TEST_F(XmlHelperTest, UsesTheFirstSysdiagnoseElementOnly) {
  WriteCatalogue(R"(<other><DetectItem id="1" name="outside" description="x"/></other>
<sysdiagnose><DetectItem id="4" name="used" description="x"/></sysdiagnose>
<sysdiagnose><DetectItem id="5" name="second list" description="x"/></sysdiagnose>)");

  EXPECT_EQ(Ids(Read()), (std::vector<int32_t>{4}));
}

TEST_F(XmlHelperTest, DecodesUtf8NamesAfterAByteOrderMark) {
  WriteCatalogue("\xEF\xBB\xBF<sysdiagnose><DetectItem id=\"4\" name=\"\xE5\xA4\x84\xE7\x90\x86\xE5\x99\xA8\" "
                 "description=\"Caf\xC3\xA9 &amp; \xF0\x9F\x94\x8B\"/></sysdiagnose>");

  const auto items = Read();

  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].name, u"处理器");
  EXPECT_EQ(items[0].description, u"Café & \U0001F50B");
}

TEST_F(XmlHelperTest, GivesAnEmptyListSilentlyWhenTheFileOrTheListIsAbsent) {
  testenv::LogCapture capture;

  EXPECT_TRUE(Read().empty());
  WriteCatalogue("<catalogue><DetectItem id=\"4\" name=\"a\" description=\"b\"/></catalogue>");
  EXPECT_TRUE(Read().empty());
  WriteCatalogue("<sysdiagnose><Item id=\"4\" name=\"a\" description=\"b\"/></sysdiagnose>");
  EXPECT_TRUE(Read().empty());

  EXPECT_TRUE(LinesFrom(capture, "zel_model_xml", log4cplus::ERROR_LOG_LEVEL).empty());
}

TEST_F(XmlHelperTest, TreatsMalformedXmlAsAnEmptyCatalogueWithOneError) {
  WriteCatalogue(R"(<sysdiagnose>
  <DetectItem id="4" name="Processor" description="x"/>
  <DetectItem id="5" name="Mem)");
  testenv::LogCapture capture;

  const auto items = Read();

  EXPECT_TRUE(items.empty());
  const auto errors = LinesFrom(capture, "zel_model_xml", log4cplus::ERROR_LOG_LEVEL);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].message.find((appDir_ / "config" / "SysdiagnoseList.xml").string()), std::string::npos)
      << errors[0].message;
  EXPECT_NE(errors[0].message.find("not well-formed"), std::string::npos) << errors[0].message;
}

TEST_F(XmlHelperTest, DropsBluetoothWithOneWarningWhenTheMachineHasNone) {
  testenv::UseMachine(R"({"hardware": {"biometric": {"name": "Reader"}}})");
  WriteCatalogue(R"(<sysdiagnose>
  <DetectItem id="4" name="a" description=""/>
  <DetectItem id="2" name="Bluetooth" description=""/>
  <DetectItem id="11" name="Fingerprint" description=""/>
</sysdiagnose>)");
  testenv::LogCapture capture;

  const auto items = Read();

  EXPECT_EQ(Ids(items), (std::vector<int32_t>{4, 11}));
  const auto warnings = LinesFrom(capture, "zel_model_xml", log4cplus::WARN_LOG_LEVEL);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].message,
            "is not support BT, ignore bt item(zel::sysdiagnose::XmlHelper::GetDetectItems)");
  EXPECT_EQ(warnings[0].line, 67);
  EXPECT_NE(warnings[0].function.find("XmlHelper::GetDetectItems("), std::string::npos) << warnings[0].function;
}

TEST_F(XmlHelperTest, KeepsBluetoothAndFingerprintWithoutALogWhenPresent) {
  WriteCatalogue(R"(<sysdiagnose>
  <DetectItem id="2" name="Bluetooth" description=""/>
  <DetectItem id="11" name="Fingerprint" description=""/>
</sysdiagnose>)");
  testenv::LogCapture capture;

  EXPECT_EQ(Ids(Read()), (std::vector<int32_t>{2, 11}));
  EXPECT_TRUE(capture.LinesAtLeast(log4cplus::WARN_LOG_LEVEL).empty());
}

TEST_F(XmlHelperTest, DropsTheFingerprintSensorSilentlyWhenTheMachineHasNone) {
  testenv::UseMachine(R"({"hardware": {"bluetooth": {"name": "BT"}}})");
  WriteCatalogue(R"(<sysdiagnose>
  <DetectItem id="11" name="Fingerprint" description=""/>
  <DetectItem id="2" name="Bluetooth" description=""/>
</sysdiagnose>)");
  testenv::LogCapture capture;

  EXPECT_EQ(Ids(Read()), (std::vector<int32_t>{2}));
  EXPECT_TRUE(capture.Lines().empty());
}

TEST(SystemEnvironmentTest, ReportsTheSensorAndLogsAFailedQueryAsADebugLine) {
  testenv::UseMachine(R"({"host": {"fingerprint": {"status": 5, "present": true}}})");
  testenv::LogCapture capture;

  EXPECT_TRUE(SystemEnvironment::IsSupportFingerPrint());

  const auto lines = LinesFrom(capture, "zel_model_env", log4cplus::DEBUG_LOG_LEVEL);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].message, "result=5IsSupportFingerPrint=1(SystemEnvironment::IsSupportFingerPrint)");
}

TEST(SystemEnvironmentTest, StaysQuietWhenTheQuerySucceeds) {
  testenv::UseMachine(R"({"host": {"fingerprint": {"status": 0, "present": false}}})");
  testenv::LogCapture capture;

  EXPECT_FALSE(SystemEnvironment::IsSupportFingerPrint());
  EXPECT_TRUE(capture.Lines().empty());
}

}  // namespace
}  // namespace zel::sysdiagnose
