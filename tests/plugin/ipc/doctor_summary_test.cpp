// PostDoctorSummary as the health-check module (0x200000) on the bus sees it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "DuiLib/UICulture.h"
#include "IPCMessage/IPCMessageClient.h"
#include "host/ipc/inbox.h"
#include "ipc/ipc_data_io.h"
#include "ipc/ipc_helper.h"
#include "ipc/ipc_messages.h"
#include "ipc/ipc_serialize.h"

using namespace zel::sysdiagnose;
using namespace std::chrono_literals;
using testipc::Inbox;

namespace {

tagDoctorItem ItemInState(uint32_t state) {
  tagDoctorItem item;
  item.strIcon = u"icon";
  item.strName = u"Battery";
  item.nState = state;
  item.clrStatus = state == kDoctorStateAbnormal ? kDoctorColorAbnormal : kDoctorColorNormal;
  return item;
}

tagDoctorResult Decode(const testipc::ReceivedMessage& message) {
  std::vector<uint8_t> bytes = message.payload;
  tagIPC_MESSAGE_ITEM record{};
  record.nDataLen = static_cast<uint32_t>(bytes.size());
  record.pData = bytes.data();
  CIPCDataIO reader(&record, CIPCDataIO::kReader);
  ReadVersion(reader);
  tagDoctorResult result;
  Unserialize(reader, result);
  EXPECT_EQ(reader.Position(), bytes.size());
  return result;
}

std::u16string Text(const char16_t* key) { return UICulture::GetInstance().GetString(key); }
std::u16string Text(const char16_t* key, int64_t count) { return UICulture::GetInstance().GetMultiVarStr(key, {count}); }

class DoctorSummaryTest : public ::testing::Test {
 protected:
  DoctorSummaryTest() {
    doctor.RegisterMessageCallback(kMsgDoctorResult, detectionReports.Callback());
    doctor.RegisterMessageCallback(kMsgDoctorRunResult, runReports.Callback());
  }

  // The one report of the given kind, once it arrived.
  testipc::ReceivedMessage Next(Inbox& inbox, size_t count) {
    EXPECT_TRUE(inbox.WaitFor(count));
    return inbox.Messages().at(count - 1);
  }

  IPCHelper helper;
  Inbox detectionReports, runReports;
  CIPCMessageClient doctor{kDoctorModule, false, false};
};

}  // namespace

TEST_F(DoctorSummaryTest, TheModuleReceivesTheRecordAsCompleted) {
  tagDoctorResult result;
  result.nModuleId = 0x1234;  // whatever the sender had
  result.nTime = 77;
  result.bFinished = 0;
  result.vecItems = {ItemInState(kDoctorStateNormal), ItemInState(kDoctorStateAbnormal), ItemInState(kDoctorStateBusy)};

  helper.PostDoctorSummary(result, 0);

  const auto report = Next(detectionReports, 1);
  EXPECT_EQ(report.header.nDstModuleId, kDoctorModule);
  EXPECT_EQ(report.header.nSrcModuleId, kSysdiagnoseModule);
  EXPECT_EQ(report.header.nReplyMessageId, 0xFFFFFFFFu);
  EXPECT_EQ(result.nModuleId, 0x390000u);
  EXPECT_EQ(result.nTime, 1860000u);
  EXPECT_EQ(Decode(report), result);
}

TEST_F(DoctorSummaryTest, AllNormalGivesTheOkKeyAndKeepsTheEarlierAbnormalCount) {
  tagDoctorResult result;
  result.vecItems = {ItemInState(kDoctorStateAbnormal), ItemInState(kDoctorStateAbnormal)};
  helper.PostDoctorSummary(result, 0);
  result.vecItems = {ItemInState(kDoctorStateNormal), ItemInState(kDoctorStateNormal)};

  helper.PostDoctorSummary(result, 0);

  const tagDoctorResult posted = Decode(Next(detectionReports, 2));
  EXPECT_EQ(posted.strSummaryKey, u"IDS_HARDWARE_DETECT_DOCTOR_INDEX_DESCRIPTION_OK");
  EXPECT_EQ(posted.strSummary, Text(u"IDS_HARDWARE_DETECT_DOCTOR_INDEX_DESCRIPTION_OK"));
  EXPECT_EQ(posted.strDetail, Text(u"IDS_HARDWARE_DETECT_DOCTOR_DETAIL"));
  EXPECT_EQ(posted.nAbnormalCount, 2u);
}

TEST_F(DoctorSummaryTest, AbnormalItemsAreCountedAndTheModeChoosesTheSentence) {
  const std::u16string repairText = Text(u"IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM_REPAIR_DETAIL", 2);
  const std::u16string detectText = Text(u"IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM_DETAIL", 2);
  ASSERT_NE(repairText, detectText);
  tagDoctorResult result;
  result.vecItems = {ItemInState(kDoctorStateAbnormal), ItemInState(kDoctorStateNormal), ItemInState(kDoctorStateAbnormal)};

  helper.PostDoctorSummary(result, 1);
  const tagDoctorResult repair = Decode(Next(detectionReports, 1));
  helper.PostDoctorSummary(result, 0);
  const tagDoctorResult detection = Decode(Next(detectionReports, 2));
  helper.PostDoctorSummary(result, 2);
  const tagDoctorResult run = Decode(Next(runReports, 1));

  EXPECT_EQ(repair.strSummary, repairText);
  EXPECT_EQ(detection.strSummary, detectText);
  EXPECT_EQ(run.strSummary, detectText);
  for (const auto& posted : {repair, detection, run}) {
    EXPECT_EQ(posted.strSummaryKey, u"IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM");
    EXPECT_EQ(posted.nAbnormalCount, 2u);
  }
}

TEST_F(DoctorSummaryTest, AModeWithAnyBitBesideTheSecondSpeaksOfRepair) {
  tagDoctorResult result;
  result.vecItems = {ItemInState(kDoctorStateAbnormal)};

  helper.PostDoctorSummary(result, 5);

  EXPECT_EQ(result.strSummary, Text(u"IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM_REPAIR_DETAIL", 1));
}

TEST_F(DoctorSummaryTest, ModesZeroAndOnePost0x20000BModeTwo0x20000EAndOthersNothing) {
  tagDoctorResult result;
  result.nModuleId = 5;
  result.nTime = 5;

  helper.PostDoctorSummary(result, 5);   // rewrites the summary, posts nothing
  helper.PostDoctorSummary(result, -1);
  EXPECT_EQ(result.nModuleId, 0x390000u);
  EXPECT_EQ(result.nTime, 1860000u);
  EXPECT_EQ(result.strSummaryKey, u"IDS_HARDWARE_DETECT_DOCTOR_INDEX_DESCRIPTION_OK");
  helper.PostDoctorSummary(result, 0);
  helper.PostDoctorSummary(result, 1);
  helper.PostDoctorSummary(result, 2);

  // The plug-in's posts arrive in order: once the last one is in, every earlier one is too.
  ASSERT_TRUE(runReports.WaitFor(1));
  EXPECT_EQ(detectionReports.Count(), 2u);
  EXPECT_EQ(runReports.Count(), 1u);
}
