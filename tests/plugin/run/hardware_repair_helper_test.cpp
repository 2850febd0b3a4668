#include <gmock/gmock.h>

#include <future>
#include <tuple>

#include "machine/machine.h"
#include "run_fixture.h"

namespace runtest {
namespace {

using Result = HardwareRepairHelper::RepairResult;
using host::machine::JournalEntry;

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

TEST_F(RepairTest, RepairCopiesTheLibrarysResultOnlyForANameItKnows) {
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

TEST_F(RepairTest, OnlyRepairsOfOneDeviceFamilyWaitForEachOther) {
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

TEST_F(RepairTest, RepairCountAddsUpFromZeroToTheLargestNumber) {
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

}  // namespace
}  // namespace runtest
