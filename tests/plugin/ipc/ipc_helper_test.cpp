// IPCHelper on the bus: what it answers, which messages reach which handler, and its receivers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

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

TEST_F(IPCHelperTest, DoctorStartNeedsExactlyOneByteAndByteZeroMeansStopOnly) {
  RecordedCalls<bool> calls;
  auto registration = helper.SetDoctorStartHandler([&](bool stopOnly) { calls.Add(stopOnly); });

  for (const std::vector<uint8_t>& payload : {std::vector<uint8_t>{}, {1, 1}, {0}, {7}}) Send(kMsgDoctorStart, payload);

  ASSERT_TRUE(calls.WaitFor(2));
  EXPECT_EQ(calls.Values(), (std::vector<bool>{true, false}));
}

TEST_F(IPCHelperTest, DetectReplyPassesOnlyTheFirstByte) {
  RecordedCalls<uint8_t> calls;
  auto registration = helper.SetDetectReplyHandler([&](uint8_t offer) { calls.Add(offer); });

  Send(kMsgDetectReply, {5, 6, 7});

  ASSERT_TRUE(calls.WaitFor(1));
  EXPECT_EQ(calls.Values(), (std::vector<uint8_t>{5}));
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
  ASSERT_EQ(lists.Values().size(), 1u);
  const auto items = lists.Values()[0];
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].iModule, 4);
  EXPECT_EQ(items[0].strLogName, "a.log");
  EXPECT_EQ(items[1].iModule, 7);
  EXPECT_EQ(items[1].strLogName, "\xC3\xBC");
}

TEST_F(IPCHelperTest, ModuleInfoAnswerGoesBackToTheQuerysSource) {
  peer.RegisterMessageCallback(kMsgModuleInfoAnswer, peerAnswers.Callback());

  peer.PostIPCMessage(testipc::Message(kDoctorModule, kMsgModuleInfoQuery));

  ASSERT_TRUE(peerAnswers.WaitFor(1));
  auto answer = peerAnswers.Values()[0];
  EXPECT_EQ(answer.header.nDstModuleId, kPeer);
  EXPECT_EQ(answer.header.nSrcModuleId, kSysdiagnoseModule);
  tagIPC_MESSAGE_ITEM record{};
  record.nDataLen = static_cast<uint32_t>(answer.payload.size());
  record.pData = answer.payload.data();
  CIPCDataIO reader(&record, CIPCDataIO::kReader);
  tagDoctorModuleInfo info;
  ReadVersion(reader);
  Unserialize(reader, info);
  EXPECT_EQ(info.strIcon, u"file='drawable/hardware/index_hardware.png'");
  EXPECT_EQ(info.strModuleIcon, u"file='drawable/hardware/doctor_module.png'");
  EXPECT_EQ(info.strNameKey, u"IDS_HARDWARE_DETECT");
  EXPECT_EQ(info.nModuleId, 0x390000u);
  EXPECT_EQ(info.nStartMsgId, 0x390020u);
  EXPECT_EQ(info.nRepairMsgId, 0x390021u);
  EXPECT_EQ(info.usTime, 60000u);
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
