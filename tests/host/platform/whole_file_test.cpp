// Files that appear whole: the mode asked for whatever the umask, a link at the path replaced and
// not written through, a clear refusal that leaves nothing behind, and a reader that never sees
// half a file while it is rewritten.
#include "platform/whole_file.h"

#include <gmock/gmock.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(WholeFile, HasTheModeAskedForWhateverTheUmask) {
  testenv::ScopedDataDir scratch;
  const fs::path file = scratch.path() / "health.prom";
  const struct { mode_t umask, mode; } cases[] = {{077, 0644}, {0, 0600}, {022, 0644}};
  for (const auto& c : cases) {
    const mode_t previous = ::umask(c.umask);
    const std::string error = platform::WriteWholeFile(file.string(), "mode " + std::to_string(c.mode) + "\n", c.mode);
    ::umask(previous);
    ASSERT_EQ(error, "");
    EXPECT_EQ(static_cast<mode_t>(fs::status(file).permissions()), c.mode) << "umask " << c.umask;
    EXPECT_EQ(testenv::ReadFile(file), "mode " + std::to_string(c.mode) + "\n");
  }
  EXPECT_EQ(Names(scratch.path()), std::vector<std::string>{"health.prom"});
}

TEST(WholeFile, ReplacesALinkAtThePathInsteadOfWritingThroughIt) {
  testenv::ScopedDataDir scratch;
  const fs::path elsewhere = scratch.path() / "elsewhere";
  std::ofstream(elsewhere) << "not to be touched";
  fs::create_symlink(elsewhere, scratch.path() / "health.prom");

  ASSERT_EQ(platform::WriteWholeFile((scratch.path() / "health.prom").string(), "new\n", 0644), "");

  EXPECT_FALSE(fs::is_symlink(scratch.path() / "health.prom"));
  EXPECT_EQ(testenv::ReadFile(scratch.path() / "health.prom"), "new\n");
  EXPECT_EQ(testenv::ReadFile(elsewhere), "not to be touched");
}

TEST(WholeFile, APlaceThatCannotTakeTheFileIsRefusedWithTheReason) {
  testenv::ScopedDataDir scratch;
  std::ofstream(scratch.path() / "plain") << "a file";
  fs::create_directory(scratch.path() / "dir.prom");
  const struct {
    std::string path, says;
  } cases[] = {
      {(scratch.path() / "missing" / "x.prom").string(), "No such file or directory"},
      {(scratch.path() / "plain" / "x.prom").string(), "is not a directory"},
      {(scratch.path() / "dir.prom").string(), "dir.prom is a directory"},
      {"/proc/self/x.prom", "cannot create a file in /proc/self"},
  };
  for (const auto& c : cases) {
    EXPECT_THAT(platform::WholeFileProblem(c.path), HasSubstr(c.says)) << c.path;
    EXPECT_THAT(platform::WriteWholeFile(c.path, "text", 0644), HasSubstr(c.says)) << c.path;
  }
  EXPECT_EQ(platform::WholeFileProblem((scratch.path() / "x.prom").string()), "");
  EXPECT_EQ(Names(scratch.path()), (std::vector<std::string>{"dir.prom", "plain"}));
  EXPECT_TRUE(fs::is_empty(scratch.path() / "dir.prom"));
}

// A reader opening the file at any moment finds one whole version: node_exporter reads on its own time.
TEST(WholeFile, AReaderSeesTheOldFileOrTheNewOneNeverHalfOfOne) {
  testenv::ScopedDataDir scratch;
  const fs::path file = scratch.path() / "health.prom";
  const auto version = [](char c) { return std::string(256 * 1024, c) + "\n"; };
  ASSERT_EQ(platform::WriteWholeFile(file.string(), version('a'), 0644), "");

  std::atomic<bool> done{false};
  std::atomic<int> reads{0}, torn{0};
  std::thread reader([&] {
    while (!done.load()) {
      const std::string text = testenv::ReadFile(file);
      ++reads;
      if (text != version(text.empty() ? '?' : text[0])) ++torn;
    }
  });
  for (int i = 0; i < 40; ++i) ASSERT_EQ(platform::WriteWholeFile(file.string(), version("bcd"[i % 3]), 0644), "");
  done = true;
  reader.join();

  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(torn.load(), 0);
}

}  // namespace
