// The reference host's "history" command, run as a separate process over a data directory
// that this test fills.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

#include "history/diagnose_history.h"
#include "history_fixture.h"

namespace {

namespace fs = std::filesystem;
using historytest::HistoryTest;
using zel::sysdiagnose::DiagnoseHistory;

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t CountOf(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class HistoryCommandTest : public HistoryTest {
 protected:
  // The command uses the real clock, so the runs are stored at real moments around now.
  HistoryCommandTest() : HistoryTest("UTC") {
    now_ = static_cast<int64_t>(std::time(nullptr));
    if (now_ % 86400 == 0) ++now_;  // keep "a second ago" on the same day
  }

  Outcome Run(const std::string& args) {
    const fs::path host = fs::path(historytest::OriginalAppDirectory()) / "sysdiagnose-host";
    if (!fs::exists(host)) return {};
    const fs::path out = dataDir_.path() / "out.txt";
    const fs::path err = dataDir_.path() / "err.txt";
    const std::string command = "'" + host.string() + "' history " + args + " >'" + out.string() + "' 2>'" +
                                err.string() + "'";
    const int status = std::system(command.c_str());
    Outcome outcome;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = ReadFile(out);
    outcome.err = ReadFile(err);
    return outcome;
  }

  void SetUp() override {
    if (!fs::exists(fs::path(historytest::OriginalAppDirectory()) / "sysdiagnose-host")) {
      GTEST_SKIP() << "sysdiagnose-host is not built beside the tests";
    }
  }

  std::string DataDirArg() const { return "--data-dir '" + dataDir_.path().string() + "'"; }
};

TEST_F(HistoryCommandTest, PrintsTheLatestRunOfEachDayNewestFirst) {
  const int64_t now = now_;
  auto older = AllNormal();
  older.memoryState = 1;
  SaveAt(now - 2 * 86400, older);
  SaveAt(now - 1, AllNormal());
  auto latest = AllNormal();
  latest.cpuState = 3;
  latest.audioState = -1;
  latest = SaveAt(now, latest);

  const Outcome result = Run(DataDirArg());

  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string firstLine = result.out.substr(0, result.out.find('\n'));
  EXPECT_EQ(firstLine, latest.date + " " + latest.time.substr(11, 2) + ":" + latest.time.substr(14, 2) + ":" +
                           latest.time.substr(17, 2) + "  normal 8, abnormal 1");
  EXPECT_EQ(CountOf(result.out, "  normal "), 2u) << result.out;
  EXPECT_NE(result.out.find("  processor           abnormal\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("  audio               not diagnosed\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("  memory              abnormal\n"), std::string::npos) << result.out;
  EXPECT_LT(result.out.find("  processor"), result.out.find("  mainboard")) << "catalogue order";
  EXPECT_EQ(result.out.find("Bluetooth"), std::string::npos) << "not in the catalogue";
  EXPECT_EQ(CountOf(Run("--days 1 " + DataDirArg()).out, "  normal "), 1u);
}

TEST_F(HistoryCommandTest, AnEmptyHistorySaysSo) {
  const Outcome result = Run(DataDirArg());

  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "no diagnosis runs in the last 90 days\n");
}

TEST_F(HistoryCommandTest, UsageErrorsExitWithTwoAndOneLine) {
  for (const std::string args : {"--days 0", "--days many", "--days", "--colour", "extra"}) {
    const Outcome result = Run(args + " " + DataDirArg());

    EXPECT_EQ(result.exitCode, 2) << args;
    EXPECT_TRUE(result.out.empty()) << args;
    EXPECT_EQ(CountOf(result.err, "sysdiagnose-host history: "), 1u) << args << ": " << result.err;
  }
}

}  // namespace
