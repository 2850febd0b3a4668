#pragma once
// The module's side of the x3 framework: the table of classes this library makes, its state, and
// the six exports under their plain C names (the only symbols the library exports). Init and free
// come from one thread at a time (the loader's or the host's UI thread); nothing here is locked.
#include <cstdint>

#include "PluginsManager/x3Object.h"
#include "platform/module_loader.h"

#define X3_EXPORT extern "C" __attribute__((visibility("default")))

namespace zel::sysdiagnose {

struct X3ClassEntry {
  int32_t kind;  // 1: a new object per request; 10 or more: a single instance in the instance table
  const char* className;
  const char* clsid;
  x3::IObject* (*creator)(uint32_t iid);
  bool (*hasInterface)(uint32_t iid);
};

inline constexpr int32_t kX3KindNormal = 1;
inline constexpr int32_t kX3KindSingletonFirst = 10;
inline constexpr const char* kManagerModule = "PluginsManager.dll";

// The classes, ending with an entry whose creator is null.
const X3ClassEntry* X3ClassTable();

struct X3ModuleState {
  int loadCount = 0;
  HMODULE own = nullptr;
  HMODULE manager = nullptr;
  bool loadedManager = false;  // this module loaded the manager and frees it when torn down
  x3::IObject** instances = nullptr;
  int instanceCount = 0;
  int instanceFirst = 0;
};

const X3ModuleState& X3State();

}  // namespace zel::sysdiagnose

X3_EXPORT bool x3InitPlugin(HMODULE own, HMODULE manager);
X3_EXPORT bool x3FreePlugin();
X3_EXPORT bool x3InternalCreate(const char* clsid, uint32_t iid, x3::IObject** out);
X3_EXPORT bool x3CreateObject(const char* clsid, uint32_t iid, x3::IObject** out);
X3_EXPORT bool x3InitializePlugin();
X3_EXPORT void x3UninitializePlugin();
