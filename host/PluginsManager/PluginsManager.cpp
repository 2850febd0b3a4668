#include "PluginsManager/PluginsManager.h"

#include <dlfcn.h>

#include <algorithm>
#include <mutex>

namespace x3 {
namespace {

constexpr size_t kMaxClassIds = 64;

struct Registration {
  CreateFunc create = nullptr;
  HMODULE module = nullptr;
  std::vector<std::string> clsids;
};

struct Registry {
  std::mutex mutex;
  std::vector<Registration> modules;
};

// Never destroyed: modules still loaded at exit unregister from their own exit hooks, which may
// run after this library's static destructors.
Registry& TheRegistry() {
  static Registry* registry = new Registry();
  return *registry;
}

CreateFunc CreatorOf(const std::string& clsid, HMODULE* module = nullptr) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  for (const Registration& entry : registry.modules) {
    if (std::find(entry.clsids.begin(), entry.clsids.end(), clsid) != entry.clsids.end()) {
      if (module) *module = entry.module;
      return entry.create;
    }
  }
  return nullptr;
}

using PluginHook = bool (*)();

}  // namespace

bool CreateObject(const std::string& clsid, uint32_t iid, IObject** out) {
  if (out == nullptr) return false;
  *out = nullptr;
  const CreateFunc create = CreatorOf(clsid);
  return create != nullptr && create(clsid.c_str(), iid, out) && *out != nullptr;
}

std::vector<std::string> RegisteredClassIds() {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  std::vector<std::string> ids;
  for (const Registration& entry : registry.modules) ids.insert(ids.end(), entry.clsids.begin(), entry.clsids.end());
  return ids;
}

HMODULE ModuleOfClass(const std::string& clsid) {
  HMODULE module = nullptr;
  return CreatorOf(clsid, &module) ? module : nullptr;
}

HMODULE LoadPlugin(const std::string& file, std::string* error) {
  HMODULE module = LoadLibraryExA(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) {
    if (error) *error = dlerror();
    return nullptr;
  }
  if (auto initialize = reinterpret_cast<PluginHook>(GetProcAddress(module, "x3InitializePlugin"))) initialize();
  return module;
}

bool UnloadPlugin(HMODULE module) {
  if (module == nullptr) return false;
  if (auto uninitialize = reinterpret_cast<void (*)()>(GetProcAddress(module, "x3UninitializePlugin"))) {
    uninitialize();
  }
  return FreeLibrary(module);
}

}  // namespace x3

bool x3RegisterPlugin(x3::CreateFunc create, HMODULE module, const char** clsids) {
  if (create == nullptr || clsids == nullptr || clsids[0] == nullptr) return false;
  x3::Registration entry{create, module, {}};
  for (size_t i = 0; i < x3::kMaxClassIds && clsids[i] != nullptr; ++i) entry.clsids.emplace_back(clsids[i]);
  x3::Registry& registry = x3::TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.modules.push_back(std::move(entry));
  return true;
}

bool x3UnregisterPlugin(x3::CreateFunc create) {
  x3::Registry& registry = x3::TheRegistry();
  std::lock_guard lock(registry.mutex);
  const auto removed = std::remove_if(registry.modules.begin(), registry.modules.end(),
                                      [create](const x3::Registration& r) { return r.create == create; });
  const bool found = removed != registry.modules.end();
  registry.modules.erase(removed, registry.modules.end());
  return found;
}
