// The reference host's log service on the bus, answering from the machine profile.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "IPCMessage/IPCMessageClient.h"
#include "host/ipc/inbox.h"
#include "support/test_env.h"

// The log service belongs to the host program, not to a library; the test compiles it in.
#include "app/log_service.cpp"

using namespace std::chrono_literals;
using testipc::Inbox;

namespace {

constexpr uint32_t kAsker = 0x460000;
constexpr uint32_t kBystander = 0x390000;  // has callbacks for the answers but did not ask

class LogServiceTest : public ::testing::Test {
 protected:
  LogServiceTest() {
    for (auto* client : {&asker, &bystander}) {
      client->RegisterMessageCallback(0x3C0001, (client == &asker ? askerInbox : bystanderInbox).Callback());
      client->RegisterMessageCallback(0x3C0002, (client == &asker ? askerInbox : bystanderInbox).Callback());
    }
    service.Start();
  }

  void Ask(uint32_t messageId, uint32_t replyId) {
    tagIPC_MESSAGE_ITEM request = testipc::Message(0x3B0000, messageId);
    request.nReplyMessageId = replyId;
    asker.PostIPCMessage(request);
  }

  Inbox askerInbox, bystanderInbox;
  CIPCMessageClient asker{kAsker, false, false};
  CIPCMessageClient bystander{kBystander, false, false};
  app::LogService service;
};

std::vector<uint8_t> Le32(std::initializer_list<uint32_t> values) {
  std::vector<uint8_t> bytes;
  for (uint32_t v : values) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(v >> shift));
  }
  return bytes;
}

}  // namespace

TEST_F(LogServiceTest, AnswersADetectStartWithTheProfilesOfferToTheAskingModuleOnly) {
  testenv::UseMachine(R"({"logService": {"offerUpload": 1}})");

  Ask(0x3B0001, 0x3C0001);

  ASSERT_TRUE(askerInbox.WaitFor(1));
  const auto answer = askerInbox.Messages()[0];
  EXPECT_EQ(answer.header.nMessageId, 0x3C0001u);
  EXPECT_EQ(answer.header.nDstModuleId, kAsker);
  EXPECT_EQ(answer.header.nSrcModuleId, 0x3B0000u);
  EXPECT_EQ(answer.payload, (std::vector<uint8_t>{1}));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(bystanderInbox.Count(), 0u);
}

TEST_F(LogServiceTest, AnswersTheLogListAsVersionOneAndTheItems) {
  testenv::UseMachine(R"({"logService": {"items": [{"module": 4, "name": "/var/log/app.log"},
                                                   {"module": 2, "name": "d.zip"}]}})");

  Ask(0x3B0002, 0x3C0002);

  ASSERT_TRUE(askerInbox.WaitFor(1));
  const auto answer = askerInbox.Messages()[0];
  EXPECT_EQ(answer.header.nMessageId, 0x3C0002u);
  std::vector<uint8_t> expected = Le32({1, 2, 4, 16});
  for (char c : std::string("/var/log/app.log")) expected.push_back(static_cast<uint8_t>(c));
  for (uint8_t b : Le32({2, 5})) expected.push_back(b);
  for (char c : std::string("d.zip")) expected.push_back(static_cast<uint8_t>(c));
  EXPECT_EQ(answer.payload, expected);
}

TEST_F(LogServiceTest, WithoutAProfileNothingIsOfferedAndTheListIsEmpty) {
  testenv::UseEmptyMachine();

  Ask(0x3B0001, 0x3C0001);
  Ask(0x3B0002, 0x3C0002);

  ASSERT_TRUE(askerInbox.WaitFor(2));
  EXPECT_EQ(askerInbox.Messages()[0].payload, (std::vector<uint8_t>{0}));
  EXPECT_EQ(askerInbox.Messages()[1].payload, Le32({1, 0}));
}

TEST_F(LogServiceTest, NotesTheUploadDecision) {
  testenv::UseEmptyMachine();
  EXPECT_EQ(service.LastDecision(), app::LogService::UploadDecision::None);

  tagIPC_MESSAGE_ITEM upload = testipc::Message(0x3B0000, 0x3B0003);
  upload.nDataLen = 1;  // the upload window's messages carry a length and no payload
  asker.PostIPCMessage(upload);
  Ask(0x3B0001, 0x3C0001);  // answered after the decision was taken
  ASSERT_TRUE(askerInbox.WaitFor(1));
  EXPECT_EQ(service.LastDecision(), app::LogService::UploadDecision::Upload);

  asker.PostIPCMessage(testipc::Message(0x3B0000, 0x3B0004));
  Ask(0x3B0001, 0x3C0001);
  ASSERT_TRUE(askerInbox.WaitFor(2));
  EXPECT_EQ(service.LastDecision(), app::LogService::UploadDecision::Declined);
}

TEST_F(LogServiceTest, AStoppedServiceAnswersNothingAndCanStartAgain) {
  testenv::UseEmptyMachine();
  service.Stop();
  EXPECT_FALSE(service.Running());

  Ask(0x3B0001, 0x3C0001);
  asker.PostIPCMessage(testipc::Message(kBystander, 0x3C0001));
  ASSERT_TRUE(bystanderInbox.WaitFor(1));  // so the request before it has been delivered too
  service.Start();
  Ask(0x3B0001, 0x3C0001);

  ASSERT_TRUE(askerInbox.WaitFor(1));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(askerInbox.Count(), 1u);
  EXPECT_TRUE(service.Running());
}
