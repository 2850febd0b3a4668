#include "utility/Logger.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/paths.h"
#include "support/log_capture.h"

namespace {

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

std::string ReadLogFile() {
  std::ifstream in(LoggerFirst::logDirectory + "/sysdiagnose.log");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Logger, WarnAppendsTheQualifiedNameAndPassesTheSourcePlace) {
  testenv::LogCapture log;
  hostlog::Warn("OnRecvSample enter", "zel::sysdiagnose::UploadWnd::OnRecvSample", "zel_wnd_upload", 42,
                "void zel::sysdiagnose::UploadWnd::OnRecvSample(const std::vector<Item>&)");

  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, log4cplus::WARN_LOG_LEVEL);
  EXPECT_EQ(lines[0].level, 30000);
  EXPECT_EQ(lines[0].message, "OnRecvSample enter(zel::sysdiagnose::UploadWnd::OnRecvSample)");
  EXPECT_EQ(lines[0].file, "zel_wnd_upload");
  EXPECT_EQ(lines[0].line, 42);
  EXPECT_EQ(lines[0].function, "void zel::sysdiagnose::UploadWnd::OnRecvSample(const std::vector<Item>&)");
}

TEST(Logger, ErrorIsLoggedAtErrorLevel) {
  testenv::LogCapture log;
  hostlog::Error("cannot open", "zel::sysdiagnose::XmlHelper::Load", "zel_model_xml", 7, "bool Load()");
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_EQ(log.Lines()[0].level, log4cplus::ERROR_LOG_LEVEL);
}

TEST(Logger, WritesToTheLogFileOfTheDataDirectory) {
  hostlog::Warn("a line for the file 5f3a", "ns::Writer::Write", "zel_test_tag", 314, "void ns::Writer::Write()");
  const std::string file = ReadLogFile();
  EXPECT_NE(file.find("zel_test_tag:314 a line for the file 5f3a(ns::Writer::Write)"), std::string::npos) << file;
}

TEST(Logger, NothingIsFormattedBelowTheLoggersLevel) {
  testenv::LogCapture log;
  log4cplus::Logger logger = GetLogger();
  const auto previous = logger.getLogLevel();
  logger.setLogLevel(log4cplus::ERROR_LOG_LEVEL);

  hostlog::Warn("hidden", "ns::F", "tag", 1, "void ns::F()");
  hostlog::Error("shown", "ns::F", "tag", 2, "void ns::F()");
  logger.setLogLevel(previous);

  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].message, "shown(ns::F)");
}

}  // namespace
