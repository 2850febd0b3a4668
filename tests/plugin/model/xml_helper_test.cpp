// The catalogue reader, against catalogue files written into a private application directory.
#include "model/xml_helper.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "support/log_capture.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

namespace fs = std::filesystem;

class XmlHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* dir = std::getenv("SYSDIAGNOSE_APP_DIR")) previousAppDir_ = dir;
    appDir_ = fs::temp_directory_path() / ("catalogue-test-" + std::to_string(std::random_device()()));
    fs::create_directories(appDir_ / "config");
    setenv("SYSDIAGNOSE_APP_DIR", appDir_.c_str(), 1);
    testenv::UseMachine(R"({"hardware": {"bluetooth": {"name": "BT"}, "biometric": {"name": "Reader"}}})");
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

// Ids are read the way atoi reads them; duplicates are kept.
TEST_F(XmlHelperTest, ReadsFromTheFirstDetectItemEveryFollowingSiblingWhateverItsName) {
  WriteCatalogue(R"(<sysdiagnose>
  <Other id="1" name="before" description="x"/>
  <DetectItem id="4abc" name="first" description="x"/>
  <Other id="7" name="interleaved" description="y"/>
  <DetectItem id="42" name="b" description=""/>
  <DetectItem id="4" name="c" description=""/>
  <DetectItem id="memory" name="last" description="x"/>
</sysdiagnose>)");

  const auto items = Read();

  EXPECT_EQ(Ids(items), (std::vector<int32_t>{4, 7, 42, 4, 0}));
  EXPECT_EQ(items.at(1), (tagDetectItem{7, u"interleaved", u"y"}));
}

TEST_F(XmlHelperTest, DecodesUtf8NamesAfterAByteOrderMark) {
  WriteCatalogue("\xEF\xBB\xBF<sysdiagnose><DetectItem id=\"4\" name=\"\xE5\xA4\x84\xE7\x90\x86\xE5\x99\xA8\" "
                 "description=\"Caf\xC3\xA9 &amp; \xF0\x9F\x94\x8B\"/></sysdiagnose>");

  const auto items = Read();

  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].name, u"处理器");
  EXPECT_EQ(items[0].description, u"Café & \U0001F50B");
}

// Truncated, or nested deeper than any parser's stack should be taken.
TEST_F(XmlHelperTest, TreatsUnreadableXmlAsAnEmptyCatalogueWithOneError) {
  std::string deep;
  for (int i = 0; i < 200000; ++i) deep += "<DetectItem id='4' name='a' description='x'>";
  for (const std::string& xml : {std::string(R"(<sysdiagnose>
  <DetectItem id="4" name="Processor" description="x"/>
  <DetectItem id="5" name="Mem)"),
                                 "<sysdiagnose>" + deep}) {
    WriteCatalogue(xml);
    testenv::LogCapture capture;

    EXPECT_TRUE(Read().empty());

    const auto errors = capture.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].message.find((appDir_ / "config" / "SysdiagnoseList.xml").string()), std::string::npos)
        << errors[0].message;
  }
}

// Without the device, Bluetooth is dropped with one warning and the fingerprint sensor silently.
TEST_F(XmlHelperTest, KeepsBluetoothAndFingerprintOnlyWhenTheMachineHasThem) {
  WriteCatalogue(R"(<sysdiagnose>
  <DetectItem id="4" name="a" description=""/>
  <DetectItem id="2" name="Bluetooth" description=""/>
  <DetectItem id="11" name="Fingerprint" description=""/>
</sysdiagnose>)");
  EXPECT_EQ(Ids(Read()), (std::vector<int32_t>{4, 2, 11}));
  testenv::UseEmptyMachine();
  testenv::LogCapture capture;

  EXPECT_EQ(Ids(Read()), (std::vector<int32_t>{4}));

  const auto warnings = capture.LinesAtLeast(log4cplus::WARN_LOG_LEVEL);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].message, "is not support BT, ignore bt item(zel::sysdiagnose::XmlHelper::GetDetectItems)");
}

}  // namespace
}  // namespace zel::sysdiagnose
