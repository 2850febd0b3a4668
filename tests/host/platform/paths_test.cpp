#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "host/scoped_env.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using testenv::ScopedEnv;

TEST(Paths, ExecutablePathNamesTheRunningTest) {
  const fs::path exe = platform::ExecutablePath();
  EXPECT_TRUE(exe.is_absolute());
  EXPECT_EQ(exe.filename(), "test_host_platform");
}

TEST(Paths, AppDirectoryComesFromTheEnvironmentWhenSet) {
  ScopedEnv app("SYSDIAGNOSE_APP_DIR", "/opt/sysdiagnose");
  EXPECT_EQ(platform::AppDirectory(), "/opt/sysdiagnose");
}

TEST(Paths, AppDirectoryIsTheExecutablesDirectoryOtherwise) {
  const std::string exeDir = fs::path(platform::ExecutablePath()).parent_path().string();
  {
    ScopedEnv app("SYSDIAGNOSE_APP_DIR", std::nullopt);
    EXPECT_EQ(platform::AppDirectory(), exeDir);
  }
  {
    ScopedEnv app("SYSDIAGNOSE_APP_DIR", "");
    EXPECT_EQ(platform::AppDirectory(), exeDir);
  }
}

TEST(Paths, DataDirectoryFromTheEnvironmentIsCreated) {
  testenv::ScopedDataDir scratch;
  const fs::path wanted = scratch.path() / "nested" / "data";
  ScopedEnv data("SYSDIAGNOSE_DATA_DIR", wanted.string());

  EXPECT_EQ(platform::DataDirectory(), wanted.string());
  EXPECT_TRUE(fs::is_directory(wanted));
}

TEST(Paths, DataDirectoryFallsBackToXdgDataHome) {
  testenv::ScopedDataDir scratch;
  ScopedEnv data("SYSDIAGNOSE_DATA_DIR", "");
  ScopedEnv xdg("XDG_DATA_HOME", (scratch.path() / "xdg").string());

  EXPECT_EQ(platform::DataDirectory(), (scratch.path() / "xdg" / "sysdiagnose").string());
  EXPECT_TRUE(fs::is_directory(scratch.path() / "xdg" / "sysdiagnose"));
}

TEST(Paths, DataDirectoryFallsBackToTheHomeDirectory) {
  testenv::ScopedDataDir scratch;
  ScopedEnv data("SYSDIAGNOSE_DATA_DIR", std::nullopt);
  ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
  ScopedEnv home("HOME", scratch.path().string());

  const fs::path expected = scratch.path() / ".local" / "share" / "sysdiagnose";
  EXPECT_EQ(platform::DataDirectory(), expected.string());
  EXPECT_TRUE(fs::is_directory(expected));
}

TEST(Paths, DataDirectoryIsReadAfreshOnEveryCall) {
  testenv::ScopedDataDir first;
  const std::string a = platform::DataDirectory();
  testenv::ScopedDataDir second;
  EXPECT_NE(platform::DataDirectory(), a);
  EXPECT_EQ(platform::DataDirectory(), second.path().string());
}

TEST(Paths, NativePathTurnsBackslashesIntoSlashes) {
  EXPECT_EQ(platform::NativePath("config\\SysdiagnoseList.xml"), "config/SysdiagnoseList.xml");
  EXPECT_EQ(platform::NativePath("layout\\sub\\sysdiagnose_scan.xml"), "layout/sub/sysdiagnose_scan.xml");
  EXPECT_EQ(platform::NativePath("drawable/hardware/ic_cpu42.png"), "drawable/hardware/ic_cpu42.png");
  EXPECT_EQ(platform::NativePath(""), "");
}

}  // namespace
