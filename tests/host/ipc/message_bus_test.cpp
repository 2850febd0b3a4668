// The in-process message bus behind CIPCMessageClient, and the reference host's log service on it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "IPCMessage/IPCMessageClient.h"
#include "app/services/log_service.h"
#include "host/ipc/inbox.h"
#include "support/test_env.h"

using namespace std::chrono_literals;
using testipc::Inbox;
using testipc::Message;

namespace {

constexpr uint32_t kReceiver = 0x710000;
constexpr uint32_t kSender = 0x720000;
constexpr uint32_t kListener = 0x730000;
constexpr uint32_t kClass = 0x200000;

}  // namespace

TEST(MessageBus, DeliversACopyToTheDestinationAndTheClassSubscribersOffThePostersThread) {
  Inbox destination, listener;
  CIPCMessageClient receiver(kClass, false, false);
  receiver.RegisterMessageCallback(kClass | 9, destination.Callback());
  CIPCMessageClient listening(kListener, false, false);
  listening.SubscribeIPCMessage(kClass, 0);
  listening.SetSubscribedMessageCallback(listener.Callback());
  CIPCMessageClient sender(kSender, false, false);

  std::vector<uint8_t> payload{1, 2, 3};
  tagIPC_MESSAGE_ITEM message = Message(kClass, kClass | 9, &payload);
  message.nReserved2 = 7;
  ASSERT_TRUE(sender.PostIPCMessage(message));
  payload.assign({9, 9, 9});  // the poster reuses its buffer and record right after posting
  message.nReserved2 = 0;

  ASSERT_TRUE(destination.WaitFor(1));
  ASSERT_TRUE(listener.WaitFor(1));
  for (const auto& got : {destination.Values()[0], listener.Values()[0]}) {
    EXPECT_EQ(got.payload, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(got.header.nSrcModuleId, kSender);
    EXPECT_EQ(got.header.nMessageId, kClass | 9);
    EXPECT_EQ(got.header.nReserved2, 7u);
    EXPECT_NE(got.thread, std::this_thread::get_id());
  }
}

TEST(MessageBus, KeepsEverySendersMessagesInOrder) {
  constexpr uint32_t kSenders = 4, kPerSender = 1000;
  testipc::RecordedCalls<std::pair<uint32_t, uint32_t>> seen;  // sender, sequence number
  CIPCMessageClient receiver(kReceiver, false, false);
  receiver.RegisterMessageCallback(kReceiver | 1, [&](const tagIPC_MESSAGE_ITEM& message) {
    uint32_t sequence = 0;
    std::memcpy(&sequence, message.pData, 4);
    seen.Add({message.nSrcModuleId, sequence});
  });

  std::vector<std::thread> threads;
  for (uint32_t s = 0; s < kSenders; ++s) {
    threads.emplace_back([s] {
      CIPCMessageClient sender(kSender + (s << 16), false, false);
      for (uint32_t i = 0; i < kPerSender; ++i) {
        std::vector<uint8_t> payload(4);
        std::memcpy(payload.data(), &i, 4);
        sender.PostIPCMessage(Message(kReceiver, kReceiver | 1, &payload));
      }
    });
  }
  for (auto& thread : threads) thread.join();

  ASSERT_TRUE(seen.WaitFor(kSenders * kPerSender));
  std::map<uint32_t, uint32_t> next;  // sender -> the sequence number it must deliver next
  for (const auto& [sender, sequence] : seen.Values()) ASSERT_EQ(sequence, next[sender]++) << std::hex << sender;
  EXPECT_EQ(next.size(), kSenders);
}

TEST(MessageBus, NoCallbackRunsOnceUnregistrationOrTheDestructorHasReturned) {
  const std::pair<const char*, std::function<void(std::unique_ptr<CIPCMessageClient>&)>> ways[] = {
      {"unregister", [](auto& client) { client->UnRegisterMessageCallback(kReceiver | 1); }},
      {"destroy", [](auto& client) { client.reset(); }},
  };
  for (const auto& [way, drop] : ways) {
    for (int round = 0; round < 10; ++round) {
      std::atomic<bool> dropped{false};
      std::atomic<int> calls{0}, lateCalls{0};
      auto receiver = std::make_unique<CIPCMessageClient>(kReceiver, false, false);
      receiver->RegisterMessageCallback(kReceiver | 1, [&](const tagIPC_MESSAGE_ITEM&) {
        ++calls;
        std::this_thread::sleep_for(200us);  // still inside when the drop starts
        if (dropped) ++lateCalls;
      });
      Inbox heard;
      CIPCMessageClient witness(kListener, false, false);
      witness.RegisterMessageCallback(kListener | 1, heard.Callback());
      CIPCMessageClient sender(kSender, false, false);
      for (int i = 0; i < 20; ++i) sender.PostIPCMessage(Message(kReceiver, kReceiver | 1));
      while (calls == 0) std::this_thread::yield();

      drop(receiver);
      dropped = true;
      // One sender's messages arrive in order: once the witness hears this, all before it are through.
      sender.PostIPCMessage(Message(kListener, kListener | 1));
      ASSERT_TRUE(heard.WaitFor(1));
      EXPECT_EQ(lateCalls, 0) << way << ", round " << round;
    }
  }
}

TEST(MessageBus, ACallbackMayUnregisterItselfAndDestroyItsClient) {
  std::atomic<CIPCMessageClient*> receiver{new CIPCMessageClient(kReceiver, false, false)};
  testipc::RecordedCalls<bool> done;
  receiver.load()->RegisterMessageCallback(kReceiver | 1, [&](const tagIPC_MESSAGE_ITEM&) {
    CIPCMessageClient* self = receiver.exchange(nullptr);
    if (!self) return;
    self->UnRegisterMessageCallback(kReceiver | 1);  // must not wait for the very call it is in
    delete self;
    done.Add(true);
  });
  CIPCMessageClient sender(kSender, false, false);

  sender.PostIPCMessage(Message(kReceiver, kReceiver | 1));

  EXPECT_TRUE(done.WaitFor(1));
}

TEST(LogService, AnswersTheAskingModuleWithTheProfilesOfferAndItems) {
  testenv::UseMachine(R"({"logService": {"offerUpload": 1, "items": [{"module": 4, "name": "app.log"}]}})");
  constexpr uint32_t kAsker = 0x460000;
  testipc::Inbox answers;
  CIPCMessageClient asker(kAsker, false, false);
  asker.RegisterMessageCallback(0x3C0001, answers.Callback());
  asker.RegisterMessageCallback(0x3C0002, answers.Callback());
  app::LogService service;
  service.Start();
  // Version 1, one item: module 4 and its narrow name.
  std::vector<uint8_t> items = testipc::Le32({1, 1, 4, 7});
  for (char c : std::string("app.log")) items.push_back(static_cast<uint8_t>(c));
  const struct {
    uint32_t request, answer;
    std::vector<uint8_t> payload;
  } cases[] = {{0x3B0001, 0x3C0001, {1}}, {0x3B0002, 0x3C0002, items}};

  for (const auto& c : cases) asker.PostIPCMessage(testipc::Message(0x3B0000, c.request));

  ASSERT_TRUE(answers.WaitFor(2));  // one answerer: they arrive in order
  for (size_t i = 0; i < 2; ++i) {
    const auto answer = answers.Values()[i];
    EXPECT_EQ(answer.header.nMessageId, cases[i].answer);
    EXPECT_EQ(answer.header.nDstModuleId, kAsker);
    EXPECT_EQ(answer.payload, cases[i].payload);
  }
}
