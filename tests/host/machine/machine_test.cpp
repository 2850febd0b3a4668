// The process's machine: answering checks and repairs, fixes, the journal and delays.
#include <gtest/gtest.h>

#include <thread>

#include "machine/machine.h"
#include "support/test_env.h"

namespace host::machine {
namespace {

using std::chrono::milliseconds;

Machine& M() { return Machine::Instance(); }

constexpr std::string_view kRepairable = R"({
  "checks": {"wifi": {"switch": {"code": 2, "passed": false}}, "keyboard": {"hotKey": 4},
             "disks": [{"code": 1}, {"code": 3, "smart": [1, 1]}]},
  "hardware": {"disks": [{"firmware": "A"}, {"firmware": "B"}]},
  "repairs": {"RepairWifiProblem": {"fixes": ["wifi.switch", "disks[1]"]},
              "RepairHotkey": {"succeeded": false, "code": 9, "fixes": ["keyboard.hotKey"]}}})";

TEST(Machine, FixesApplyOnlyWhenTheRepairSucceeds) {
  testenv::UseMachine(kRepairable);
  EXPECT_EQ(M().RunCheck("WifiFaultDetect::CheckWifiSignal", "wifi.signal"), CheckResult{});

  const RepairOutcome failed = M().RunRepair("CKeyBoardDetect::RepairHotkey", "RepairHotkey");
  EXPECT_FALSE(failed.succeeded);
  EXPECT_EQ(failed.code, 9u);
  EXPECT_EQ(M().RunCheck("CKeyBoardDetect::DetetctHotKey", "keyboard.hotKey").code, 4u);

  EXPECT_TRUE(M().RunRepair("WifiFaultDetect::RepairWifiProblem", "RepairWifiProblem", "2").succeeded);
  const CheckResult after = M().RunCheck("WifiFaultDetect::CheckWifiSwitch", "wifi.switch");
  EXPECT_TRUE(after.passed);
  EXPECT_EQ(after.code, 0u);
  EXPECT_EQ(M().RunDiskCheck("c", u"B", {}).code, 1u);
}

TEST(Machine, ARefusedProfileLeavesTheCurrentOneInPlace) {
  testenv::UseMachine(R"({"hardware": {"cpu": {"name": "Kept"}}})");

  const LoadResult refused = M().LoadJson(R"({"hardware": {"cpu": {"nmae": "Typo"}}})", "bad.json");

  EXPECT_EQ(refused.error, "bad.json: unknown key 'hardware.cpu.nmae'");
  EXPECT_EQ(M().Current()->hardware.cpu.name, u"Kept");
}

TEST(Machine, JournalRecordsEveryCallWithItsArgumentsUnderConcurrentCallers) {
  testenv::UseMachine(kRepairable);
  constexpr int kThreads = 6;
  constexpr int kCalls = 150;

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kCalls; ++i) {
        const std::string args = std::to_string(t) + "," + std::to_string(i);
        switch (i % 3) {
          case 0: M().RunCheck("check", "keyboard.hotKey", args); break;
          case 1: M().RunRepair("repair", "RepairWifiProblem", args); break;
          case 2: M().RunDiskCheck("disk", u"B", {}, args); break;
        }
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
    ASSERT_TRUE(t >= 0 && t < kThreads) << entry.args;
    EXPECT_EQ(i, next[t]++) << "thread " << t;
  }
}

TEST(Machine, ChecksAndRepairsTakeTheirDelays) {
  testenv::UseMachine(R"({"checks": {"audio": {"loopBack": {"delayMs": 80}}},
                          "repairs": {"RepairAudioProblem": {"delayMs": 80}}})");

  M().RunCheck("CAudioDetect::CheckLoopBack", "audio.loopBack");
  M().RunRepair("CAudioDetect::RepairAudioProblem", "RepairAudioProblem", "0");

  const auto journal = M().Journal();
  ASSERT_EQ(journal.size(), 2u);
  for (const JournalEntry& entry : journal) EXPECT_GE(entry.end - entry.begin, milliseconds(80)) << entry.call;
}

}  // namespace
}  // namespace host::machine
