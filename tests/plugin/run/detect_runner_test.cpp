#include <gmock/gmock.h>

#include <future>
#include <stdexcept>

#include "model/hardware_catalog.h"
#include "run_fixture.h"
#include "support/doctor_listener.h"
#include "support/full_catalogue.h"

namespace runtest {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

class DetectRunnerTest : public RunTest {
 protected:
  // Runs the categories to their end on the profile.
  void Run(RunObserver& run, const char* profile, std::vector<enmHardwareID> categories) {
    testenv::UseMachine(profile);
    run.Start(runner_, std::move(categories));
    ASSERT_TRUE(run.Wait(runner_));
  }

  DetectRunner runner_;
};

// A level-1 failure counts as abnormal but is stored normal and is no level-0 finding.
TEST_F(DetectRunnerTest, EachVerdictIsCountedStoredAndReportedToTheHealthCheck) {
  testenv::DoctorListener doctor;
  RunObserver run;
  Run(run, R"({"checks": {"memory": {"stuckAddr": 3},
                          "keyboard": {"filterKey": {"code": 4294967290, "passed": false, "level": 1}}}})",
      {HARDWARE_MEMORY, HARDWARE_KEYBOARD, HARDWARE_AUDIO});

  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.abnormalLevel0, 1);
  EXPECT_THAT(run.failed, ElementsAre(HARDWARE_MEMORY, HARDWARE_KEYBOARD));
  const tagDiagnoseRecord& record = runner_.Record();
  const tagQueryDataItem stored = LatestStoredRun();
  EXPECT_EQ(std::make_pair(record.normalCount, record.abnormalCount), std::make_pair(int64_t{1}, int64_t{2}));
  for (int32_t id = 0; id < kHardwareCategoryCount; ++id) {
    const int64_t expected = id == HARDWARE_MEMORY ? 1 : id == HARDWARE_KEYBOARD || id == HARDWARE_AUDIO ? 0 : -1;
    EXPECT_EQ(StateAt(record, *StateIndexOf(id)), expected) << id;
    EXPECT_EQ(StateAt(stored, *StateIndexOf(id)), expected) << id;
  }

  ASSERT_TRUE(doctor.WaitForReports(1, 2s));
  const auto report = doctor.Reports().front();
  EXPECT_EQ(report.messageId, 0x20000Eu);
  EXPECT_EQ(report.result.bFinished, 1);
  const auto& catalogue = GetHardwareCatalog().Items();
  ASSERT_EQ(report.result.vecItems.size(), catalogue.size());
  for (size_t i = 0; i < catalogue.size(); ++i) {
    const int32_t id = catalogue[i].id;
    const uint32_t expected = id == HARDWARE_AUDIO ? 2u : id == HARDWARE_MEMORY || id == HARDWARE_KEYBOARD ? 3u : 0u;
    EXPECT_EQ(report.result.vecItems[i].nState, expected) << "catalogue entry " << i;
  }
}

TEST_F(DetectRunnerTest, AnUnknownCategoryCallsNothingAndCountsAsNormal) {
  RunObserver run;
  Run(run, R"({})", {static_cast<enmHardwareID>(12)});

  EXPECT_TRUE(run.finished);
  EXPECT_THAT(run.announced, IsEmpty());
  EXPECT_THAT(run.verdicts, IsEmpty());
  EXPECT_THAT(run.failed, IsEmpty());
  EXPECT_EQ(run.abnormalLevel0, 0);
  EXPECT_EQ(runner_.Record().normalCount, 1);
  EXPECT_EQ(runner_.Record().abnormalCount, 0);
  const tagQueryDataItem stored = LatestStoredRun();
  EXPECT_FALSE(stored.time.empty());
  for (int32_t i = 0; i < kHardwareCategoryCount; ++i) EXPECT_EQ(StateAt(stored, i), -1);
}

// A cancel too late for its run (during the last category) must not stop the next run before it
// begins; a cancel during a category lets that category end, stores the run and reports nothing.
TEST_F(DetectRunnerTest, ACancelIsTakenAfterTheCategoryInProgressOfItsOwnRunOnly) {
  testenv::DoctorListener doctor;
  RunObserver tooLate, cancelled;
  tooLate.onCheckStart = [&](int32_t category, const tagDetectItemDetail&) {
    if (category == HARDWARE_DISPLAY) runner_.RequestCancel();
  };
  Run(tooLate, R"({})", {HARDWARE_MAINBOARD, HARDWARE_DISPLAY});
  ASSERT_TRUE(tooLate.finished);
  ASSERT_TRUE(doctor.WaitForReports(1, 2s));
  doctor.Clear();
  cancelled.onCheckStart = [&](int32_t category, const tagDetectItemDetail&) {
    if (category == HARDWARE_MAINBOARD) runner_.RequestCancel();
  };

  Run(cancelled, R"({})", {HARDWARE_CPU, HARDWARE_MAINBOARD, HARDWARE_MEMORY});

  EXPECT_TRUE(cancelled.cancelled);
  EXPECT_FALSE(cancelled.finished);
  EXPECT_EQ(cancelled.verdicts.size(), 2u);  // the processor, and the mainboard ran to its end
  EXPECT_EQ(StatesOf(LatestStoredRun(), {HARDWARE_CPU, HARDWARE_MAINBOARD, HARDWARE_MEMORY}),
            (std::vector<int64_t>{0, 0, -1}));
  std::this_thread::sleep_for(100ms);  // a report would have been delivered by now
  EXPECT_THAT(doctor.Reports(), IsEmpty());
}

// The page tells a cancel of a run from a press after its end by IsRunning: a run is running from
// the moment it is started, not from when its worker gets going; and the page may start the
// repairs as it hears the diagnosis finish, so that worker's end must not end the new run. Each
// run is held at its first callable until it has been looked at.
TEST_F(DetectRunnerTest, IsRunningFromItsStartUntilItsOwnWorkerEnds) {
  testenv::UseMachine(R"({})");
  for (int i = 0; i < 10; ++i) {
    std::promise<void> looked, repairStarted, release;
    RunObserver diagnosis;
    RepairObserver repair;
    diagnosis.onCheckStart = [held = looked.get_future().share()](int32_t, const tagDetectItemDetail&) { held.wait(); };
    repair.onCategoryStart = [held = release.get_future().share()] { held.wait(); };
    diagnosis.atEnd = [&] {
      repair.Start(runner_, {{HARDWARE_KEYBOARD, {{1, u"Hotkeys", u"RepairHotkey", u"0"}}}});
      repairStarted.set_value();
    };
    diagnosis.Start(runner_, {HARDWARE_KEYBOARD});
    EXPECT_TRUE(runner_.IsRunning()) << "diagnosis " << i;
    looked.set_value();
    ASSERT_EQ(repairStarted.get_future().wait_for(10s), std::future_status::ready);

    // The diagnosis worker ends meanwhile; the repair, held, is running all along.
    bool runningThroughout = true;
    for (const auto until = std::chrono::steady_clock::now() + 20ms; std::chrono::steady_clock::now() < until;) {
      runningThroughout = runningThroughout && runner_.IsRunning();
    }
    EXPECT_TRUE(runningThroughout) << "repair " << i;
    release.set_value();
    ASSERT_TRUE(repair.Wait(runner_));
  }
}

TEST_F(DetectRunnerTest, ThrowingCallablesOfThePageDoNotEndTheRun) {
  RunObserver run;
  run.onCheckStart = [](int32_t, const tagDetectItemDetail&) { throw std::runtime_error("item control gone"); };
  run.atEnd = [] { throw std::runtime_error("page gone"); };
  Run(run, R"({})", {HARDWARE_MAINBOARD, HARDWARE_DISPLAY});

  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.endings, 1);
  EXPECT_EQ(run.verdicts.size(), 2u);
  EXPECT_EQ(StoredRuns(), 1u);
}

TEST_F(DetectRunnerTest, ALibraryCallThatThrowsEndsTheRunAsCancelled) {
  RunObserver run;
  Run(run, R"({"checks": {"memory": {"board": {"throws": "memory controller gone"}}}})",
      {HARDWARE_MAINBOARD, HARDWARE_MEMORY, HARDWARE_DISPLAY});

  EXPECT_TRUE(run.cancelled);
  EXPECT_EQ(run.endings, 1);
  EXPECT_EQ(StoredRuns(), 1u);
  EXPECT_EQ(StatesOf(LatestStoredRun(), {HARDWARE_MAINBOARD, HARDWARE_MEMORY, HARDWARE_DISPLAY}),
            (std::vector<int64_t>{0, -1, -1}));
}

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
TEST_F(DetectRunnerTest, TheRepairRunAmendsTheRecordAndCountsTheFullyRepairedCategories) {
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
TEST_F(DetectRunnerTest, ACancelInTheRepairPauseStoresTheRunSoFar) {
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
