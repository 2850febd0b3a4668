// The in-process message bus behind CIPCMessageClient.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <future>
#include <map>
#include <mutex>
#include <memory>
#include <thread>
#include <vector>

#include "IPCMessage/IPCMessageClient.h"
#include "IPCMessage/MessageBus.h"
#include "host/ipc/inbox.h"

using namespace std::chrono_literals;
using testipc::Inbox;
using testipc::Message;

namespace {

constexpr uint32_t kReceiver = 0x710000;
constexpr uint32_t kSender = 0x720000;
constexpr uint32_t kListener = 0x730000;

}  // namespace

TEST(MessageBus, DeliversACopyOfRecordAndPayloadToTheDestinationWithTheSendersId) {
  Inbox inbox;
  CIPCMessageClient receiver(kReceiver, false, false);
  receiver.RegisterMessageCallback(kReceiver | 5, inbox.Callback());
  CIPCMessageClient sender(kSender, false, false);

  std::vector<uint8_t> payload{1, 2, 3};
  tagIPC_MESSAGE_ITEM message = Message(kReceiver, kReceiver | 5, &payload);
  message.nReplyMessageId = 0x3C0001;
  message.nReserved1 = 7;
  message.nReserved2 = 9;
  ASSERT_TRUE(sender.PostIPCMessage(message));
  payload.assign({9, 9, 9});  // the poster frees or reuses its buffer right after posting

  ASSERT_TRUE(inbox.WaitFor(1));
  const auto got = inbox.Messages().at(0);
  EXPECT_EQ(got.payload, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(got.header.nSrcModuleId, kSender);
  EXPECT_EQ(got.header.nDstModuleId, kReceiver);
  EXPECT_EQ(got.header.nMessageId, kReceiver | 5);
  EXPECT_EQ(got.header.nReplyMessageId, 0x3C0001u);
  EXPECT_EQ(got.header.nReserved1, 7u);
  EXPECT_EQ(got.header.nReserved2, 9u);
  EXPECT_EQ(got.header.nDataLen, 3u);
}

TEST(MessageBus, KeepsALengthWithoutPayloadAndGivesNoPointer) {
  Inbox inbox;
  CIPCMessageClient receiver(kReceiver, false, false);
  receiver.RegisterMessageCallback(kReceiver | 3, inbox.Callback());
  CIPCMessageClient sender(kSender, false, false);

  tagIPC_MESSAGE_ITEM message = Message(kReceiver, kReceiver | 3);
  message.nDataLen = 1;  // a length field with no payload behind it
  sender.PostIPCMessage(message);

  ASSERT_TRUE(inbox.WaitFor(1));
  EXPECT_EQ(inbox.Messages()[0].header.nDataLen, 1u);
  EXPECT_FALSE(inbox.Messages()[0].hadPointer);
}

TEST(MessageBus, RefusesAPayloadAboveTheLimitWithoutReadingIt) {
  CIPCMessageClient sender(kSender, false, false);
  uint8_t byte = 0;
  tagIPC_MESSAGE_ITEM message = Message(kReceiver, kReceiver | 1);
  message.pData = &byte;
  message.nDataLen = CIPCMessageClient::kMaxPayload + 1;
  EXPECT_FALSE(sender.PostIPCMessage(message));
}

TEST(MessageBus, NeverDeliversOnThePostersThread) {
  Inbox inbox;
  CIPCMessageClient receiver(kReceiver, false, false);
  receiver.RegisterMessageCallback(kReceiver | 1, inbox.Callback());
  CIPCMessageClient sender(kSender, false, false);

  for (int i = 0; i < 200; ++i) sender.PostIPCMessage(Message(kReceiver, kReceiver | 1));

  ASSERT_TRUE(inbox.WaitFor(200));
  for (const auto& got : inbox.Messages()) EXPECT_NE(got.thread, std::this_thread::get_id());
}

TEST(MessageBus, KeepsEverySendersMessagesInOrder) {
  constexpr int kSenders = 4;
  constexpr uint32_t kPerSender = 3000;
  std::mutex mutex;
  std::map<uint32_t, std::vector<uint32_t>> seen;  // sender -> sequence numbers
  std::atomic<uint32_t> received{0};
  CIPCMessageClient receiver(kReceiver, false, false);
  receiver.RegisterMessageCallback(kReceiver | 1, [&](const tagIPC_MESSAGE_ITEM& message) {
    uint32_t sequence = 0;
    std::memcpy(&sequence, message.pData, 4);
    std::lock_guard lock(mutex);
    seen[message.nSrcModuleId].push_back(sequence);
    ++received;
  });

  std::vector<std::thread> threads;
  for (int s = 0; s < kSenders; ++s) {
    threads.emplace_back([s] {
      CIPCMessageClient sender(kSender + (static_cast<uint32_t>(s) << 16), false, false);
      for (uint32_t i = 0; i < kPerSender; ++i) {
        std::vector<uint8_t> payload(4);
        std::memcpy(payload.data(), &i, 4);
        sender.PostIPCMessage(Message(kReceiver, kReceiver | 1, &payload));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (received < kSenders * kPerSender && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);

  std::lock_guard lock(mutex);
  ASSERT_EQ(seen.size(), static_cast<size_t>(kSenders));
  for (const auto& [sender, sequence] : seen) {
    ASSERT_EQ(sequence.size(), kPerSender) << std::hex << sender;
    for (uint32_t i = 0; i < kPerSender; ++i) ASSERT_EQ(sequence[i], i) << std::hex << sender;
  }
}

TEST(MessageBus, SubscribersOfTheClassHearOtherModulesMessagesButNotTheirOwn) {
  Inbox destination, listener, own;
  CIPCMessageClient doctor(0x200000, false, false);
  doctor.RegisterMessageCallback(0x200009, destination.Callback());
  doctor.SetSubscribedMessageCallback(own.Callback());  // is the destination: hears it there only
  doctor.SubscribeIPCMessage(0x200000, 0);
  CIPCMessageClient listening(kListener, false, false);
  listening.SubscribeIPCMessage(0x200000, 0);
  listening.SetSubscribedMessageCallback(listener.Callback());
  Inbox senderHeard;
  CIPCMessageClient sender(kSender, false, false);
  sender.SubscribeIPCMessage(0x200000, 0);
  sender.SetSubscribedMessageCallback(senderHeard.Callback());

  sender.PostIPCMessage(Message(0x200000, 0x3B0001));  // another class: no subscriber hears it
  sender.PostIPCMessage(Message(0x200000, 0x200009));

  ASSERT_TRUE(destination.WaitFor(1));
  ASSERT_TRUE(listener.WaitFor(1));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(destination.Count(), 1u);
  EXPECT_EQ(listener.Count(), 1u);
  EXPECT_EQ(listener.Messages()[0].header.nMessageId, 0x200009u);
  EXPECT_EQ(listener.Messages()[0].header.nSrcModuleId, kSender);
  EXPECT_EQ(own.Count(), 0u);
  EXPECT_EQ(senderHeard.Count(), 0u);
}

TEST(MessageBus, ASubscriptionToOneMessageIdLetsOnlyThatMessageThrough) {
  Inbox listener, fence;
  CIPCMessageClient listening(kListener, false, false);
  listening.SubscribeIPCMessage(0x200000, 0x20000B);
  listening.SetSubscribedMessageCallback(listener.Callback());
  listening.RegisterMessageCallback(kListener | 1, fence.Callback());
  CIPCMessageClient sender(kSender, false, false);

  sender.PostIPCMessage(Message(0x200000, 0x20000A));
  sender.PostIPCMessage(Message(0x200000, 0x20000B));
  sender.PostIPCMessage(Message(kListener, kListener | 1));

  ASSERT_TRUE(fence.WaitFor(1));  // the sender's earlier messages were delivered before it
  ASSERT_EQ(listener.Count(), 1u);
  EXPECT_EQ(listener.Messages()[0].header.nMessageId, 0x20000Bu);
}

TEST(MessageBus, UnsubscribingStopsDelivery) {
  Inbox listener, fence;
  CIPCMessageClient listening(kListener, false, false);
  ASSERT_TRUE(listening.SubscribeIPCMessage(0x200000, 0));
  EXPECT_FALSE(listening.SubscribeIPCMessage(0x200000, 0));
  listening.SetSubscribedMessageCallback(listener.Callback());
  listening.RegisterMessageCallback(kListener | 1, fence.Callback());
  CIPCMessageClient sender(kSender, false, false);

  sender.PostIPCMessage(Message(0x200000, 0x20000B));
  ASSERT_TRUE(listener.WaitFor(1));
  ASSERT_TRUE(listening.UnSubscribeIPCMessage(0x200000, 0));
  EXPECT_FALSE(listening.UnSubscribeIPCMessage(0x200000, 0));
  sender.PostIPCMessage(Message(0x200000, 0x20000B));
  sender.PostIPCMessage(Message(kListener, kListener | 1));

  ASSERT_TRUE(fence.WaitFor(1));
  EXPECT_EQ(listener.Count(), 1u);
}

TEST(MessageBus, ASecondRegistrationForAnIdReplacesTheFirst) {
  Inbox first, second;
  CIPCMessageClient receiver(kReceiver, false, false);
  receiver.RegisterMessageCallback(kReceiver | 1, first.Callback());
  receiver.RegisterMessageCallback(kReceiver | 1, second.Callback());
  CIPCMessageClient sender(kSender, false, false);

  sender.PostIPCMessage(Message(kReceiver, kReceiver | 1));

  ASSERT_TRUE(second.WaitFor(1));
  EXPECT_EQ(first.Count(), 0u);
}

TEST(MessageBus, UnregisteringOneIdKeepsTheOthers) {
  Inbox gone, kept;
  CIPCMessageClient receiver(kReceiver, false, false);
  receiver.RegisterMessageCallback(kReceiver | 1, gone.Callback());
  receiver.RegisterMessageCallback(kReceiver | 2, kept.Callback());
  EXPECT_TRUE(receiver.UnRegisterMessageCallback(kReceiver | 1));
  EXPECT_FALSE(receiver.UnRegisterMessageCallback(kReceiver | 1));
  CIPCMessageClient sender(kSender, false, false);

  sender.PostIPCMessage(Message(kReceiver, kReceiver | 1));
  sender.PostIPCMessage(Message(kReceiver, kReceiver | 2));

  ASSERT_TRUE(kept.WaitFor(1));
  EXPECT_EQ(gone.Count(), 0u);
}

TEST(MessageBus, UnregisteringAllSilencesTheSubscriptionToo) {
  Inbox inbox, fence;
  CIPCMessageClient receiver(kReceiver, false, false);
  receiver.RegisterMessageCallback(kReceiver | 1, inbox.Callback());
  receiver.SubscribeIPCMessage(0x200000, 0);
  receiver.SetSubscribedMessageCallback(inbox.Callback());
  receiver.UnRegisterMessageCallbackAll();
  CIPCMessageClient witness(kListener, false, false);
  witness.RegisterMessageCallback(kListener | 1, fence.Callback());
  CIPCMessageClient sender(kSender, false, false);

  sender.PostIPCMessage(Message(kReceiver, kReceiver | 1));
  sender.PostIPCMessage(Message(0x200000, 0x20000B));
  sender.PostIPCMessage(Message(kListener, kListener | 1));

  ASSERT_TRUE(fence.WaitFor(1));
  EXPECT_EQ(inbox.Count(), 0u);
}

// Posts until told to stop, so that deliveries are under way while the test tears down.
class BackgroundPoster {
 public:
  BackgroundPoster(uint32_t destination, uint32_t messageId)
      : thread_([this, destination, messageId] {
          CIPCMessageClient sender(kSender, false, false);
          while (!stop_) {
            sender.PostIPCMessage(Message(destination, messageId));
            std::this_thread::sleep_for(20us);
          }
        }) {}
  ~BackgroundPoster() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(MessageBus, NoCallbackRunsOnceUnregistrationHasReturned) {
  for (int round = 0; round < 20; ++round) {
    std::atomic<bool> unregistered{false};
    std::atomic<int> lateCalls{0}, calls{0};
    CIPCMessageClient receiver(kReceiver, false, false);
    receiver.RegisterMessageCallback(kReceiver | 1, [&](const tagIPC_MESSAGE_ITEM&) {
      ++calls;
      std::this_thread::sleep_for(200us);  // still inside when the unregistration starts
      if (unregistered) ++lateCalls;
    });
    BackgroundPoster poster(kReceiver, kReceiver | 1);
    while (calls == 0) std::this_thread::yield();

    receiver.UnRegisterMessageCallback(kReceiver | 1);
    unregistered = true;
    std::this_thread::sleep_for(2ms);
    EXPECT_EQ(lateCalls, 0) << "round " << round;
  }
}

TEST(MessageBus, NoCallbackRunsOnceTheClientIsDestroyed) {
  for (int round = 0; round < 20; ++round) {
    // The callback writes into state that dies right after the client: a late call would be a
    // use after free.
    // (Messages of different senders may be delivered side by side, hence the mutex.)
    struct State {
      std::mutex mutex;
      std::vector<int> seen;
    };
    auto state = std::make_unique<State>();
    std::atomic<int> calls{0};
    auto receiver = std::make_unique<CIPCMessageClient>(kReceiver, false, false);
    receiver->RegisterMessageCallback(kReceiver | 1, [&calls, target = state.get()](const tagIPC_MESSAGE_ITEM&) {
      ++calls;
      std::this_thread::sleep_for(100us);
      std::lock_guard lock(target->mutex);
      target->seen.push_back(1);
    });
    BackgroundPoster poster(kReceiver, kReceiver | 1);
    while (calls == 0) std::this_thread::yield();

    receiver.reset();
    const int callsAtDestruction = calls;
    state.reset();
    std::this_thread::sleep_for(2ms);
    EXPECT_EQ(calls, callsAtDestruction);
  }
}

namespace {

// Held by a callback; slow to go, so that a release after the unregistration is seen.
struct SlowToRelease {
  std::atomic<bool>& released;
  ~SlowToRelease() {
    std::this_thread::sleep_for(10ms);
    released = true;
  }
};

}  // namespace

TEST(MessageBus, WhatACallbackHoldsIsReleasedBeforeItsUnregistrationReturns) {
  std::atomic<bool> released{false};
  std::promise<void> entered, leave;
  std::shared_future<void> mayLeave = leave.get_future().share();
  CIPCMessageClient receiver(kReceiver, false, false);
  receiver.RegisterMessageCallback(kReceiver | 1, [&, held = std::make_shared<SlowToRelease>(released)](
                                                      const tagIPC_MESSAGE_ITEM&) {
    entered.set_value();
    mayLeave.wait();
  });
  CIPCMessageClient sender(kSender, false, false);
  sender.PostIPCMessage(Message(kReceiver, kReceiver | 1));
  entered.get_future().wait();

  std::thread unregister([&] { receiver.UnRegisterMessageCallback(kReceiver | 1); });
  std::this_thread::sleep_for(5ms);
  leave.set_value();
  unregister.join();

  EXPECT_TRUE(released);
}

TEST(MessageBus, ACallbackMayUnregisterItselfAndDestroyItsClient) {
  std::atomic<CIPCMessageClient*> receiver{new CIPCMessageClient(kReceiver, false, false)};
  std::atomic<bool> done{false};
  receiver.load()->RegisterMessageCallback(kReceiver | 1, [&](const tagIPC_MESSAGE_ITEM&) {
    CIPCMessageClient* self = receiver.exchange(nullptr);
    if (!self) return;
    self->UnRegisterMessageCallback(kReceiver | 1);  // waits for nobody: the only call is this one
    delete self;
    done = true;
  });
  CIPCMessageClient sender(kSender, false, false);

  sender.PostIPCMessage(Message(kReceiver, kReceiver | 1));

  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!done && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(done);
}

TEST(MessageBus, AThrowingCallbackLosesItsMessageButNotTheBus) {
  Inbox inbox;
  std::atomic<int> thrown{0};
  CIPCMessageClient receiver(kReceiver, false, false);
  receiver.RegisterMessageCallback(kReceiver | 1, [&](const tagIPC_MESSAGE_ITEM&) {
    ++thrown;
    throw std::runtime_error("receiver failed");
  });
  receiver.RegisterMessageCallback(kReceiver | 2, inbox.Callback());
  CIPCMessageClient sender(kSender, false, false);

  sender.PostIPCMessage(Message(kReceiver, kReceiver | 1));
  sender.PostIPCMessage(Message(kReceiver, kReceiver | 2));

  ASSERT_TRUE(inbox.WaitFor(1));
  EXPECT_EQ(thrown, 1);
}

TEST(MessageBus, EveryClientUnderTheDestinationIdReceivesIt) {
  Inbox first, second;
  CIPCMessageClient a(kReceiver, false, false), b(kReceiver, false, false);
  a.RegisterMessageCallback(kReceiver | 1, first.Callback());
  b.RegisterMessageCallback(kReceiver | 1, second.Callback());
  CIPCMessageClient sender(kSender, false, false);

  sender.PostIPCMessage(Message(kReceiver, kReceiver | 1));

  EXPECT_TRUE(first.WaitFor(1));
  EXPECT_TRUE(second.WaitFor(1));
}

namespace {

// Stands where a transport to other processes would: sees every post, then hands it on.
class CountingTransport final : public hostipc::IMessageTransport {
 public:
  explicit CountingTransport(std::unique_ptr<hostipc::IMessageTransport> next, std::atomic<int>& sent)
      : next_(std::move(next)), sent_(sent) {}
  bool Send(hostipc::BusMessage message) override {
    ++sent_;
    return next_->Send(std::move(message));
  }
  void Shutdown() override { next_->Shutdown(); }

 private:
  std::unique_ptr<hostipc::IMessageTransport> next_;
  std::atomic<int>& sent_;
};

}  // namespace

TEST(MessageBus, ClientsPostThroughWhateverTransportTheBusHas) {
  auto bus = hostipc::MessageBus::Instance();
  std::atomic<int> sent{0};
  bus->SetTransport(std::make_unique<CountingTransport>(bus->MakeLocalTransport(), sent));
  Inbox inbox;
  {
    CIPCMessageClient receiver(kReceiver, false, false);
    receiver.RegisterMessageCallback(kReceiver | 1, inbox.Callback());
    CIPCMessageClient sender(kSender, false, false);

    sender.PostIPCMessage(Message(kReceiver, kReceiver | 1));
    EXPECT_TRUE(inbox.WaitFor(1));
  }
  bus->SetTransport(bus->MakeLocalTransport());
  EXPECT_EQ(sent, 1);
}
