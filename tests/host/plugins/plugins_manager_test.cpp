// The x3 plug-in manager: registrations by create function, and objects made by class id.
#include "PluginsManager/PluginsManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A module's create function that remembers what it was asked and makes nothing but a marker.
struct CreateCall {
  std::string clsid;
  uint32_t iid;
};
std::vector<CreateCall> calls;
x3::IObject* const kMarker = reinterpret_cast<x3::IObject*>(0x1000);

bool CreateMarker(const char* clsid, uint32_t iid, x3::IObject** out) {
  calls.push_back({clsid, iid});
  *out = iid == 7 ? kMarker : nullptr;
  return *out != nullptr;
}

bool CreateOther(const char*, uint32_t, x3::IObject** out) {
  *out = nullptr;
  return false;
}

class PluginsManagerTest : public ::testing::Test {
 protected:
  ~PluginsManagerTest() override {
    x3UnregisterPlugin(&CreateMarker);
    x3UnregisterPlugin(&CreateOther);
    calls.clear();
  }
};

TEST_F(PluginsManagerTest, AClassIsMadeThroughTheCreateFunctionThatRegisteredIt) {
  // given two modules, one making "a.marker" and "b.marker"
  const char* markers[] = {"a.marker", "b.marker", nullptr};
  const char* others[] = {"c.other", nullptr};
  ASSERT_TRUE(x3RegisterPlugin(&CreateMarker, nullptr, markers));
  ASSERT_TRUE(x3RegisterPlugin(&CreateOther, nullptr, others));
  EXPECT_EQ(x3::RegisteredClassIds(), (std::vector<std::string>{"a.marker", "b.marker", "c.other"}));

  // when the host asks for "b.marker" by the interface it answers, and by one it does not
  x3::IObject* made = nullptr;
  const bool answered = x3::CreateObject("b.marker", 7, &made);
  x3::IObject* refused = kMarker;
  const bool refusedAnswer = x3::CreateObject("b.marker", 8, &refused);

  // then the create function heard the class id and the interface, and only the first one made it
  EXPECT_TRUE(answered);
  EXPECT_EQ(made, kMarker);
  EXPECT_FALSE(refusedAnswer);
  EXPECT_EQ(refused, nullptr);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].clsid, "b.marker");
  EXPECT_EQ(calls[0].iid, 7u);
}

TEST_F(PluginsManagerTest, AnUnregisteredOrUnknownClassIsNotMade) {
  const char* markers[] = {"a.marker", nullptr};
  x3RegisterPlugin(&CreateMarker, nullptr, markers);
  EXPECT_TRUE(x3UnregisterPlugin(&CreateMarker));
  EXPECT_FALSE(x3UnregisterPlugin(&CreateMarker));

  x3::IObject* made = kMarker;
  EXPECT_FALSE(x3::CreateObject("a.marker", 7, &made));
  EXPECT_EQ(made, nullptr);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(x3::RegisteredClassIds().empty());
}

TEST_F(PluginsManagerTest, ARegistrationWithoutAFunctionOrClassesIsRefused) {
  const char* none[] = {nullptr};
  const char* markers[] = {"a.marker", nullptr};
  EXPECT_FALSE(x3RegisterPlugin(nullptr, nullptr, markers));
  EXPECT_FALSE(x3RegisterPlugin(&CreateMarker, nullptr, none));
  EXPECT_FALSE(x3RegisterPlugin(&CreateMarker, nullptr, nullptr));
  EXPECT_TRUE(x3::RegisteredClassIds().empty());
}

TEST_F(PluginsManagerTest, AModuleThatCannotBeLoadedSaysWhy) {
  std::string error;
  EXPECT_EQ(x3::LoadPlugin("NoSuchPlugin.dll", &error), nullptr);
  EXPECT_NE(error.find("libNoSuchPlugin.so"), std::string::npos) << error;
  EXPECT_FALSE(x3::UnloadPlugin(nullptr));
}

}  // namespace
