// Where the application and its data live, and opening a file's folder: xdg-open on the parent
// folder, and a clear answer when there is none.
#include "platform/paths.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/scoped_env.h"
#include "platform/shell_folder.h"
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

// Never a shared, predictable place such as /tmp: the user's own home from the password database.
TEST(Paths, WithoutHomeTheHomeDirectoryIsThePasswordDatabases) {
  const passwd* user = getpwuid(geteuid());
  ASSERT_NE(user, nullptr);
  for (const std::optional<std::string>& home : {std::optional<std::string>(), std::optional<std::string>("relative")}) {
    ScopedEnv unset("HOME", home);
    EXPECT_EQ(platform::HomeDirectory(), user->pw_dir);
  }
}

TEST(OpenContainingFolder, WithoutXdgOpenOnThePathItSaysSo) {
  testenv::ScopedDataDir emptyBin;
  ScopedEnv path("PATH", emptyBin.path().string());

  const std::string answer = platform::OpenContainingFolder("/var/log/sysdiagnose/host.log");

  EXPECT_NE(answer.find("xdg-open could not be started"), std::string::npos) << answer;
}

TEST(OpenContainingFolder, HandsTheParentFolderToXdgOpen) {
  // Given an xdg-open that notes its argument
  testenv::ScopedDataDir bin;
  const fs::path noted = bin.path() / "noted";
  const fs::path script = bin.path() / "xdg-open";
  std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > " << noted << ".tmp && mv " << noted << ".tmp " << noted
                        << "\n";
  chmod(script.c_str(), 0700);
  ScopedEnv path("PATH", bin.path().string() + ":/usr/bin:/bin");

  // When a file's folder is opened
  EXPECT_EQ(platform::OpenContainingFolder("/var/log/sysdiagnose/host.log"), "");

  // Then it received the file's folder (the script runs on its own; wait for its note)
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!fs::exists(noted) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(testenv::ReadFile(noted), "/var/log/sysdiagnose");
}

TEST(OpenContainingFolder, TheTestHookGetsTheFolderOfEveryKindOfName) {
  std::string seen;
  platform::SetOpenFolderForTesting([&](const std::string& folder) {
    seen = folder;
    return std::string("refused");
  });
  for (const auto& [file, folder] : {std::pair{"/var/log/app.log", "/var/log"}, {"logs/app.log", "logs"}, {"app.log", "."}}) {
    EXPECT_EQ(platform::OpenContainingFolder(file), "refused");
    EXPECT_EQ(seen, folder) << file;
  }
  platform::SetOpenFolderForTesting(nullptr);
}

}  // namespace
