// The reference host's "history" command, run as a separate process over a data directory
// that this test fills.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "history_fixture.h"

namespace {

namespace fs = std::filesystem;
using historytest::HistoryTest;

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class HistoryCommandTest : public HistoryTest {
 protected:
  // The command uses the real clock, so the runs are stored at real moments around now.
  HistoryCommandTest() : HistoryTest("UTC") { now_ = static_cast<int64_t>(std::time(nullptr)); }

  void SetUp() override {
    if (!fs::exists(Host())) GTEST_SKIP() << "sysdiagnose-host is not built beside the tests";
  }

  static fs::path Host() { return fs::path(historytest::OriginalAppDirectory()) / "sysdiagnose-host"; }

  Outcome Run(const std::string& args) {
    const fs::path out = dataDir_.path() / "out.txt";
    const fs::path err = dataDir_.path() / "err.txt";
    const std::string command = "'" + Host().string() + "' history " + args + " --data-dir '" +
                                dataDir_.path().string() + "' >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
  }
};

TEST_F(HistoryCommandTest, PrintsOneRunPerDayNewestFirst) {
  const int64_t now = now_;  // SaveAt moves the clock
  auto older = AllNormal();
  older.memoryState = 1;
  older = SaveAt(now - 2 * 86400, older);
  auto latest = AllNormal();
  latest.cpuState = 3;
  latest = SaveAt(now, latest);

  const Outcome result = Run("");

  ASSERT_EQ(result.exitCode, 0) << result.err;
  const size_t latestAt = result.out.find(latest.date + " ");
  const size_t olderAt = result.out.find(older.date + " ");
  ASSERT_NE(latestAt, std::string::npos) << result.out;
  ASSERT_NE(olderAt, std::string::npos) << result.out;
  EXPECT_EQ(latestAt, 0u);
  EXPECT_LT(latestAt, olderAt);
  EXPECT_NE(result.out.find("  normal 9, abnormal 1"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("  processor           abnormal\n"), std::string::npos) << result.out;
}

}  // namespace
