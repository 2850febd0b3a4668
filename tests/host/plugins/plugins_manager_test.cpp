// The x3 plug-in manager: interface ids, registrations by create function, and objects made by class id.
#include "PluginsManager/PluginsManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PluginsManager/IPKTPlugin.h"

namespace {

TEST(InterfaceId, EachByteOfTheNameTimes33PlusTheByte) {
  const struct {
    std::string_view name;
    uint32_t id;
  } cases[] = {
      {"", 0u},
      {"I", 73u},
      {"IO", 73u * 33 + 'O'},
      {kIObjectName, 2999720224u},
      {kIPKTPluginName, 3385652519u},
      {kIPKTUIPluginName, 839111909u},
      {"\xff", 0xFFFFFFFFu},  // a byte above 127 counts as a negative char
  };
  for (const auto& c : cases) EXPECT_EQ(x3::InterfaceId(c.name), c.id) << c.name;
}

// A module's create function that remembers what it was asked (class id, interface id) and makes
// nothing but a marker.
std::vector<std::pair<std::string, uint32_t>> calls;
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
  EXPECT_EQ(calls, (std::vector<std::pair<std::string, uint32_t>>{{"b.marker", 7}, {"b.marker", 8}}));
}

TEST_F(PluginsManagerTest, AnUnregisteredClassIsNotMade) {
  const char* markers[] = {"a.marker", nullptr};
  x3RegisterPlugin(&CreateMarker, nullptr, markers);
  EXPECT_TRUE(x3UnregisterPlugin(&CreateMarker));
  EXPECT_FALSE(x3UnregisterPlugin(&CreateMarker));

  x3::IObject* made = kMarker;
  EXPECT_FALSE(x3::CreateObject("a.marker", 7, &made));
  EXPECT_EQ(made, nullptr);
  EXPECT_TRUE(calls.empty());
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
