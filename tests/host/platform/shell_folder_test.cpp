// Opening a file's folder: xdg-open on the parent folder, and a clear answer when there is none.
#include "platform/shell_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/scoped_env.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using testenv::ScopedEnv;

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
  std::ifstream in(noted);
  std::string argument((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(argument, "/var/log/sysdiagnose");
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
