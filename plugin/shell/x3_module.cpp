#include "shell/x3_module.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "shell/normal_object.h"
#include "shell/plugin_sysdiagnose.h"

namespace zel::sysdiagnose {
namespace {

constexpr size_t kMaxRegisteredClasses = 64;

using RegisterFunc = bool (*)(x3::CreateFunc, HMODULE, const char**);
using UnregisterFunc = bool (*)(x3::CreateFunc);

constexpr X3ClassEntry kClassTable[] = {
    {kX3KindNormal, "NormalObject<zel::sysdiagnose::CPluginSysdiagnose>", CPluginSysdiagnose::kClassId,
     &x3::NormalObject<CPluginSysdiagnose>::Create, &CPluginSysdiagnose::HasInterface},
    {0, "", "", nullptr, nullptr},
};

X3ModuleState state;

int CountSingletonClasses() {
  int count = 0;
  for (const X3ClassEntry* entry = kClassTable; entry->creator != nullptr; ++entry) {
    if (entry->kind >= kX3KindSingletonFirst) ++count;
  }
  return count;
}

void AllocateInstanceTable() {
  const int singletons = CountSingletonClasses();
  if (singletons == 0 || state.instances != nullptr) return;
  state.instanceCount = std::max(singletons, state.instanceCount);
  state.instances = new x3::IObject*[state.instanceCount]();
  state.instanceFirst = state.instanceCount;
}

void FreeInstanceTable() {
  if (state.instances == nullptr) return;
  for (int i = state.instanceFirst; i < state.instanceCount; ++i) {
    delete state.instances[i];
    state.instances[i] = nullptr;
  }
  state.instanceFirst = 0;
  delete[] state.instances;
  state.instances = nullptr;
}

HMODULE FindOrLoadManager() {
  if (HMODULE loaded = GetModuleHandleA(kManagerModule)) return loaded;
  state.loadedManager = true;
  return LoadLibraryExA(kManagerModule, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void RegisterClasses() {
  auto registerPlugin = reinterpret_cast<RegisterFunc>(GetProcAddress(state.manager, "x3RegisterPlugin"));
  if (registerPlugin == nullptr) return;
  std::array<const char*, kMaxRegisteredClasses + 1> clsids{};
  size_t count = 0;
  for (const X3ClassEntry* entry = kClassTable; entry->creator != nullptr && count < kMaxRegisteredClasses; ++entry) {
    clsids[count++] = entry->clsid;
  }
  registerPlugin(&x3InternalCreate, state.own, clsids.data());
}

void UnregisterClasses() {
  if (state.manager == nullptr || state.manager == state.own) return;
  auto unregisterPlugin = reinterpret_cast<UnregisterFunc>(GetProcAddress(state.manager, "x3UnregisterPlugin"));
  if (unregisterPlugin != nullptr) unregisterPlugin(&x3InternalCreate);
}

// The class that answers `iid` first, for a request by interface alone.
const char* FirstClassWith(uint32_t iid) {
  for (const X3ClassEntry* entry = kClassTable; entry->creator != nullptr; ++entry) {
    if (entry->hasInterface(iid)) return entry->clsid;
  }
  return "";
}

}  // namespace

const X3ClassEntry* X3ClassTable() { return kClassTable; }
const X3ModuleState& X3State() { return state; }

}  // namespace zel::sysdiagnose

using namespace zel::sysdiagnose;

bool x3InitPlugin(HMODULE own, HMODULE manager) {
  if (++state.loadCount != 1) return true;
  AllocateInstanceTable();
  state.own = own;
  if (state.manager == nullptr) state.manager = manager != nullptr ? manager : FindOrLoadManager();
  if (state.manager == nullptr || state.manager == state.own) return true;
  RegisterClasses();
  return true;
}

bool x3FreePlugin() {
  if (--state.loadCount != 0) return false;
  UnregisterClasses();
  if (state.loadedManager) {
    FreeLibrary(state.manager);
    state.loadedManager = false;
    state.manager = nullptr;  // it may be gone now: a later init looks for it afresh
  }
  FreeInstanceTable();
  return true;
}

bool x3InternalCreate(const char* clsid, uint32_t iid, x3::IObject** out) {
  if (out == nullptr) return false;
  *out = nullptr;
  if (clsid == nullptr) return false;
  const char* wanted = clsid[0] == '\0' ? FirstClassWith(iid) : clsid;
  for (const X3ClassEntry* entry = kClassTable; entry->creator != nullptr; ++entry) {
    if (std::strcmp(entry->clsid, wanted) == 0) {
      *out = entry->creator(iid);
      return *out != nullptr;
    }
  }
  return false;
}

bool x3CreateObject(const char* clsid, uint32_t iid, x3::IObject** out) { return x3InternalCreate(clsid, iid, out); }

bool x3InitializePlugin() { return true; }

void x3UninitializePlugin() {}
