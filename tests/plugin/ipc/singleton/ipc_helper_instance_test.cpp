// The process's one IPCHelper (kept apart: a second endpoint of 0x390000 would answer twice).
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "IPCMessage/IPCMessageClient.h"
#include "host/ipc/inbox.h"
#include "ipc/ipc_helper.h"
#include "ipc/ipc_messages.h"

using namespace zel::sysdiagnose;

TEST(IPCHelperInstance, EveryThreadGetsTheSameEndpointAndItAnswersTheHealthCheck) {
  std::vector<IPCHelper*> seen(8);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&, i] { seen[i] = &IPCHelper::Instance(); });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(std::set<IPCHelper*>(seen.begin(), seen.end()).size(), 1u);

  testipc::Inbox answers;
  CIPCMessageClient doctor(kDoctorModule, false, false);
  doctor.RegisterMessageCallback(kMsgModuleInfoAnswer, answers.Callback());
  doctor.PostIPCMessage(testipc::Message(kDoctorModule, kMsgModuleInfoQuery));

  ASSERT_TRUE(answers.WaitFor(1));
  EXPECT_EQ(answers.Values()[0].header.nSrcModuleId, kSysdiagnoseModule);
}
