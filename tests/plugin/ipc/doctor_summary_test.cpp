// PostDoctorSummary as the health-check module (0x200000) on the bus sees it.
#include <gtest/gtest.h>

#include <vector>

#include "DuiLib/UICulture.h"
#include "IPCMessage/IPCMessageClient.h"
#include "host/ipc/inbox.h"
#include "ipc/ipc_data_io.h"
#include "ipc/ipc_helper.h"
#include "ipc/ipc_messages.h"
#include "ipc/ipc_serialize.h"

using namespace zel::sysdiagnose;
using testipc::Inbox;

namespace {

tagDoctorItem ItemInState(uint32_t state) {
  tagDoctorItem item;
  item.strName = u"Battery";
  item.nState = state;
  return item;
}

tagDoctorResult Decode(testipc::ReceivedMessage message) {
  tagIPC_MESSAGE_ITEM record{};
  record.nDataLen = static_cast<uint32_t>(message.payload.size());
  record.pData = message.payload.data();
  CIPCDataIO reader(&record, CIPCDataIO::kReader);
  ReadVersion(reader);
  tagDoctorResult result;
  Unserialize(reader, result);
  return result;
}

class DoctorSummaryTest : public ::testing::Test {
 protected:
  DoctorSummaryTest() {
    doctor.RegisterMessageCallback(kMsgDoctorResult, detectionReports.Callback());
    doctor.RegisterMessageCallback(kMsgDoctorRunResult, runReports.Callback());
  }

  IPCHelper helper;
  Inbox detectionReports, runReports;
  CIPCMessageClient doctor{kDoctorModule, false, false};
};

}  // namespace

TEST_F(DoctorSummaryTest, TheModuleReceivesTheRecordWithModuleIdAndTimeForced) {
  tagDoctorResult result;
  result.nModuleId = 0x1234;  // whatever the sender had
  result.nTime = 77;
  result.vecItems = {ItemInState(kDoctorStateNormal), ItemInState(kDoctorStateAbnormal)};

  helper.PostDoctorSummary(result, 0);

  ASSERT_TRUE(detectionReports.WaitFor(1));
  const auto report = detectionReports.Values()[0];
  EXPECT_EQ(report.header.nSrcModuleId, kSysdiagnoseModule);
  EXPECT_EQ(result.nModuleId, 0x390000u);
  EXPECT_EQ(result.nTime, 1860000u);
  EXPECT_EQ(Decode(report), result);
}

TEST_F(DoctorSummaryTest, ModeTwoPosts0x20000EModesZeroAndOne0x20000BModeFiveNothing) {
  tagDoctorResult result;

  for (int32_t mode : {5, 0, 1, 2}) helper.PostDoctorSummary(result, mode);

  // The plug-in's posts arrive in order: once the last one is in, every earlier one is too.
  ASSERT_TRUE(runReports.WaitFor(1));
  EXPECT_EQ(detectionReports.Count(), 2u);
  EXPECT_EQ(runReports.Count(), 1u);
}

TEST_F(DoctorSummaryTest, AnAllNormalSummaryKeepsTheEarlierAbnormalCount) {
  tagDoctorResult result;
  result.vecItems = {ItemInState(kDoctorStateAbnormal), ItemInState(kDoctorStateAbnormal)};
  helper.PostDoctorSummary(result, 0);
  result.vecItems = {ItemInState(kDoctorStateNormal)};

  helper.PostDoctorSummary(result, 0);

  EXPECT_EQ(result.strSummaryKey, u"IDS_HARDWARE_DETECT_DOCTOR_INDEX_DESCRIPTION_OK");
  EXPECT_EQ(result.nAbnormalCount, 2u);
}

TEST_F(DoctorSummaryTest, ModeOneSpeaksOfRepair) {
  auto text = [](const char16_t* key) { return UICulture::GetInstance().GetMultiVarStr(key, {int64_t{2}}); };
  tagDoctorResult result;
  result.vecItems = {ItemInState(kDoctorStateAbnormal), ItemInState(kDoctorStateNormal), ItemInState(kDoctorStateAbnormal)};
  const struct {
    int32_t mode;
    std::u16string sentence;
  } cases[] = {{1, text(u"IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM_REPAIR_DETAIL")},
               {0, text(u"IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM_DETAIL")}};
  ASSERT_NE(cases[0].sentence, cases[1].sentence);

  for (const auto& c : cases) {
    helper.PostDoctorSummary(result, c.mode);
    EXPECT_EQ(result.strSummary, c.sentence) << "mode " << c.mode;
    EXPECT_EQ(result.nAbnormalCount, 2u);
  }
}
