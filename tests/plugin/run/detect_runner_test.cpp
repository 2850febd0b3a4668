#include <gmock/gmock.h>

#include <future>
#include <stdexcept>

#include "diagnose/hardware_repair_helper.h"
#include "machine/machine.h"
#include "model/hardware_catalog.h"
#include "model/hardware_state.h"
#include "run_fixture.h"
#include "support/doctor_listener.h"

namespace runtest {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class DetectRunnerTest : public RunTest {};

int32_t StoredState(const tagQueryDataItem& item, enmHardwareID id) { return StateAt(item, *StateIndexOf(id)); }

TEST_F(DetectRunnerTest, MemoryFaultThenPassingAudioCountsOneOfEach) {
  testenv::UseMachine(R"({"checks": {"memory": {"stuckAddr": 3}}})");
  DetectRunner runner;
  RunObserver run;
  run.Start(runner, {HARDWARE_MEMORY, HARDWARE_AUDIO});
  ASSERT_TRUE(run.Wait(runner));

  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.abnormalLevel0, 1);
  EXPECT_THAT(run.failed, ElementsAre(HARDWARE_MEMORY));
  const tagDiagnoseRecord& record = runner.Record();
  EXPECT_EQ(record.memoryState, 1);
  EXPECT_EQ(record.audioState, 0);
  EXPECT_EQ(record.normalCount, 1);
  EXPECT_EQ(record.abnormalCount, 1);
  for (int32_t id : {0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11}) {
    if (id == HARDWARE_AUDIO) continue;
    EXPECT_EQ(StateAt(record, *StateIndexOf(id)), -1) << id;
  }
  const tagQueryDataItem stored = LatestStoredRun();
  EXPECT_EQ(StoredState(stored, HARDWARE_MEMORY), 1);
  EXPECT_EQ(StoredState(stored, HARDWARE_AUDIO), 0);
}

TEST_F(DetectRunnerTest, LevelOneFailureIsAbnormalInCountsButNormalInState) {
  testenv::UseMachine(
      R"({"checks": {"keyboard": {"filterKey": {"code": 4294967290, "passed": false, "level": 1}}}})");
  DetectRunner runner;
  RunObserver run;
  run.Start(runner, {HARDWARE_KEYBOARD});
  ASSERT_TRUE(run.Wait(runner));

  EXPECT_EQ(run.abnormalLevel0, 0);
  EXPECT_THAT(run.failed, ElementsAre(HARDWARE_KEYBOARD));
  EXPECT_EQ(runner.Record().keyboardState, 0);
  EXPECT_EQ(runner.Record().abnormalCount, 1);
  EXPECT_EQ(runner.Record().normalCount, 0);
}

TEST_F(DetectRunnerTest, CancelDuringSecondCategoryFinishesItAndSavesTwoStates) {
  testenv::UseMachine(R"({})");
  testenv::DoctorListener doctor;
  DetectRunner runner;
  RunObserver run;
  run.onCheckStart = [&](int32_t category, const tagDetectItemDetail&) {
    if (category == HARDWARE_MAINBOARD) runner.RequestCancel();
  };
  run.Start(runner, {HARDWARE_CPU, HARDWARE_MAINBOARD, HARDWARE_MEMORY});
  ASSERT_TRUE(run.Wait(runner));

  EXPECT_TRUE(run.cancelled);
  EXPECT_FALSE(run.finished);
  ASSERT_EQ(run.verdicts.size(), 2u);  // the mainboard ran to its end
  const tagQueryDataItem stored = LatestStoredRun();
  EXPECT_EQ(StoredState(stored, HARDWARE_CPU), 0);
  EXPECT_EQ(StoredState(stored, HARDWARE_MAINBOARD), 0);
  EXPECT_EQ(StoredState(stored, HARDWARE_MEMORY), -1);
  std::this_thread::sleep_for(100ms);  // a report would have been delivered by now
  EXPECT_THAT(doctor.Reports(), IsEmpty());
}

TEST_F(DetectRunnerTest, CancelDuringTheLastCategoryDoesNotLeakIntoTheNextRun) {
  testenv::UseMachine(R"({})");
  DetectRunner runner;
  RunObserver first;
  first.onCheckStart = [&](int32_t category, const tagDetectItemDetail&) {
    if (category == HARDWARE_DISPLAY) runner.RequestCancel();
  };
  first.Start(runner, {HARDWARE_MAINBOARD, HARDWARE_DISPLAY});
  ASSERT_TRUE(first.Wait(runner));
  ASSERT_TRUE(first.finished);  // too late to act on

  RunObserver second;
  second.Start(runner, {HARDWARE_MAINBOARD, HARDWARE_DISPLAY});
  ASSERT_TRUE(second.Wait(runner));
  EXPECT_TRUE(second.finished);
  EXPECT_EQ(second.verdicts.size(), 2u);
}

TEST_F(DetectRunnerTest, UnknownCategoryCallsNothingAndCountsAsNormal) {
  testenv::UseMachine(R"({})");
  DetectRunner runner;
  RunObserver run;
  run.Start(runner, {static_cast<enmHardwareID>(12)});
  ASSERT_TRUE(run.Wait(runner));

  EXPECT_THAT(run.announced, IsEmpty());
  EXPECT_THAT(run.verdicts, IsEmpty());
  EXPECT_EQ(runner.Record().normalCount, 1);
  EXPECT_EQ(runner.Record().abnormalCount, 0);
  EXPECT_THAT(run.failed, IsEmpty());
}

TEST_F(DetectRunnerTest, EmptySelectionStoresAnEmptyRunAndReportsToTheHealthCheck) {
  testenv::UseMachine(R"({})");
  testenv::DoctorListener doctor;
  DetectRunner runner;
  RunObserver run;
  run.Start(runner, {});
  ASSERT_TRUE(run.Wait(runner));

  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.abnormalLevel0, 0);
  EXPECT_THAT(run.failed, IsEmpty());
  const tagQueryDataItem stored = LatestStoredRun();
  EXPECT_FALSE(stored.time.empty());
  for (int32_t i = 0; i < kHardwareCategoryCount; ++i) EXPECT_EQ(StateAt(stored, i), -1);
  ASSERT_TRUE(doctor.WaitForReports(1, 2s));
  EXPECT_EQ(doctor.Reports().front().messageId, 0x20000Eu);
  EXPECT_EQ(doctor.Reports().front().result.bFinished, 1);
}

TEST_F(DetectRunnerTest, DoctorReportMarksEachCatalogueEntryOfTheRun) {
  testenv::UseMachine(R"({"checks": {"memory": {"board": 9}}})");
  testenv::DoctorListener doctor;
  DetectRunner runner;
  RunObserver run;
  run.Start(runner, {HARDWARE_MEMORY, HARDWARE_DISPLAY});
  ASSERT_TRUE(run.Wait(runner));
  ASSERT_TRUE(doctor.WaitForReports(1, 2s));

  const auto& catalogue = GetHardwareCatalog().Items();
  const auto reports = doctor.Reports();
  const auto& items = reports.front().result.vecItems;
  ASSERT_EQ(items.size(), catalogue.size());
  for (size_t i = 0; i < catalogue.size(); ++i) {
    const uint32_t expected = catalogue[i].id == HARDWARE_MEMORY    ? 3u
                              : catalogue[i].id == HARDWARE_DISPLAY ? 2u
                                                                    : 0u;
    EXPECT_EQ(items[i].nState, expected) << "catalogue entry " << i;
  }
}

// The page shows each line, then releases the worker; until then the worker must neither go
// on from the line nor announce the next check. The first line is held for a while to show it.
TEST_F(DetectRunnerTest, TheWorkerWaitsForEachLineToBeShownBeforeItGoesOn) {
  testenv::UseMachine(R"({})");
  DetectRunner runner;
  std::mutex lock;
  std::condition_variable changed;
  int announced = 0, linesPosted = 0, linesShown = 0, aheadOfThePage = 0;
  bool finished = false;
  const auto note = [&](int* count) {
    std::lock_guard guard(lock);
    if (linesShown != linesPosted) ++aheadOfThePage;
    if (count) ++*count;
    changed.notify_all();
  };
  runner.Start(
      {HARDWARE_MEMORY, HARDWARE_DISPLAY}, [&](int32_t, const tagDetectItemDetail&) { note(&announced); },
      [&](int32_t, const tagHardwareDetectInfo&) {
        runner.ClearRowConsumed();
        note(&linesPosted);
        runner.WaitRowConsumed();
        note(nullptr);
      },
      [](int32_t, const std::u16string&) {}, [](int32_t, const tagDetectResult&) {},
      [&](int32_t, std::vector<enmHardwareID>) {
        std::lock_guard guard(lock);
        finished = true;
        changed.notify_all();
      },
      [] {});

  for (;;) {
    std::unique_lock guard(lock);
    ASSERT_TRUE(changed.wait_for(guard, 10s, [&] { return linesPosted > linesShown || finished; }));
    if (linesPosted == linesShown) break;
    if (linesShown == 0) {
      EXPECT_FALSE(changed.wait_for(guard, 200ms, [&] { return announced > 1 || linesPosted > 1; }))
          << "the worker went on before its line was shown";
    }
    ++linesShown;  // the line is on the page
    guard.unlock();
    runner.SignalRowConsumed();
  }
  while (runner.IsRunning()) std::this_thread::yield();

  EXPECT_EQ(linesShown, 9 + 1);
  EXPECT_EQ(aheadOfThePage, 0);
}

// A keyboard repair run on the runner's selection that waits in its first callable until
// `held` is ready; `repaired` is set when it has finished.
void StartHeldRepair(DetectRunner& runner, std::shared_future<void> held, std::promise<void>& repaired) {
  HardwareRepairHelper::Instance().StartRepairRun(
      runner, {{HARDWARE_KEYBOARD, {{1, u"Hotkeys", u"RepairHotkey", u"0"}}}}, [held](enmHardwareID) { held.wait(); },
      [](int32_t, enmHardwareID, tagRepairItemInfo&) {}, [] {},
      [](int32_t, enmHardwareID, tagRepairItemInfo&, HardwareRepairHelper::RepairResult&) {},
      [](int32_t, enmHardwareID, bool) {}, [&repaired](bool, bool, int32_t) { repaired.set_value(); });
}

// The page tells a cancel of a run from a press after its end by IsRunning: a run is running
// from the moment it is started, not from when its worker gets going. Each run is held at its
// first callable until it has been looked at.
TEST_F(DetectRunnerTest, RunsFromTheMomentItIsStarted) {
  testenv::UseMachine(R"({})");
  DetectRunner runner;
  for (int i = 0; i < 10; ++i) {
    std::promise<void> looked;
    const std::shared_future<void> held = looked.get_future().share();
    RunObserver diagnosis;
    diagnosis.onCheckStart = [held](int32_t, const tagDetectItemDetail&) { held.wait(); };
    diagnosis.Start(runner, {HARDWARE_KEYBOARD});
    EXPECT_TRUE(runner.IsRunning()) << "diagnosis " << i;
    looked.set_value();
    ASSERT_TRUE(diagnosis.Wait(runner));

    std::promise<void> lookedAgain, repaired;
    StartHeldRepair(runner, lookedAgain.get_future().share(), repaired);
    EXPECT_TRUE(runner.IsRunning()) << "repair " << i;
    lookedAgain.set_value();
    ASSERT_EQ(repaired.get_future().wait_for(10s), std::future_status::ready);
    while (runner.IsRunning()) std::this_thread::yield();
  }
}

// A page may start the repairs as soon as it hears the diagnosis finished, while that worker
// has not quite ended: the old worker's end must not end the new run.
TEST_F(DetectRunnerTest, ARunStartedAsThePageHearsTheLastOneEndKeepsRunning) {
  testenv::UseMachine(R"({})");
  DetectRunner runner;
  std::promise<void> repairStarted, release, repaired;
  RunObserver diagnosis;
  diagnosis.atEnd = [&] {
    StartHeldRepair(runner, release.get_future().share(), repaired);
    repairStarted.set_value();
  };
  diagnosis.Start(runner, {HARDWARE_KEYBOARD});
  ASSERT_EQ(repairStarted.get_future().wait_for(10s), std::future_status::ready);

  // The diagnosis worker ends meanwhile; the repair, held, is still running all along.
  const auto until = std::chrono::steady_clock::now() + 200ms;
  bool runningThroughout = true;
  while (std::chrono::steady_clock::now() < until) {
    runningThroughout = runningThroughout && runner.IsRunning();
    std::this_thread::yield();
  }
  EXPECT_TRUE(runningThroughout);

  release.set_value();
  ASSERT_EQ(repaired.get_future().wait_for(10s), std::future_status::ready);
  while (runner.IsRunning()) std::this_thread::yield();
}

TEST_F(DetectRunnerTest, ThrowingCallablesOfThePageNeitherCancelTheRunNorStoreItTwice) {
  testenv::UseMachine(R"({})");
  DetectRunner runner;
  RunObserver run;
  run.onCheckStart = [](int32_t, const tagDetectItemDetail&) { throw std::runtime_error("item control gone"); };
  run.atEnd = [] { throw std::runtime_error("page gone"); };
  run.Start(runner, {HARDWARE_MAINBOARD, HARDWARE_DISPLAY});
  ASSERT_TRUE(run.Wait(runner));

  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.endings, 1);
  EXPECT_EQ(run.verdicts.size(), 2u);
  EXPECT_EQ(StoredRuns(), 1u);
}

TEST_F(DetectRunnerTest, ALibraryCallThatThrowsEndsTheRunAsCancelled) {
  testenv::UseMachine(R"({"checks": {"memory": {"board": {"throws": "memory controller gone"}}}})");
  DetectRunner runner;
  RunObserver run;
  run.Start(runner, {HARDWARE_MAINBOARD, HARDWARE_MEMORY, HARDWARE_DISPLAY});
  ASSERT_TRUE(run.Wait(runner));

  EXPECT_TRUE(run.cancelled);
  EXPECT_EQ(run.endings, 1);
  EXPECT_EQ(StoredRuns(), 1u);
  const tagQueryDataItem stored = LatestStoredRun();
  EXPECT_EQ(StoredState(stored, HARDWARE_MAINBOARD), 0);
  EXPECT_EQ(StoredState(stored, HARDWARE_MEMORY), -1);
  EXPECT_EQ(StoredState(stored, HARDWARE_DISPLAY), -1);
}

}  // namespace
}  // namespace runtest
