#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "host/scoped_env.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using testenv::ScopedEnv;

TEST(Paths, AppDirectoryIsTheEnvironmentsOrElseTheExecutables) {
  const std::string exeDir = fs::path(platform::ExecutablePath()).parent_path().string();
  {
    ScopedEnv app("SYSDIAGNOSE_APP_DIR", "/opt/sysdiagnose");
    EXPECT_EQ(platform::AppDirectory(), "/opt/sysdiagnose");
  }
  ScopedEnv app("SYSDIAGNOSE_APP_DIR", "");
  EXPECT_EQ(platform::AppDirectory(), exeDir);
}

TEST(Paths, DataDirectoryFallsBackFromEnvironmentToXdgToHomeAndIsCreated) {
  testenv::ScopedDataDir scratch;
  const fs::path wanted = scratch.path() / "nested" / "data";
  {
    ScopedEnv data("SYSDIAGNOSE_DATA_DIR", wanted.string());
    EXPECT_EQ(platform::DataDirectory(), wanted.string());
    EXPECT_TRUE(fs::is_directory(wanted));
  }
  ScopedEnv data("SYSDIAGNOSE_DATA_DIR", "");
  {
    ScopedEnv xdg("XDG_DATA_HOME", (scratch.path() / "xdg").string());
    EXPECT_EQ(platform::DataDirectory(), (scratch.path() / "xdg" / "sysdiagnose").string());
  }
  ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
  ScopedEnv home("HOME", scratch.path().string());
  const fs::path expected = scratch.path() / ".local" / "share" / "sysdiagnose";
  EXPECT_EQ(platform::DataDirectory(), expected.string());
  EXPECT_TRUE(fs::is_directory(expected));
}

}  // namespace
