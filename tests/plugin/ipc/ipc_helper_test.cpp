// IPCHelper on the bus: what it answers, which messages reach which handler, and its receivers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
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
#include "plugin/ipc/recorded_calls.h"
#include "plugin/ipc/wire_bytes.h"
#include "support/log_capture.h"

using namespace zel::sysdiagnose;
using namespace std::chrono_literals;
using testipc::Inbox;
using testipc::RecordedCalls;
using testipc::WireBytes;

namespace {

constexpr uint32_t kPeer = 0x450000;

class IPCHelperTest : public ::testing::Test {
 protected:
  // Posts to the plug-in from the peer module.
  void Send(uint32_t messageId, std::vector<uint8_t> payload) {
    tagIPC_MESSAGE_ITEM message = testipc::Message(kSysdiagnoseModule, messageId, &payload);
    peer.PostIPCMessage(message);
  }
  void SendWithoutData(uint32_t messageId, uint32_t length) {
    tagIPC_MESSAGE_ITEM message = testipc::Message(kSysdiagnoseModule, messageId);
    message.nDataLen = length;
    peer.PostIPCMessage(message);
  }

  IPCHelper helper;
  Inbox peerAnswers;  // before the peer: its callbacks may fill it until the peer is gone
  CIPCMessageClient peer{kPeer, false, false};
};

template <typename T>
T DecodeAs(const testipc::ReceivedMessage& message) {
  std::vector<uint8_t> bytes = message.payload;
  tagIPC_MESSAGE_ITEM record{};
  record.nDataLen = static_cast<uint32_t>(bytes.size());
  record.pData = bytes.data();
  CIPCDataIO reader(&record, CIPCDataIO::kReader);
  ReadVersion(reader);
  T value{};
  Unserialize(reader, value);
  EXPECT_EQ(reader.Position(), bytes.size()) << "trailing bytes";
  return value;
}

}  // namespace

TEST_F(IPCHelperTest, DoctorStartNeedsExactlyOneByteAndByteZeroMeansStopOnly) {
  RecordedCalls<bool> calls;
  auto registration = helper.SetDoctorStartHandler([&](bool stopOnly) { calls.Add(stopOnly); });

  Send(kMsgDoctorStart, {});
  SendWithoutData(kMsgDoctorStart, 1);
  Send(kMsgDoctorStart, {1, 1});
  Send(kMsgDoctorStart, {0});
  Send(kMsgDoctorStart, {7});

  ASSERT_TRUE(calls.WaitFor(2));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(calls.Values(), (std::vector<bool>{true, false}));
}

TEST_F(IPCHelperTest, DetectReplyPassesOnlyTheFirstByte) {
  RecordedCalls<uint8_t> calls;
  auto registration = helper.SetDetectReplyHandler([&](uint8_t offer) { calls.Add(offer); });

  Send(kMsgDetectReply, {});
  SendWithoutData(kMsgDetectReply, 3);
  Send(kMsgDetectReply, {5, 6, 7});
  Send(kMsgDetectReply, {0});

  ASSERT_TRUE(calls.WaitFor(2));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(calls.Values(), (std::vector<uint8_t>{5, 0}));
}

TEST_F(IPCHelperTest, AMessageForAnEmptySlotIsDropped) {
  RecordedCalls<bool> calls;
  peer.RegisterMessageCallback(kMsgModuleInfoAnswer, peerAnswers.Callback());
  Send(kMsgDoctorStart, {1});  // nobody listens yet
  Send(kMsgDetectReply, {1});
  Send(kMsgDoctorRepair, WireBytes().U32(1).U32(0));
  peer.PostIPCMessage(testipc::Message(kDoctorModule, kMsgModuleInfoQuery));
  ASSERT_TRUE(peerAnswers.WaitFor(1));  // the peer's earlier messages have been handled by now

  auto registration = helper.SetDoctorStartHandler([&](bool stopOnly) { calls.Add(stopOnly); });
  Send(kMsgDoctorStart, {0});
  ASSERT_TRUE(calls.WaitFor(1));
  EXPECT_EQ(calls.Values().size(), 1u);
}

TEST_F(IPCHelperTest, ModuleInfoAnswerGoesBackToTheQuerysSource) {
  Inbox doctorAnswers;
  CIPCMessageClient doctor(kDoctorModule, false, false);
  doctor.RegisterMessageCallback(kMsgModuleInfoAnswer, doctorAnswers.Callback());
  peer.RegisterMessageCallback(kMsgModuleInfoAnswer, peerAnswers.Callback());

  peer.PostIPCMessage(testipc::Message(kDoctorModule, 0x200001));  // another message of the class
  peer.PostIPCMessage(testipc::Message(kDoctorModule, kMsgModuleInfoQuery));
  ASSERT_TRUE(peerAnswers.WaitFor(1));
  doctor.PostIPCMessage(testipc::Message(kDoctorModule, kMsgModuleInfoQuery));
  ASSERT_TRUE(doctorAnswers.WaitFor(1));
  std::this_thread::sleep_for(20ms);

  ASSERT_EQ(peerAnswers.Count(), 1u);
  ASSERT_EQ(doctorAnswers.Count(), 1u);
  const auto answer = peerAnswers.Messages()[0];
  EXPECT_EQ(answer.header.nDstModuleId, kPeer);
  EXPECT_EQ(answer.header.nSrcModuleId, kSysdiagnoseModule);
  EXPECT_EQ(answer.header.nReplyMessageId, 0xFFFFFFFFu);
  EXPECT_EQ(answer.header.nReserved1, 0xFFFFFFFFu);
  EXPECT_EQ(answer.header.nReserved2, 0u);
  EXPECT_EQ(answer.header.bFlag, 0);
  EXPECT_EQ(DecodeAs<tagDoctorModuleInfo>(answer), SysdiagnoseModuleInfo());
}

TEST_F(IPCHelperTest, RepairRequestAndLogListAreDecodedForTheirHandlers) {
  RecordedCalls<std::vector<int32_t>> repairs;
  RecordedCalls<std::vector<SYSTEM_DETECT_LOG_ITEM>> logs;
  auto r1 = helper.SetDoctorRepairHandler([&](const std::vector<int32_t>& items) { repairs.Add(items); });
  auto r2 = helper.SetLogItemsHandler([&](const std::vector<SYSTEM_DETECT_LOG_ITEM>& items) { logs.Add(items); });

  Send(kMsgDoctorRepair, WireBytes().U32(1).U32(3).U32(4).U32(0xFFFFFFFF).U32(0));
  Send(kMsgLogList, WireBytes().U32(1).U32(2).U32(4).Narrow("app.log").U32(1).Narrow("\xE6\x97\xA5.log"));

  ASSERT_TRUE(repairs.WaitFor(1));
  ASSERT_TRUE(logs.WaitFor(1));
  EXPECT_EQ(repairs.Values()[0], (std::vector<int32_t>{4, -1, 0}));
  EXPECT_EQ(logs.Values()[0], (std::vector<SYSTEM_DETECT_LOG_ITEM>{{4, "app.log"}, {1, "\xE6\x97\xA5.log"}}));
}

TEST_F(IPCHelperTest, APayloadThatDoesNotDecodeCallsNothingAndIsLogged) {
  testenv::LogCapture log;
  RecordedCalls<std::vector<int32_t>> repairs;
  RecordedCalls<std::vector<SYSTEM_DETECT_LOG_ITEM>> logs;
  auto r1 = helper.SetDoctorRepairHandler([&](const std::vector<int32_t>& items) { repairs.Add(items); });
  auto r2 = helper.SetLogItemsHandler([&](const std::vector<SYSTEM_DETECT_LOG_ITEM>& items) { logs.Add(items); });

  Send(kMsgDoctorRepair, WireBytes().U32(1).U32(5).U32(1).U32(2));      // five promised, two there
  Send(kMsgDoctorRepair, WireBytes().U32(2).U32(0));                     // unknown version
  Send(kMsgLogList, WireBytes().U32(1).U32(1).U32(4).U32(100).U8('a'));  // name cut short
  SendWithoutData(kMsgLogList, 8);
  Send(kMsgDoctorRepair, WireBytes().U32(1).U32(1).U32(9));              // the one that decodes

  ASSERT_TRUE(repairs.WaitFor(1));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(repairs.Values(), (std::vector<std::vector<int32_t>>{{9}}));
  EXPECT_TRUE(logs.Values().empty());
  std::vector<std::string> warnings;
  for (const auto& line : log.LinesAtLeast(log4cplus::WARN_LOG_LEVEL)) warnings.push_back(line.message);
  ASSERT_EQ(warnings.size(), 4u);
  EXPECT_NE(warnings[0].find("Data for unserialize too small"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[1].find("Invalid Serialize ver"), std::string::npos) << warnings[1];
  EXPECT_NE(warnings[2].find("Data for unserialize too small"), std::string::npos) << warnings[2];
}

namespace {

// A receiver owner of the test's own, to see which receiver a message reaches.
struct OtherOwner {
  RecordedCalls<std::vector<int32_t>> calls;
  void OnList(std::vector<int32_t> items) { calls.Add(std::move(items)); }
};

class TrackedReceiver : public CIPCServerProc<OtherOwner, std::vector<int32_t>> {
 public:
  TrackedReceiver(uint32_t id, OtherOwner* owner, std::atomic<bool>& deleted)
      : CIPCServerProc(id, owner, &OtherOwner::OnList), deleted_(deleted) {}
  ~TrackedReceiver() override { deleted_ = true; }

 private:
  std::atomic<bool>& deleted_;
};

}  // namespace

TEST_F(IPCHelperTest, ADuplicateReceiverIsRefusedAndDeletedAndTheFirstStays) {
  OtherOwner other;
  std::atomic<bool> deleted{false};
  RecordedCalls<std::vector<int32_t>> repairs;
  auto registration = helper.SetDoctorRepairHandler([&](const std::vector<int32_t>& items) { repairs.Add(items); });

  EXPECT_EQ(helper.RegisterServerProc(std::make_unique<TrackedReceiver>(kMsgDoctorRepair, &other, deleted)), -1);
  EXPECT_TRUE(deleted);
  Send(kMsgDoctorRepair, WireBytes().U32(1).U32(1).U32(3));

  ASSERT_TRUE(repairs.WaitFor(1));
  EXPECT_TRUE(other.calls.Values().empty());
}

TEST_F(IPCHelperTest, ANewReceiverIdIsAccepted) {
  OtherOwner other;
  std::atomic<bool> deleted{false};
  EXPECT_EQ(helper.RegisterServerProc(std::make_unique<TrackedReceiver>(0x390077, &other, deleted)), 1);

  Send(0x390077, WireBytes().U32(1).U32(2).U32(8).U32(9));

  ASSERT_TRUE(other.calls.WaitFor(1));
  EXPECT_EQ(other.calls.Values()[0], (std::vector<int32_t>{8, 9}));
  helper.UnregisterServerProcs();
  EXPECT_TRUE(deleted);
}

TEST_F(IPCHelperTest, AfterUnregisteringTheReceiversTheirMessagesAreDropped) {
  RecordedCalls<std::vector<int32_t>> repairs;
  RecordedCalls<bool> starts;
  auto r1 = helper.SetDoctorRepairHandler([&](const std::vector<int32_t>& items) { repairs.Add(items); });
  auto r2 = helper.SetDoctorStartHandler([&](bool stopOnly) { starts.Add(stopOnly); });

  helper.UnregisterServerProcs();
  Send(kMsgDoctorRepair, WireBytes().U32(1).U32(0));
  Send(kMsgDoctorStart, {1});  // a plain callback, not a receiver: still there

  ASSERT_TRUE(starts.WaitFor(1));
  EXPECT_TRUE(repairs.Values().empty());
}

TEST_F(IPCHelperTest, ADroppedRegistrationTakesItsHandlerOutButNotANewerOne) {
  RecordedCalls<std::string> calls;
  auto first = helper.SetDetectReplyHandler([&](uint8_t) { calls.Add("first"); });
  auto second = helper.SetDetectReplyHandler([&](uint8_t) { calls.Add("second"); });
  first.Reset();  // its owner goes; the slot belongs to the second by now

  Send(kMsgDetectReply, {1});
  ASSERT_TRUE(calls.WaitFor(1));
  second.Reset();
  Send(kMsgDetectReply, {1});
  RecordedCalls<bool> fence;
  auto start = helper.SetDoctorStartHandler([&](bool stopOnly) { fence.Add(stopOnly); });
  Send(kMsgDoctorStart, {1});
  ASSERT_TRUE(fence.WaitFor(1));

  EXPECT_EQ(calls.Values(), (std::vector<std::string>{"second"}));
}

TEST_F(IPCHelperTest, DroppingARegistrationWaitsForTheRunningHandler) {
  std::promise<void> entered, release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> handlerDone{false};
  auto registration = std::make_unique<HandlerRegistration>(helper.SetDoctorStartHandler([&](bool) {
    entered.set_value();
    released.wait();
    std::this_thread::sleep_for(5ms);
    handlerDone = true;
  }));
  Send(kMsgDoctorStart, {1});
  entered.get_future().wait();

  std::atomic<bool> dropped{false};
  std::thread owner([&] {
    registration.reset();
    dropped = true;
  });
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(dropped);  // the handler is still inside
  release.set_value();
  owner.join();

  EXPECT_TRUE(handlerDone);
}

namespace {

// Held by a handler; slow to go, so that a release after the registration was dropped is seen.
struct SlowToRelease {
  std::atomic<bool>& released;
  ~SlowToRelease() {
    std::this_thread::sleep_for(10ms);
    released = true;
  }
};

}  // namespace

TEST_F(IPCHelperTest, WhatAHandlerHoldsIsReleasedBeforeItsRegistrationIsDropped) {
  std::atomic<bool> released{false};
  std::promise<void> entered, leave;
  std::shared_future<void> mayLeave = leave.get_future().share();
  auto registration = std::make_unique<HandlerRegistration>(helper.SetDoctorStartHandler(
      [&, held = std::make_shared<SlowToRelease>(released)](bool) {
        entered.set_value();
        mayLeave.wait();
      }));
  Send(kMsgDoctorStart, {1});
  entered.get_future().wait();

  std::thread owner([&] { registration.reset(); });
  std::this_thread::sleep_for(5ms);
  leave.set_value();
  owner.join();

  EXPECT_TRUE(released);
}

TEST_F(IPCHelperTest, AHandlerMayDropItsOwnRegistration) {
  std::atomic<bool> done{false};
  auto registration = std::make_shared<HandlerRegistration>();
  *registration = helper.SetDoctorStartHandler([&, registration](bool) {
    registration->Reset();  // the owner goes away from inside its own handler
    done = true;
  });
  registration.reset();  // from now on only the handler holds it
  Send(kMsgDoctorStart, {1});

  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!done && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(done);
}

TEST(IPCHelperLifetime, NoHandlerRunsOnceTheHelperIsDestroyed) {
  CIPCMessageClient peer(kPeer, false, false);
  std::atomic<bool> destroyed{false};
  std::atomic<int> lateCalls{0}, calls{0};
  auto helper = std::make_unique<IPCHelper>();
  auto registration = helper->SetDoctorStartHandler([&](bool) {
    ++calls;
    std::this_thread::sleep_for(100us);
    if (destroyed) ++lateCalls;
  });
  std::atomic<bool> stop{false};
  std::thread poster([&] {
    uint8_t byte = 1;
    while (!stop) {
      tagIPC_MESSAGE_ITEM message = testipc::Message(kSysdiagnoseModule, kMsgDoctorStart);
      message.nDataLen = 1;
      message.pData = &byte;
      peer.PostIPCMessage(message);
      std::this_thread::sleep_for(20us);
    }
  });
  while (calls == 0) std::this_thread::yield();

  helper.reset();
  destroyed = true;
  std::this_thread::sleep_for(5ms);
  stop = true;
  poster.join();
  registration.Reset();  // outlives the helper without harm

  EXPECT_EQ(lateCalls, 0);
}
