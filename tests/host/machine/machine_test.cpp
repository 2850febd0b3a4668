// The process's machine: answering checks and repairs, fixes, the journal, delays and the
// profile named by $SYSDIAGNOSE_MACHINE.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "host/scoped_env.h"
#include "machine/machine.h"
#include "support/test_env.h"

namespace host::machine {
namespace {

using std::chrono::milliseconds;

Machine& M() { return Machine::Instance(); }

TEST(MachineChecks, AMissingCheckPassesAndAGivenOneAnswersAsWritten) {
  testenv::UseMachine(R"({"checks": {"wifi": {"switch": {"code": 2, "messageKey": "IDS_HARDWARE_DIAGNOSE_WIFI_WARN",
                                                          "passed": false, "level": 1}}}})");

  EXPECT_EQ(M().RunCheck("WifiFaultDetect::CheckWifiSignal", "wifi.signal"), CheckResult{});
  const CheckResult switched = M().RunCheck("WifiFaultDetect::CheckWifiSwitch", "wifi.switch");
  EXPECT_EQ(switched.code, 2u);
  EXPECT_EQ(switched.messageKey, u"IDS_HARDWARE_DIAGNOSE_WIFI_WARN");
  EXPECT_FALSE(switched.passed);
  EXPECT_EQ(switched.level, 1u);
}

TEST(MachineChecks, AnEmptyMachineHasNoDevicesAndPassesEverything) {
  testenv::UseEmptyMachine();

  ASSERT_NE(M().Current(), nullptr);
  EXPECT_TRUE(M().Current()->hardware.disks.empty());
  EXPECT_EQ(M().RunCheck("CMemFaultDetect::CheckRandom", "memory.random"), CheckResult{});
  EXPECT_FALSE(M().Flag("CBluetoothDetect::IsSurportBt", "bluetooth.supported", true));
  EXPECT_TRUE(M().Flag("CCpuTest::IsSupportSSE", "cpu.support.sse", false));
  EXPECT_TRUE(M().RunRepair("CKeyBoardDetect::RepairHotkey", "RepairHotkey").succeeded);
}

TEST(MachineChecks, ARefusedProfileLeavesTheCurrentOneInPlace) {
  testenv::UseMachine(R"({"hardware": {"cpu": {"name": "Kept"}}})");

  const LoadResult refused = M().LoadJson(R"({"hardware": {"cpu": {"nmae": "Typo"}}})", "bad.json");

  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.error, "bad.json: unknown key 'hardware.cpu.nmae'");
  EXPECT_EQ(M().Current()->hardware.cpu.name, u"Kept");
}

// ---- repairs and their fixes ---------------------------------------------------------------

constexpr std::string_view kRepairable = R"({
  "checks": {"wifi": {"switch": {"code": 2, "passed": false, "delayMs": 5}}, "keyboard": {"hotKey": 4},
             "video": {"deviceReturn": 3},
             "disks": [{"code": 1}, {"code": 3, "smart": [1, 1]}]},
  "hardware": {"disks": [{"firmware": "A"}, {"firmware": "B"}]},
  "repairs": {"RepairWifiProblem": {"fixes": ["wifi.switch", "video.deviceReturn", "disks[1]"]},
              "RepairHotkey": {"succeeded": false, "code": 9, "fixes": ["keyboard.hotKey"]}}})";

TEST(MachineRepairs, ASucceedingRepairMakesItsChecksPassFromThenOn) {
  testenv::UseMachine(kRepairable);

  const RepairOutcome outcome = M().RunRepair("WifiFaultDetect::RepairWifiProblem", "RepairWifiProblem", "2");

  EXPECT_TRUE(outcome.succeeded);
  const CheckResult after = M().RunCheck("WifiFaultDetect::CheckWifiSwitch", "wifi.switch");
  EXPECT_TRUE(after.passed);
  EXPECT_EQ(after.code, 0u);
  EXPECT_EQ(after.delayMs, 5u) << "a repaired check still takes its time";
  EXPECT_EQ(M().Current()->videoDeviceReturn, 0);
  const DiskCheck disk = M().RunDiskCheck("c", u"B");
  EXPECT_EQ(disk.code, 1u);
  EXPECT_TRUE(disk.smart.empty());
}

TEST(MachineRepairs, AFailingRepairFixesNothing) {
  testenv::UseMachine(kRepairable);

  const RepairOutcome outcome = M().RunRepair("CKeyBoardDetect::RepairHotkey", "RepairHotkey");

  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.code, 9u);
  EXPECT_EQ(M().RunCheck("CKeyBoardDetect::DetetctHotKey", "keyboard.hotKey").code, 4u);
}

TEST(MachineRepairs, ASnapshotTakenBeforeARepairStaysAsItWas) {
  testenv::UseMachine(kRepairable);
  const auto before = M().Current();

  M().RunRepair("WifiFaultDetect::RepairWifiProblem", "RepairWifiProblem", "2");

  EXPECT_FALSE(before->checks.at("wifi.switch").passed);
  EXPECT_EQ(before->videoDeviceReturn, 3);
  EXPECT_NE(M().Current(), before);
  EXPECT_TRUE(M().Current()->checks.at("wifi.switch").passed);
}

// ---- the journal ---------------------------------------------------------------------------

TEST(MachineJournal, RecordsCallArgumentsThreadAndTimes) {
  testenv::UseEmptyMachine();

  M().RunRepair("CBluetoothDetect::RepairBTProblems", "RepairBTProblems", "12");
  std::thread([] { M().Note("CCpu::GetCpuName"); }).join();

  const auto journal = M().Journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[0].call, "CBluetoothDetect::RepairBTProblems");
  EXPECT_EQ(journal[0].args, "12");
  EXPECT_EQ(journal[0].thread, std::this_thread::get_id());
  EXPECT_LE(journal[0].begin, journal[0].end);
  EXPECT_EQ(journal[1].call, "CCpu::GetCpuName");
  EXPECT_EQ(journal[1].args, "");
  EXPECT_NE(journal[1].thread, std::this_thread::get_id());
  EXPECT_LE(journal[0].end, journal[1].begin);
}

TEST(MachineJournal, KeepsOnlyTheNewestCalls) {
  testenv::UseEmptyMachine();
  for (size_t i = 0; i < Machine::kJournalLimit + 5; ++i) M().Note("n", std::to_string(i));

  const auto journal = M().Journal();
  ASSERT_EQ(journal.size(), Machine::kJournalLimit);
  EXPECT_EQ(journal.front().args, "5");
  EXPECT_EQ(journal.back().args, std::to_string(Machine::kJournalLimit + 4));
  M().ClearJournal();
}

TEST(MachineJournal, ConcurrentCallsAreAllRecordedInEachThreadsOrder) {
  testenv::UseMachine(kRepairable);
  constexpr int kThreads = 6;
  constexpr int kCalls = 150;

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kCalls; ++i) {
        const std::string args = std::to_string(t) + "," + std::to_string(i);
        switch (i % 4) {
          case 0: M().RunCheck("check", "keyboard.hotKey", args); break;
          case 1: M().RunRepair("repair", "RepairWifiProblem", args); break;
          case 2: M().Note("note", args); break;
          case 3: M().RunDiskCheck("disk", u"B", args); break;
        }
        EXPECT_NE(M().Current(), nullptr);
      }
    });
  }
  // A reload racing the calls must neither crash nor lose entries.
  EXPECT_TRUE(M().LoadJson(kRepairable));
  for (auto& thread : threads) thread.join();

  const auto journal = M().Journal();
  ASSERT_EQ(journal.size(), static_cast<size_t>(kThreads * kCalls));
  std::vector<int> next(kThreads, 0);
  for (const JournalEntry& entry : journal) {
    const int t = std::stoi(entry.args.substr(0, entry.args.find(',')));
    const int i = std::stoi(entry.args.substr(entry.args.find(',') + 1));
    ASSERT_GE(t, 0);
    ASSERT_LT(t, kThreads);
    EXPECT_EQ(i, next[t]++) << "thread " << t;
  }
}

// ---- delays --------------------------------------------------------------------------------

TEST(MachineDelays, ChecksDiskChecksAndRepairsTakeTheirDelays) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"firmware": "F"}]}, "checks": {"disks": [{"delayMs": 80}],
                          "audio": {"loopBack": {"delayMs": 120}}}, "repairs": {"RepairAudioProblem": {"delayMs": 80}}})");

  const auto start = std::chrono::steady_clock::now();
  M().RunCheck("CAudioDetect::CheckLoopBack", "audio.loopBack");
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(120));
  M().RunRepair("CAudioDetect::RepairAudioProblem", "RepairAudioProblem", "0");
  M().RunDiskCheck("CDiskFaultDetect::CheckSsdSmartResult", u"F");

  const auto journal = M().Journal();
  ASSERT_EQ(journal.size(), 3u);
  for (const JournalEntry& entry : journal) EXPECT_GE(entry.end - entry.begin, milliseconds(80)) << entry.call;
}

TEST(MachineDelays, TwoDelayedCallsOnTwoThreadsOverlap) {
  testenv::UseMachine(R"({"checks": {"wifi": {"signal": {"delayMs": 300}}}})");

  const auto start = std::chrono::steady_clock::now();
  std::thread other([] { M().RunCheck("WifiFaultDetect::CheckWifiSignal", "wifi.signal"); });
  M().RunCheck("WifiFaultDetect::CheckWifiSignal", "wifi.signal");
  other.join();

  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(550)) << "the machine must not serialise waits";
}

// ---- the profile named by the environment --------------------------------------------------

// The machine reads $SYSDIAGNOSE_MACHINE once, on first use, so these run in a fresh process.
TEST(MachineEnvironment, FirstUseLoadsTheNamedProfile) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string file = testing::TempDir() + "env-machine.json";
  std::ofstream(file) << R"({"hardware": {"cpu": {"name": "From the environment"}}})";

  EXPECT_EXIT(
      {
        setenv("SYSDIAGNOSE_MACHINE", file.c_str(), 1);
        std::exit(Machine::Instance().Current()->hardware.cpu.name == u"From the environment" ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(MachineEnvironment, ARefusedProfileIsReportedAndTheMachineStaysEmpty) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string file = testing::TempDir() + "env-bad-machine.json";
  std::ofstream(file) << R"({"hardware": {"cpu": {"nmae": "x"}}})";

  EXPECT_EXIT(
      {
        setenv("SYSDIAGNOSE_MACHINE", file.c_str(), 1);
        std::exit(Machine::Instance().Current()->hardware.cpu.name.empty() ? 0 : 1);
      },
      testing::ExitedWithCode(0), "unknown key 'hardware.cpu.nmae'");
}

}  // namespace
}  // namespace host::machine
