// IPCHelper on the bus: what it answers, which messages reach which handler, its receivers, and
// the summaries it posts to the health-check module (0x200000).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "DuiLib/UICulture.h"
#include "IPCMessage/IPCMessageClient.h"
#include "host/ipc/inbox.h"
#include "ipc/doctor_module_info.h"
#include "ipc/ipc_data_io.h"
#include "ipc/ipc_helper.h"
#include "ipc/ipc_messages.h"
#include "ipc/ipc_serialize.h"
#include "ipc/ipc_server_proc.h"

using namespace zel::sysdiagnose;
using namespace std::chrono_literals;
using testipc::Le32;
using testipc::RecordedCalls;

namespace {

constexpr uint32_t kPeer = 0x450000;

// The record of a payload, after its version word.
template <class Record>
Record Decode(testipc::ReceivedMessage message) {
  tagIPC_MESSAGE_ITEM item{};
  item.nDataLen = static_cast<uint32_t>(message.payload.size());
  item.pData = message.payload.data();
  CIPCDataIO reader(&item, CIPCDataIO::kReader);
  ReadVersion(reader);
  Record record;
  Unserialize(reader, record);
  return record;
}

// The helper handles one sender's messages one after another, in the order they were posted; so
// once a later message was handled, a call an earlier one wrongly made has been recorded too.
class IPCHelperTest : public ::testing::Test {
 protected:
  // Posts to the plug-in from the peer module.
  void Send(uint32_t messageId, std::vector<uint8_t> payload) {
    peer.PostIPCMessage(testipc::Message(kSysdiagnoseModule, messageId, &payload));
  }
  auto RecordRepairs(RecordedCalls<std::vector<int32_t>>& repairs) {
    return helper.SetDoctorRepairHandler([&](const std::vector<int32_t>& items) { repairs.Add(items); });
  }

  IPCHelper helper;
  testipc::Inbox peerAnswers;  // before the peer: its callbacks may fill it until the peer is gone
  CIPCMessageClient peer{kPeer, false, false};
};

}  // namespace

// A start needs exactly one byte, and byte zero means stop only; a reply passes its first byte.
TEST_F(IPCHelperTest, OneByteMessagesReachTheirHandlersAsTheirFirstByte) {
  RecordedCalls<bool> starts;
  RecordedCalls<uint8_t> replies;
  auto startRegistration = helper.SetDoctorStartHandler([&](bool stopOnly) { starts.Add(stopOnly); });
  auto replyRegistration = helper.SetDetectReplyHandler([&](uint8_t offer) { replies.Add(offer); });

  for (const std::vector<uint8_t>& payload : {std::vector<uint8_t>{}, {1, 1}, {0}, {7}}) Send(kMsgDoctorStart, payload);
  Send(kMsgDetectReply, {5, 6, 7});

  ASSERT_TRUE(replies.WaitFor(1));
  EXPECT_EQ(starts.Values(), (std::vector<bool>{true, false}));
  EXPECT_EQ(replies.Values(), (std::vector<uint8_t>{5}));
}

TEST_F(IPCHelperTest, APayloadThatDoesNotDecodeCallsNoHandler) {
  RecordedCalls<std::vector<int32_t>> repairs;
  auto registration = RecordRepairs(repairs);

  Send(kMsgDoctorRepair, Le32({1, 5, 1, 2}));  // five promised, two there
  Send(kMsgDoctorRepair, Le32({2, 0}));        // unknown version
  Send(kMsgDoctorRepair, Le32({1, 1, 9}));     // the one that decodes

  ASSERT_TRUE(repairs.WaitFor(1));
  EXPECT_EQ(repairs.Values(), (std::vector<std::vector<int32_t>>{{9}}));
}

TEST_F(IPCHelperTest, LogItemsReachTheirHandlerDecoded) {
  RecordedCalls<std::vector<SYSTEM_DETECT_LOG_ITEM>> lists;
  auto registration = helper.SetLogItemsHandler([&](const auto& items) { lists.Add(items); });
  std::vector<uint8_t> payload = Le32({1, 2, 4, 5});  // version, two items; module 4, a name of 5 bytes
  payload.insert(payload.end(), {'a', '.', 'l', 'o', 'g'});
  const std::vector<uint8_t> second = Le32({7, 2});  // module 7, a name of 2 bytes: one letter in UTF-8
  payload.insert(payload.end(), second.begin(), second.end());
  payload.insert(payload.end(), {0xC3, 0xBC});

  Send(kMsgLogList, Le32({1, 1, 4}));  // promises a name, holds none
  Send(kMsgLogList, payload);

  ASSERT_TRUE(lists.WaitFor(1));
  EXPECT_EQ(lists.Values(), (std::vector<std::vector<SYSTEM_DETECT_LOG_ITEM>>{{{4, "a.log"}, {7, "\xC3\xBC"}}}));
}

TEST_F(IPCHelperTest, ModuleInfoAnswerGoesBackToTheQuerysSource) {
  peer.RegisterMessageCallback(kMsgModuleInfoAnswer, peerAnswers.Callback());

  peer.PostIPCMessage(testipc::Message(kDoctorModule, kMsgModuleInfoQuery));

  ASSERT_TRUE(peerAnswers.WaitFor(1));
  const auto answer = peerAnswers.Values()[0];
  EXPECT_EQ(answer.header.nDstModuleId, kPeer);
  EXPECT_EQ(answer.header.nSrcModuleId, kSysdiagnoseModule);
  EXPECT_EQ(Decode<tagDoctorModuleInfo>(answer),
            (tagDoctorModuleInfo{u"file='drawable/hardware/index_hardware.png'",
                                 u"file='drawable/hardware/doctor_module.png'", u"IDS_HARDWARE_DETECT", 0x390000,
                                 0x390020, 0x390021, 60000}));
}

namespace {

struct OtherOwner {
  RecordedCalls<std::vector<int32_t>> calls;
  void OnList(std::vector<int32_t> items) { calls.Add(std::move(items)); }
};

}  // namespace

TEST_F(IPCHelperTest, ADuplicateReceiverIdIsRefusedAndTheFirstStays) {
  OtherOwner other;
  RecordedCalls<std::vector<int32_t>> repairs;
  auto registration = RecordRepairs(repairs);

  EXPECT_EQ(helper.RegisterServerProc(std::make_unique<CIPCServerProc<OtherOwner, std::vector<int32_t>>>(
                kMsgDoctorRepair, &other, &OtherOwner::OnList)),
            -1);
  Send(kMsgDoctorRepair, Le32({1, 1, 3}));
  Send(kMsgDoctorRepair, Le32({1, 1, 4}));

  ASSERT_TRUE(repairs.WaitFor(2));  // the first message was handled in full before the second
  EXPECT_EQ(other.calls.Count(), 0u);
}

TEST_F(IPCHelperTest, NoHandlerRunsOnceItsRegistrationIsDropped) {
  std::atomic<bool> dropped{false};
  std::atomic<int> calls{0}, lateCalls{0};
  auto registration = helper.SetDoctorStartHandler([&](bool) {
    ++calls;
    std::this_thread::sleep_for(200us);  // still inside when the drop starts
    if (dropped) ++lateCalls;
  });
  RecordedCalls<uint8_t> fence;
  auto fenceRegistration = helper.SetDetectReplyHandler([&](uint8_t offer) { fence.Add(offer); });
  std::atomic<bool> stop{false};
  std::thread poster([&] {
    while (!stop) {
      Send(kMsgDoctorStart, {1});
      std::this_thread::sleep_for(20us);
    }
    Send(kMsgDetectReply, {1});
  });
  while (calls == 0) std::this_thread::yield();

  registration.Reset();
  dropped = true;
  stop = true;
  poster.join();

  ASSERT_TRUE(fence.WaitFor(1));  // every start posted before it has been handled
  EXPECT_EQ(lateCalls, 0);
}

TEST_F(IPCHelperTest, AHandlerMayDropItsOwnRegistration) {
  RecordedCalls<bool> done;
  auto registration = std::make_shared<HandlerRegistration>();
  *registration = helper.SetDoctorStartHandler([&done, registration](bool) {
    registration->Reset();  // must not wait for the very call it is in
    done.Add(true);
  });
  registration.reset();  // from now on only the handler holds it

  Send(kMsgDoctorStart, {1});

  EXPECT_TRUE(done.WaitFor(1));
}

// ---- The summaries posted to the health-check module --------------------------------------------

namespace {

tagDoctorItem ItemInState(uint32_t state) {
  tagDoctorItem item;
  item.strName = u"Battery";
  item.nState = state;
  return item;
}

class DoctorSummaryTest : public ::testing::Test {
 protected:
  DoctorSummaryTest() {
    doctor.RegisterMessageCallback(kMsgDoctorResult, detectionReports.Callback());
    doctor.RegisterMessageCallback(kMsgDoctorRunResult, runReports.Callback());
  }

  IPCHelper helper;
  testipc::Inbox detectionReports, runReports;
  CIPCMessageClient doctor{kDoctorModule, false, false};
};

}  // namespace

TEST_F(DoctorSummaryTest, TheModuleReceivesTheRecordUnderThePluginsModuleIdAndTime) {
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
  EXPECT_EQ(Decode<tagDoctorResult>(report), result);
}

TEST_F(DoctorSummaryTest, EachModePostsToItsOwnMessageOrNowhere) {
  tagDoctorResult result;

  for (int32_t mode : {5, 0, 1, 2}) helper.PostDoctorSummary(result, mode);

  // The plug-in's posts arrive in order: once the last one is in, every earlier one is too.
  ASSERT_TRUE(runReports.WaitFor(1));
  EXPECT_EQ(detectionReports.Count(), 2u);
  EXPECT_EQ(runReports.Count(), 1u);
}

// An all-normal summary keeps the abnormal count of the one before.
TEST_F(DoctorSummaryTest, TheSummaryCountsTheAbnormalRowsInTheWordsOfItsMode) {
  auto text = [](const char16_t* key) { return UICulture::GetInstance().GetMultiVarStr(key, {int64_t{2}}); };
  tagDoctorResult result;
  result.vecItems = {ItemInState(kDoctorStateAbnormal), ItemInState(kDoctorStateNormal), ItemInState(kDoctorStateAbnormal)};
  const std::u16string repair = text(u"IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM_REPAIR_DETAIL");
  const std::u16string detection = text(u"IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM_DETAIL");
  ASSERT_NE(repair, detection);

  for (const auto& [mode, sentence] : {std::pair{1, repair}, std::pair{0, detection}}) {
    helper.PostDoctorSummary(result, mode);
    EXPECT_EQ(result.strSummary, sentence) << "mode " << mode;
    EXPECT_EQ(result.nAbnormalCount, 2u);
  }
  result.vecItems = {ItemInState(kDoctorStateNormal)};
  helper.PostDoctorSummary(result, 0);

  EXPECT_EQ(result.strSummaryKey, u"IDS_HARDWARE_DETECT_DOCTOR_INDEX_DESCRIPTION_OK");
  EXPECT_EQ(result.nAbnormalCount, 2u);
}
