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

TEST_F(DetectRunnerTest, UnknownCategoryCallsNothingCountsAsNormalAndTheRunIsStillStored) {
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
TEST_F(DetectRunnerTest, ACancelIsTakenAfterTheCategoryInProgressAndNeverLeaksIntoTheNextRun) {
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

// The page shows each line, then releases the worker; until then the worker must neither go
// on from the line nor announce the next check. The first line is held for a while to show it.
TEST_F(DetectRunnerTest, TheWorkerWaitsForEachLineToBeShownBeforeItGoesOn) {
  testenv::UseMachine(R"({})");
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
  runner_.Start(
      {HARDWARE_MEMORY, HARDWARE_DISPLAY}, [&](int32_t, const tagDetectItemDetail&) { note(&announced); },
      [&](int32_t, const tagHardwareDetectInfo&) {
        runner_.ClearRowConsumed();
        note(&linesPosted);
        runner_.WaitRowConsumed();
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
    runner_.SignalRowConsumed();
  }
  while (runner_.IsRunning()) std::this_thread::yield();

  EXPECT_EQ(linesShown, 9 + 1);
  EXPECT_EQ(aheadOfThePage, 0);
}

// A keyboard repair run on the runner's selection that waits in its first callable until
// `held` is ready; `repaired` is set when it has finished.
void StartHeldRepair(DetectRunner& runner, std::shared_future<void> held, std::promise<void>& repaired) {
  runner.StartRepair(
      {{HARDWARE_KEYBOARD, {{1, u"Hotkeys", u"RepairHotkey", u"0"}}}}, [held](enmHardwareID) { held.wait(); },
      [](int32_t, enmHardwareID, tagRepairItemInfo&) {}, [] {},
      [](int32_t, enmHardwareID, tagRepairItemInfo&, DetectRunner::RepairResult&) {},
      [](int32_t, enmHardwareID, bool) {}, [&repaired](bool, bool, int32_t) { repaired.set_value(); });
}

// The page tells a cancel of a run from a press after its end by IsRunning: a run is running
// from the moment it is started, not from when its worker gets going. Each run is held at its
// first callable until it has been looked at.
TEST_F(DetectRunnerTest, RunsFromTheMomentItIsStarted) {
  testenv::UseMachine(R"({})");
  for (int i = 0; i < 10; ++i) {
    std::promise<void> looked;
    const std::shared_future<void> held = looked.get_future().share();
    RunObserver diagnosis;
    diagnosis.onCheckStart = [held](int32_t, const tagDetectItemDetail&) { held.wait(); };
    diagnosis.Start(runner_, {HARDWARE_KEYBOARD});
    EXPECT_TRUE(runner_.IsRunning()) << "diagnosis " << i;
    looked.set_value();
    ASSERT_TRUE(diagnosis.Wait(runner_));

    std::promise<void> lookedAgain, repaired;
    StartHeldRepair(runner_, lookedAgain.get_future().share(), repaired);
    EXPECT_TRUE(runner_.IsRunning()) << "repair " << i;
    lookedAgain.set_value();
    ASSERT_EQ(repaired.get_future().wait_for(10s), std::future_status::ready);
    while (runner_.IsRunning()) std::this_thread::yield();
  }
}

// A page may start the repairs as soon as it hears the diagnosis finished, while that worker
// has not quite ended: the old worker's end must not end the new run.
TEST_F(DetectRunnerTest, ARunStartedAsThePageHearsTheLastOneEndKeepsRunning) {
  testenv::UseMachine(R"({})");
  std::promise<void> repairStarted, release, repaired;
  RunObserver diagnosis;
  diagnosis.atEnd = [&] {
    StartHeldRepair(runner_, release.get_future().share(), repaired);
    repairStarted.set_value();
  };
  diagnosis.Start(runner_, {HARDWARE_KEYBOARD});
  ASSERT_EQ(repairStarted.get_future().wait_for(10s), std::future_status::ready);

  // The diagnosis worker ends meanwhile; the repair, held, is still running all along.
  const auto until = std::chrono::steady_clock::now() + 200ms;
  bool runningThroughout = true;
  while (std::chrono::steady_clock::now() < until) {
    runningThroughout = runningThroughout && runner_.IsRunning();
    std::this_thread::yield();
  }
  EXPECT_TRUE(runningThroughout);

  release.set_value();
  ASSERT_EQ(repaired.get_future().wait_for(10s), std::future_status::ready);
  while (runner_.IsRunning()) std::this_thread::yield();
}

TEST_F(DetectRunnerTest, ThrowingCallablesOfThePageNeitherCancelTheRunNorStoreItTwice) {
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

}  // namespace
}  // namespace runtest
