// AliveToken: work posted through its weak copy runs on the UI thread only while the owner lives.
#include "ui/alive_token.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "DuiLib/UIMessageLoop.h"

namespace zel::sysdiagnose {
namespace {

TEST(AliveToken, APostedTaskRunsOnlyIfItsOwnerIsStillThere) {
  for (const bool ownerGone : {false, true}) {
    SCOPED_TRACE(ownerGone ? "owner gone" : "owner there");
    std::optional<AliveToken> owner(std::in_place);
    int ran = 0;
    // Posted from another thread, as a worker posts.
    std::thread([weak = owner->GetWeak(), &ran] { weak.Post([&ran] { ++ran; }); }).join();
    if (ownerGone) owner.reset();

    UIMessageLoop::Instance().RunUntilIdle();

    EXPECT_EQ(ran, ownerGone ? 0 : 1);
  }
}

}  // namespace
}  // namespace zel::sysdiagnose
