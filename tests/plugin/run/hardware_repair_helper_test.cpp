#include <gmock/gmock.h>

#include <future>
#include <tuple>

#include "machine/machine.h"
#include "run_fixture.h"

namespace runtest {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;
using Result = HardwareRepairHelper::RepairResult;
using host::machine::JournalEntry;

std::vector<JournalEntry> CallsOf(const std::string& call) {
  std::vector<JournalEntry> out;
  for (auto& entry : host::machine::Machine::Instance().Journal()) {
    if (entry.call == call) out.push_back(entry);
  }
  return out;
}

bool Overlap(const JournalEntry& a, const JournalEntry& b) { return a.begin < b.end && b.begin < a.end; }

auto Fields(const Result& r) { return std::tie(r.code, r.needRestart, r.needShutdown, r.succeeded, r.message); }

class RepairTest : public RunTest {};

TEST_F(RepairTest, RepairPassesTheCodeTextAsANumber) {
  testenv::UseMachine(R"({})");
  Result result{};
  HardwareRepairHelper::Instance().Repair(u"RepairBluetooth", u"12", result);
  HardwareRepairHelper::Instance().Repair(u"RepairBluetooth", u"", result);
  HardwareRepairHelper::Instance().Repair(u"RepairVideoCard", u"4294967295", result);

  const auto bluetooth = CallsOf("CBluetoothDetect::RepairBTProblems");
  const auto video = CallsOf("CVideoCardDetect::RepairVIDEOCARDProblems");
  ASSERT_EQ(bluetooth.size(), 2u);
  EXPECT_EQ(bluetooth[0].args, "12");
  EXPECT_EQ(bluetooth[1].args, "0");
  ASSERT_EQ(video.size(), 1u);
  EXPECT_EQ(video[0].args, "4294967295");
}

TEST_F(RepairTest, RepairTakesEveryFieldOfTheLibraryResultAndAnUnknownNameLeavesItAsItWas) {
  testenv::UseMachine(R"({"repairs": {"RepairHotkey": {"code": 7, "needRestart": true, "needShutdown": true,
                          "succeeded": false, "message": "IDS_HARDWARE_DIAGNOSE_ERROR_HOTKEY"}}})");
  const Result before{42, false, false, true, u"kept"};
  Result unknown = before, known = before;

  HardwareRepairHelper::Instance().Repair(u"repairhotkey", u"", unknown);  // names are case-sensitive
  EXPECT_TRUE(host::machine::Machine::Instance().Journal().empty());
  HardwareRepairHelper::Instance().Repair(u"RepairHotkey", u"", known);

  EXPECT_EQ(Fields(unknown), Fields(before));
  EXPECT_EQ(Fields(known), Fields(Result{7, true, true, false, u"IDS_HARDWARE_DIAGNOSE_ERROR_HOTKEY"}));
}

TEST_F(RepairTest, KeyboardRepairsNeverOverlapWhileAudioRunsBesideThem) {
  testenv::UseMachine(R"({"repairs": {"RepairHotkey": {"delayMs": 150}, "CloseFilterKey": {"delayMs": 150},
                                      "RepairAudioProblem": {"delayMs": 250}}})");
  std::vector<std::promise<void>> done(3);
  HardwareRepairHelper::Instance().RepairAsync(u"RepairHotkey", 0, [&](Result&) { done[0].set_value(); });
  HardwareRepairHelper::Instance().RepairAsync(u"RepairFilterKey", 0, [&](Result&) { done[1].set_value(); });
  HardwareRepairHelper::Instance().RepairAsync(u"RepairAudio", 3, [&](Result&) { done[2].set_value(); });
  for (auto& d : done) ASSERT_EQ(d.get_future().wait_for(5s), std::future_status::ready);

  const auto hotkey = CallsOf("CKeyBoardDetect::RepairHotkey");
  const auto filter = CallsOf("CKeyBoardDetect::CloseFilterKey");
  const auto audio = CallsOf("CAudioDetect::RepairAudioProblem");
  ASSERT_EQ((std::vector{hotkey.size(), filter.size(), audio.size()}), (std::vector<size_t>{1, 1, 1}));
  EXPECT_FALSE(Overlap(hotkey[0], filter[0]));
  EXPECT_TRUE(Overlap(audio[0], hotkey[0]) || Overlap(audio[0], filter[0]));
}

TEST_F(RepairTest, RepairCountIsCreatedAtZeroAddsUpAndSaturatesAtTheLargestNumber) {
  ASSERT_FALSE(RepairCount());
  HardwareRepairHelper::AddRepairCount(0);
  EXPECT_EQ(RepairCount(), 0u);
  HardwareRepairHelper::AddRepairCount(2);
  HardwareRepairHelper::AddRepairCount(3);
  EXPECT_EQ(RepairCount(), 5u);

  ASSERT_TRUE(DE::Registry::SetValue(HKEY_CURRENT_USER, HardwareRepairHelper::kRepairCountKey, "Numbers", 4294967290u,
                                     KEY_ALL_ACCESS));
  HardwareRepairHelper::AddRepairCount(9);
  EXPECT_EQ(RepairCount(), 4294967295u);
}

// The page's side of a repair run.
struct RepairObserver : Ending {
  std::vector<std::pair<enmHardwareID, bool>> categoriesDone;
  std::vector<std::u16string> entriesDone;
  bool allOk = false, restart = false;
  int32_t firstFailed = -2;
  bool throwing = false;  // every callable throws after it has recorded, as a page gone wrong would

  void Start(DetectRunner& runner, DetectRunner::RepairPlan plan) {
    runner.StartRepair(
        std::move(plan), [this](enmHardwareID) { Note([] {}); },
        [this](int32_t, enmHardwareID, tagRepairItemInfo&) { Note([] {}); }, [this] { End([&] { cancelled = true; }); },
        [this](int32_t, enmHardwareID, tagRepairItemInfo& e, Result&) {
          Note([&] { entriesDone.push_back(e.repairName); });
        },
        [this](int32_t, enmHardwareID c, bool ok) { Note([&] { categoriesDone.emplace_back(c, ok); }); },
        [this](bool ok, bool needRestart, int32_t first) {
          End([&] {
            finished = true;
            allOk = ok;
            restart = needRestart;
            firstFailed = first;
          });
        });
  }

  // Records the change, then throws when the page is to go wrong.
  void Note(const std::function<void()>& change) {
    Record(change);
    if (throwing) throw std::runtime_error("page gone");
  }
  void End(const std::function<void()>& change) {
    Note([&] {
      change();
      ++endings;
    });
  }
};

// Given: this notebook, diagnosed in these categories; its Bluetooth is abnormal.
void DiagnoseFaults(DetectRunner& runner, std::vector<enmHardwareID> categories) {
  testenv::UseMachine(R"({
    "hardware": {"bluetooth": {"name": "BT"}, "audio": {"name": "Speakers"}},
    "checks": {"bluetooth": {"state": {"code": 12, "passed": false}},
               "audio": {"loopBack": {"code": 3, "passed": false}},
               "keyboard": {"filterKey": {"code": 6, "passed": false}, "hotKey": {"code": 7, "passed": false}}},
    "repairs": {"RepairAudioProblem": {"succeeded": false, "code": 3}, "CloseFilterKey": {"succeeded": false}}})");
  RunObserver diagnosis;
  diagnosis.Start(runner, std::move(categories));
  ASSERT_TRUE(diagnosis.Wait(runner));
  ASSERT_EQ(runner.Record().bluetoothState, 1);
}

// The keyboard's Filter Keys repair fails and its hotkey repair, the last, succeeds: the keyboard
// is still abnormal. A page whose every callable throws sees the same run, ended and stored once.
TEST_F(RepairTest, RunRepairsCategoryByCategoryAndCountsTheFullyRepairedOnesWhateverThePageThrows) {
  for (const bool throwing : {false, true}) {
    SCOPED_TRACE(throwing ? "throwing page" : "quiet page");
    DetectRunner runner;
    DiagnoseFaults(runner, {HARDWARE_BLUETOOTH, HARDWARE_KEYBOARD});
    const size_t storedBefore = StoredRuns();
    const uint32_t countBefore = RepairCount().value_or(0);

    RepairObserver repair;
    repair.throwing = throwing;
    repair.Start(runner, {{HARDWARE_BLUETOOTH, {{1, u"Device", u"RepairBluetooth", u"12"},
                                                {2, u"State", u"RepairBluetooth", u"12"}}},
                          {HARDWARE_KEYBOARD, {{3, u"Filter Keys", u"RepairFilterKey", u"6"},
                                               {4, u"Hotkeys", u"RepairHotkey", u"7"}}}});
    ASSERT_TRUE(repair.Wait(runner));

    EXPECT_THAT(repair.categoriesDone, ElementsAre(Pair(HARDWARE_BLUETOOTH, true), Pair(HARDWARE_KEYBOARD, false)));
    EXPECT_EQ(repair.entriesDone.size(), 4u);
    EXPECT_TRUE(repair.finished);
    EXPECT_EQ(repair.endings, 1);
    EXPECT_FALSE(repair.allOk);
    EXPECT_FALSE(repair.restart);
    EXPECT_EQ(repair.firstFailed, HARDWARE_KEYBOARD);
    EXPECT_EQ(RepairCount(), countBefore + 1);
    EXPECT_EQ(StatesOf(runner.Record(), {HARDWARE_BLUETOOTH, HARDWARE_KEYBOARD}), (std::vector<int64_t>{0, 1}));
    EXPECT_EQ(std::make_pair(runner.Record().normalCount, runner.Record().abnormalCount),
              std::make_pair(int64_t{1}, int64_t{1}));
    EXPECT_EQ(StoredRuns(), storedBefore + 1);
    EXPECT_EQ(StatesOf(LatestStoredRun(), {HARDWARE_BLUETOOTH, HARDWARE_KEYBOARD}), (std::vector<int64_t>{0, 1}));
  }
}

// Bluetooth is repaired, then the cancel comes in the pause before the audio entry: only the
// cancel stores the run at that point, with Bluetooth repaired and audio still abnormal.
TEST_F(RepairTest, CancelDuringThePauseSkipsTheEntryStoresTheRunSoFarAndLeavesTheCounter) {
  DetectRunner runner;
  DiagnoseFaults(runner, {HARDWARE_BLUETOOTH, HARDWARE_AUDIO});
  ASSERT_EQ(LatestStoredRun().bluetoothState, 1);
  host::machine::Machine::Instance().ClearJournal();

  std::atomic<int> pauses{0};
  OnSleep([&](std::chrono::milliseconds pause) {
    if (pause == 500ms && ++pauses == 2) runner.RequestCancel();
  });
  RepairObserver repair;
  repair.Start(runner, {{HARDWARE_BLUETOOTH, {{1, u"State", u"RepairBluetooth", u"12"}}},
                        {HARDWARE_AUDIO, {{2, u"Loop-back", u"RepairAudio", u"3"}}}});
  ASSERT_TRUE(repair.Wait(runner));

  EXPECT_TRUE(repair.cancelled);
  EXPECT_FALSE(repair.finished);
  EXPECT_EQ(CallsOf("CBluetoothDetect::RepairBTProblems").size(), 1u);
  EXPECT_TRUE(CallsOf("CAudioDetect::RepairAudioProblem").empty());
  EXPECT_FALSE(RepairCount());
  EXPECT_EQ(StatesOf(LatestStoredRun(), {HARDWARE_BLUETOOTH, HARDWARE_AUDIO}), (std::vector<int64_t>{0, 1}));
}

}  // namespace
}  // namespace runtest
