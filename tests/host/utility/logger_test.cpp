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

TEST(Logger, WarnWritesTheQualifiedNameWithTheSourcePlaceToTheLogFile) {
  testenv::LogCapture log;
  hostlog::Warn("OnRecvSample enter 5f3a", "zel::sysdiagnose::UploadWnd::OnRecvSample", "zel_wnd_upload", 42,
                "void zel::sysdiagnose::UploadWnd::OnRecvSample()");

  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, log4cplus::WARN_LOG_LEVEL);
  EXPECT_EQ(lines[0].message, "OnRecvSample enter 5f3a(zel::sysdiagnose::UploadWnd::OnRecvSample)");
  EXPECT_EQ(lines[0].function, "void zel::sysdiagnose::UploadWnd::OnRecvSample()");

  std::ifstream in(LoggerFirst::logDirectory + "/sysdiagnose.log");
  std::ostringstream file;
  file << in.rdbuf();
  EXPECT_NE(file.str().find("zel_wnd_upload:42 OnRecvSample enter 5f3a(zel::sysdiagnose::UploadWnd::OnRecvSample)"),
            std::string::npos)
      << file.str();
}

}  // namespace
