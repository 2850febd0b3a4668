// The module's x3 side: initialising and freeing it with the plug-in manager, the class table,
// and making the plug-in object by class id and interface.
#include "shell/x3_module.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "PluginsManager/IPKTPlugin.h"
#include "PluginsManager/PluginsManager.h"
#include "shell/interface_ids.h"

namespace {

using namespace zel::sysdiagnose;

constexpr const char* kClassId = "zel.plugin.sysdiagnose";

// The manager as this module finds it: this test program links it, so its functions are reached
// through the program's handle. The module's own handle is any other handle.
HMODULE Manager() { return GetModuleHandleA(nullptr); }
HMODULE Own() { return GetModuleHandleA("DuiLib.dll"); }

struct ObjectDeleter {
  void operator()(x3::IObject* object) const { delete object; }
};
using Object = std::unique_ptr<x3::IObject, ObjectDeleter>;

Object Create(const char* clsid, uint32_t iid, bool* answered = nullptr) {
  x3::IObject* out = reinterpret_cast<x3::IObject*>(0x1);
  const bool result = x3InternalCreate(clsid, iid, &out);
  if (answered) *answered = result;
  return Object(out);
}

class X3ModuleTest : public ::testing::Test {
 protected:
  ~X3ModuleTest() override {
    while (X3State().loadCount > 0) x3FreePlugin();
  }
};

TEST_F(X3ModuleTest, OnlyTheFirstInitRegistersAndOnlyTheLastFreeUnregisters) {
  // when the module is initialised twice
  EXPECT_TRUE(x3InitPlugin(Own(), Manager()));
  EXPECT_TRUE(x3InitPlugin(Own(), Manager()));

  // then its class is registered once, and made through the manager
  EXPECT_EQ(x3::RegisteredClassIds(), std::vector<std::string>{kClassId});
  EXPECT_EQ(x3::ModuleOfClass(kClassId), Own());
  x3::IObject* made = nullptr;
  ASSERT_TRUE(x3::CreateObject(kClassId, IidIPKTUIPlugin(), &made));
  EXPECT_STREQ(made->GetClassID(), kClassId);
  delete made;

  // when freed: the matching second free only counts down, the last one unregisters
  EXPECT_FALSE(x3FreePlugin());
  EXPECT_EQ(x3::RegisteredClassIds().size(), 1u);
  EXPECT_TRUE(x3FreePlugin());
  EXPECT_TRUE(x3::RegisteredClassIds().empty());
  EXPECT_EQ(X3State().loadCount, 0);
}

TEST_F(X3ModuleTest, AModuleThatIsItsOwnManagerRegistersNothing) {
  const char* ids[] = {kClassId, nullptr};
  x3RegisterPlugin(&x3InternalCreate, Own(), ids);  // as if registered before: a free must leave it

  EXPECT_TRUE(x3InitPlugin(Manager(), Manager()));
  EXPECT_EQ(x3::RegisteredClassIds().size(), 1u);
  EXPECT_TRUE(x3FreePlugin());
  EXPECT_EQ(x3::RegisteredClassIds().size(), 1u);

  x3UnregisterPlugin(&x3InternalCreate);
}

// Asked with the ids the framework makes from the interface names, as a host asks.
TEST_F(X3ModuleTest, AnObjectIsMadeForTheInterfacesOfItsClassOnly) {
  const uint32_t ui = x3::InterfaceId(kIPKTUIPluginName), plugin = x3::InterfaceId(kIPKTPluginName),
                 object = x3::InterfaceId(kIObjectName);
  const struct {
    const char* clsid;
    uint32_t iid;
    bool made;
  } cases[] = {
      {kClassId, ui, true},
      {kClassId, plugin, true},
      {"", ui, true},  // no class id: the first class that answers the interface
      {"", object, false},
      {kClassId, object, false},
      {kClassId, 12345u, false},
      {"Zel.Plugin.Sysdiagnose", ui, false},
      {"zel.plugin.other", ui, false},
  };
  for (const auto& c : cases) {
    bool answered = !c.made;
    Object object = Create(c.clsid, c.iid, &answered);
    EXPECT_EQ(answered, c.made) << "'" << c.clsid << "' " << c.iid;
    EXPECT_EQ(object != nullptr, c.made) << "'" << c.clsid << "' " << c.iid;
  }
  x3::IObject* out = nullptr;
  EXPECT_FALSE(x3CreateObject(kClassId, object, &out));
  EXPECT_TRUE(x3CreateObject(kClassId, plugin, &out));
  delete out;
}

TEST_F(X3ModuleTest, QueryingTheObjectRetainsItOnlyForItsInterfaces) {
  // given a new object, counted once
  Object object = Create(kClassId, IidIPKTUIPlugin());
  ASSERT_NE(object, nullptr);

  // when queried for IPKTPlugin: the same object, one count more
  x3::IObject* plugin = nullptr;
  EXPECT_TRUE(object->QueryObject(IidIPKTPlugin(), &plugin));
  EXPECT_EQ(plugin, object.get());
  EXPECT_EQ(object->Retain(), 3);

  // when queried for IObject: refused, the out pointer untouched, no count taken
  x3::IObject* untouched = reinterpret_cast<x3::IObject*>(0x2);
  EXPECT_FALSE(object->QueryObject(IidIObject(), &untouched));
  EXPECT_EQ(untouched, reinterpret_cast<x3::IObject*>(0x2));

  // and counting down to zero does not destroy it
  EXPECT_EQ(object->Release(), 2);
  EXPECT_EQ(object->Release(), 1);
  EXPECT_EQ(object->Release(), 0);
  EXPECT_STREQ(object->GetClassName(), "CPluginSysdiagnose");
  EXPECT_EQ(static_cast<IPKTPlugin*>(object.get())->GetPluginName(), u"PluginSysdiagnose");
}

}  // namespace
