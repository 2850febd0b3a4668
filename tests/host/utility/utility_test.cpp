// The utility library: the logger, text trimming, Windows-style paths, JSON of pairs, and the host facts
// (SystemInfo, CPKTSoftShelf, ProductFeature) from the machine profile's "host" section.
#include "utility/DE.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/paths.h"
#include "support/log_capture.h"
#include "support/test_env.h"
#include "utility/CPKTSoftShelf.h"
#include "utility/JsonSdk.h"
#include "utility/Logger.h"
#include "utility/ProductFeature.h"
#include "utility/SystemInfo.h"

namespace {

namespace fs = std::filesystem;

// The logger opens its file once per process, in the data directory of that moment: configure it
// before any test moves the data directory, and remember where it went.
class LoggerFirst : public ::testing::Environment {
 public:
  void SetUp() override {
    logDirectory = platform::DataDirectory();
    GetLogger();
  }
  static inline std::string logDirectory;
};
[[maybe_unused]] const auto* const kLoggerFirst = ::testing::AddGlobalTestEnvironment(new LoggerFirst);

TEST(Logger, WarnWritesTheQualifiedNameWithTheSourcePlaceToTheLogFile) {
  testenv::LogCapture log;
  hostlog::Warn("OnRecvSample enter 5f3a", "zel::sysdiagnose::UploadWnd::OnRecvSample", "zel_wnd_upload", 42,
                "void zel::sysdiagnose::UploadWnd::OnRecvSample()");

  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, log4cplus::WARN_LOG_LEVEL);
  EXPECT_EQ(lines[0].message, "OnRecvSample enter 5f3a(zel::sysdiagnose::UploadWnd::OnRecvSample)");
  EXPECT_EQ(lines[0].function, "void zel::sysdiagnose::UploadWnd::OnRecvSample()");

  const std::string file = testenv::ReadFile(LoggerFirst::logDirectory + "/sysdiagnose.log");
  EXPECT_NE(file.find("zel_wnd_upload:42 OnRecvSample enter 5f3a(zel::sysdiagnose::UploadWnd::OnRecvSample)"),
            std::string::npos)
      << file;
}

// However long a process logs, the log is at most 1 MiB and one older file, both private
// whatever the umask, the one begun after the roll included.
TEST(Logger, TheLogRollsOverAtOneMebibyteIntoOneOlderFile) {
  const mode_t previous = umask(022);
  const std::string line(1000, 'x');
  for (int i = 0; i < 2200; ++i) hostlog::Error(line, "Logger::Test", "utility_test", __LINE__, __func__);
  umask(previous);

  for (const char* name : {"sysdiagnose.log", "sysdiagnose.log.1"}) {
    const fs::path file = fs::path(LoggerFirst::logDirectory) / name;
    ASSERT_TRUE(fs::exists(file)) << name;
    EXPECT_LE(fs::file_size(file), (1u << 20) + 2000) << name;
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms(0600)) << name;
  }
  EXPECT_FALSE(fs::exists(fs::path(LoggerFirst::logDirectory) / "sysdiagnose.log.2"));
}

TEST(DE, TrimSPRemovesBlanksAtBothEndsOnly) {
  EXPECT_EQ(DE::TrimSP(u"  Intel(R) Core(TM) i7 \t\r\n"), u"Intel(R) Core(TM) i7");
  EXPECT_EQ(DE::TrimSP(u" \t\r\n "), u"");
}

TEST(DE, FileExistsTakesAWindowsStylePathToAFile) {
  testenv::ScopedDataDir dir;
  fs::create_directories(dir.path() / "config");
  const std::string windowsPath = dir.path().string() + "\\config\\SysdiagnoseList.xml";
  EXPECT_FALSE(DE::FileExists(windowsPath));
  EXPECT_FALSE(DE::FileExists(dir.path().string() + "\\config"));

  std::ofstream(dir.path() / "config" / "SysdiagnoseList.xml") << "<root/>";
  EXPECT_TRUE(DE::FileExists(windowsPath));
}

TEST(JsonSdk, VectorToJsonKeepsThePairsInTheirOrderEscaped) {
  std::string out;
  ASSERT_TRUE(JsonSdk::VectorToJson(out, {{"zeta", "1"}, {"alpha", "say \"hi\""}, {"mid", "3"}}));
  EXPECT_EQ(out, R"({"zeta":"1","alpha":"say \"hi\"","mid":"3"})");
}

// Without a host section: English, every feature on, and the fingerprint sensor present when the
// hardware names one.
TEST(HostFacts, ComeFromTheProfilesHostSectionElseTheDefaults) {
  const struct {
    const char* profile;
    std::u16string language;
    bool logUpload;
    int fingerprintStatus;
    bool fingerprintPresent;
  } cases[] = {
      {R"({"host": {"userLanguage": "zh-CN", "features": {"AppLogUpload": false},
                    "fingerprint": {"status": 3, "present": false}},
           "hardware": {"biometric": {"name": "Goodix"}}})",
       u"zh-CN", false, 3, false},
      {R"({"hardware": {"biometric": {"name": "Goodix", "manufacturer": "Goodix"}}})", u"en-US", true, 0, true},
      {R"({"hardware": {"cpu": {"name": "x"}}})", u"en-US", true, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.profile);
    testenv::UseMachine(c.profile);
    EXPECT_EQ(SystemInfo::getCurrentUserLanguage(), c.language);
    EXPECT_EQ(CPKTSoftShelf::GetInstance().IsSupportPlugin("AppLogUpload"), c.logUpload);
    EXPECT_TRUE(CPKTSoftShelf::GetInstance().IsSupportPlugin("never_listed"));
    bool present = !c.fingerprintPresent;
    EXPECT_EQ(ProductAdapt::ProductFeature::GetInstance().GetFingerprintStatus(present), c.fingerprintStatus);
    EXPECT_EQ(present, c.fingerprintPresent);
  }
  testenv::UseEmptyMachine();
}

}  // namespace
