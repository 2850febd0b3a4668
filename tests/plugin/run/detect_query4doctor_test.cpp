#include <gmock/gmock.h>
#include "DuiLib/UICulture.h"

#include "ipc/detect_query4doctor.h"
#include "ipc/ipc_messages.h"
#include "machine/machine.h"
#include "model/hardware_catalog.h"
#include "run_fixture.h"
#include "support/doctor_listener.h"

namespace runtest {
namespace {

using ::testing::Contains;
using ::testing::IsEmpty;

std::u16string Text(const char16_t* key) { return UICulture::GetInstance().GetString(key); }

class DoctorServiceTest : public RunTest {
 protected:
  // A detection (or repair) asked for by the health check, to its end.
  void Detect(DetectQuery4Doctor& service) { doctor_.RequestDetection(true); AwaitEnd(service); }
  void Repair(DetectQuery4Doctor& service) { doctor_.RequestRepair(); AwaitEnd(service); }
  void AwaitEnd(DetectQuery4Doctor& service) {
    ASSERT_TRUE(doctor_.WaitForFinished(10s));
    ASSERT_TRUE(service.WaitUntilIdle(5s));
  }

  // The category's item in a report (the items follow the catalogue), by default the last.
  tagDoctorItem Item(enmHardwareID category, bool last = true) const {
    const auto& items = GetHardwareCatalog().Items();
    const auto reports = doctor_.Reports();
    for (size_t i = 0; i < items.size() && !reports.empty(); ++i) {
      if (items[i].id == category) return (last ? reports.back() : reports.front()).result.vecItems.at(i);
    }
    ADD_FAILURE() << "category " << category << " is not reported";
    return {};
  }

  // The counts of the last stored row, as stored (not recounted).
  static std::pair<int64_t, int64_t> StoredCounts() {
    std::vector<DataManager::Row> rows;
    DataManager::Instance().Get("select * from TABLE_HARDWARE_DIAGNOSE order by SecondTime desc, rowid desc limit 1",
                                DataManager::RETURN_ORDER_COLUMNS, rows);
    if (rows.empty() || rows[0].size() < 17) return {-1, -1};
    return {std::any_cast<int64_t>(rows[0][12]), std::any_cast<int64_t>(rows[0][13])};
  }

  testenv::DoctorListener doctor_;
};

// The processor's checks cannot fail it: whatever their codes, it is normal.
TEST_F(DoctorServiceTest, DetectionReportsBeforeAndAfterEveryCategoryThenStoresTheRun) {
  testenv::UseMachine(R"({"checks": {"memory": {"random": 3}, "cpu": {"codes": {"sse": 5, "sse42": 9}}}})");
  DetectQuery4Doctor service;
  Detect(service);

  const size_t categories = GetHardwareCatalog().Items().size();
  const auto reports = doctor_.Reports();
  ASSERT_EQ(reports.size(), 2 * categories);  // what each says is the doctor command's test
  EXPECT_EQ(reports.back().messageId, kMsgDoctorResult);
  EXPECT_EQ(Item(HARDWARE_MEMORY).nState, 3u);
  EXPECT_EQ(Item(HARDWARE_MEMORY).clrStatus, kDoctorColorAbnormal);
  EXPECT_EQ(Item(HARDWARE_DISPLAY).nState, 2u);
  EXPECT_EQ(Item(HARDWARE_CPU).nState, 2u);
  EXPECT_EQ(reports.back().result.nAbnormalCount, 1u);
  EXPECT_EQ(StoredCounts(), std::make_pair(int64_t(categories - 1), int64_t{1}));
  EXPECT_EQ(StatesOf(LatestStoredRun(), {HARDWARE_MEMORY, HARDWARE_CPU}), (std::vector<int64_t>{1, 0}));
  EXPECT_THAT(EventDataReport::Instance().SentEvents(),
              Contains(std::make_pair(std::string("620000020"), std::string("5,0,0,0,0,9"))));
}

TEST_F(DoctorServiceTest, RepairableFindingOffersTheRepairInTheUsersLanguageColour) {
  for (const char* language : {"zh-CN", "en-US"}) {
    SCOPED_TRACE(language);
    testenv::UseMachine(std::string(R"({"host": {"userLanguage": ")") + language +
                        R"("}, "checks": {"wifi": {"switch": {"code": 4294967293, "passed": false}}}})");
    doctor_.Clear();
    DetectQuery4Doctor service;
    Detect(service);

    const tagDoctorItem wifi = Item(HARDWARE_NETCARD);
    const bool chinese = std::string(language) == "zh-CN";
    EXPECT_EQ(wifi.nState, 3u);
    EXPECT_FALSE(wifi.strAction.empty());
    EXPECT_EQ(wifi.clrAction, chinese ? kDoctorColorAbnormal : 0u);
    EXPECT_EQ(wifi.clrActionAlt, chinese ? 0u : kDoctorColorAbnormal);
  }
}

TEST_F(DoctorServiceTest, StopRequestEndsTheDetectionAfterItsCategory) {
  testenv::UseMachine(R"({})");
  DetectQuery4Doctor service;
  OnSleep([&](std::chrono::milliseconds pause) {
    if (pause == 200ms) service.OnStartStop(true);  // stop while the first category ends
  });
  doctor_.RequestDetection(true);
  ASSERT_TRUE(service.WaitUntilIdle(5s));
  std::this_thread::sleep_for(100ms);

  const auto reports = doctor_.Reports();
  ASSERT_EQ(reports.size(), 1u);  // only the one before the first category
  EXPECT_EQ(reports[0].result.bFinished, 0);
  EXPECT_EQ(StoredRuns(), 0u);
}

TEST_F(DoctorServiceTest, TwoStartRequestsNeverRunTwoDetectionsAtOnce) {
  testenv::UseMachine(R"({"checks": {"memory": {"stuckAddr": {"code": 0, "delayMs": 30}}}})");
  DetectQuery4Doctor service;
  doctor_.RequestDetection(true);
  doctor_.RequestDetection(true);
  ASSERT_TRUE(doctor_.WaitForFinished(10s));
  ASSERT_TRUE(service.WaitUntilIdle(10s));

  auto journal = host::machine::Machine::Instance().Journal();
  std::sort(journal.begin(), journal.end(), [](auto& a, auto& b) { return a.begin < b.begin; });
  for (size_t i = 1; i < journal.size(); ++i) {
    EXPECT_LE(journal[i - 1].end, journal[i].begin) << journal[i - 1].call << " overlaps " << journal[i].call;
  }
}

TEST_F(DoctorServiceTest, RepairBeforeAnyDetectionReportsAnEmptyListAndStoresZeroCounts) {
  testenv::UseMachine(R"({})");
  DetectQuery4Doctor service;
  Repair(service);

  const auto reports = doctor_.Reports();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_THAT(reports[0].result.vecItems, IsEmpty());
  EXPECT_EQ(reports[0].result.bFinished, 0);
  EXPECT_EQ(reports[1].result.bFinished, 1);
  EXPECT_EQ(StoredCounts(), std::make_pair(int64_t{0}, int64_t{0}));
}

// Wi-Fi: its repair succeeds. Bluetooth: its repair fails. Keyboard: two repairs, the first fails
// and the second succeeds. Memory: nothing to repair.
TEST_F(DoctorServiceTest, RepairFixesWhatItCanAndReportsTheRest) {
  testenv::UseMachine(R"({
    "checks": {"wifi": {"switch": {"code": 4294967293, "passed": false}},
               "bluetooth": {"state": {"code": 12, "passed": false}},
               "keyboard": {"filterKey": {"code": 6, "passed": false}, "hotKey": {"code": 7, "passed": false}},
               "memory": {"random": 3}},
    "repairs": {"RepairWifiProblem": {"fixes": ["wifi.switch"]},
                "RepairBTProblems": {"succeeded": false, "message": "IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DEVICE_REPAIR_FAIL"},
                "CloseFilterKey": {"succeeded": false, "message": "IDS_HARDWARE_DIAGNOSE_REPAIR_SETTING_FAIL"},
                "RepairHotkey": {"succeeded": true, "message": "IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS"}}})");
  std::vector<std::chrono::milliseconds> pauses;
  std::mutex pauseLock;
  DetectQuery4Doctor service;
  Detect(service);
  doctor_.Clear();
  OnSleep([&](std::chrono::milliseconds pause) {
    std::lock_guard guard(pauseLock);
    pauses.push_back(pause);
  });

  Repair(service);

  ASSERT_GE(doctor_.Reports().size(), 2u);
  EXPECT_EQ(Item(HARDWARE_NETCARD, false).nState, 0u);  // under repair
  const tagDoctorItem wifi = Item(HARDWARE_NETCARD);
  EXPECT_EQ(wifi.nState, 2u);
  EXPECT_EQ(wifi.clrStatus, kDoctorColorNormal);
  EXPECT_EQ(wifi.strAction, u"");  // repaired: nothing more to offer
  EXPECT_EQ(std::make_pair(wifi.clrAction, wifi.clrActionAlt), std::make_pair(0u, 0u));
  for (const auto& [category, message] :
       {std::pair{HARDWARE_BLUETOOTH, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DEVICE_REPAIR_FAIL"},
        std::pair{HARDWARE_KEYBOARD, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SETTING_FAIL"}}) {
    SCOPED_TRACE(category);
    const tagDoctorItem item = Item(category);
    EXPECT_EQ(item.nState, 3u);
    EXPECT_EQ(item.clrStatus, kDoctorColorAbnormal);
    EXPECT_EQ(item.strAction, Text(u"IDS_HARDWARE_DETECT_ITEM_OPERAT_FAIL"));
    EXPECT_EQ(std::make_pair(item.clrAction, item.clrActionAlt), std::make_pair(0u, 0u));
    EXPECT_EQ(item.strResult, Text(message));
  }
  EXPECT_EQ(Item(HARDWARE_MEMORY).nState, 3u);  // nothing to repair
  {
    std::lock_guard guard(pauseLock);
    EXPECT_THAT(pauses, Contains(5000ms));
    EXPECT_EQ(pauses.front(), 1000ms);
  }
  EXPECT_EQ(RepairCount(), 1u);
  EXPECT_EQ(StatesOf(LatestStoredRun(), {HARDWARE_NETCARD, HARDWARE_BLUETOOTH, HARDWARE_KEYBOARD, HARDWARE_MEMORY}),
            (std::vector<int64_t>{0, 1, 1, 1}));

  // The machine is repaired: a new detection finds the Wi-Fi normal.
  doctor_.Clear();
  Detect(service);
  EXPECT_EQ(Item(HARDWARE_NETCARD).nState, 2u);
}

TEST_F(DoctorServiceTest, NoRequestIsHandledOnceTheServiceIsGone) {
  testenv::UseMachine(R"({})");
  { DetectQuery4Doctor service; }
  doctor_.RequestDetection(true);
  doctor_.RequestRepair();
  std::this_thread::sleep_for(200ms);
  EXPECT_THAT(doctor_.Reports(), IsEmpty());
}

}  // namespace
}  // namespace runtest
