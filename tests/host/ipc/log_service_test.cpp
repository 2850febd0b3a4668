// The reference host's log service on the bus, answering from the machine profile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IPCMessage/IPCMessageClient.h"
#include "app/log_service.h"
#include "host/ipc/inbox.h"
#include "support/test_env.h"

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
