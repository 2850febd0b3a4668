#pragma once
// The x3 plug-in manager (the host's "PluginsManager.dll"): plug-in modules register their create
// function with the class ids they make, and the host creates objects by class id through them.
// A module is loaded with LoadPlugin; its entry point registers it (x3RegisterPlugin), and the
// manager then calls its "x3InitializePlugin". Safe from any thread; the create functions run on
// the caller's thread, outside the manager's lock.
#include <string>
#include <vector>

#include "PluginsManager/x3Object.h"
#include "platform/module_loader.h"

extern "C" {
// Registers `create` for the class ids of the null-terminated list (at most 64 are read). Every
// call adds a registration, so a module that registers twice is listed twice (and found by its
// first). False for a null function or an empty list.
__attribute__((visibility("default"))) bool x3RegisterPlugin(x3::CreateFunc create, HMODULE module,
                                                             const char** clsids);
// Forgets every registration of `create`; false when it had none.
__attribute__((visibility("default"))) bool x3UnregisterPlugin(x3::CreateFunc create);
}

namespace x3 {

// Makes an object of the class through the module that registered it; false (and a null `out`)
// when no module registered the class or its module refused.
bool CreateObject(const std::string& clsid, uint32_t iid, IObject** out);
// The class ids registered now, in registration order.
std::vector<std::string> RegisteredClassIds();
// The registered module that makes the class; null when none does.
HMODULE ModuleOfClass(const std::string& clsid);

// Loads a plug-in module (a Windows name such as "zel_plugin_sysdiagnose.dll", or a file), which
// registers itself as it loads, and calls its x3InitializePlugin; null (and the reason in `error`)
// when it cannot be loaded. Loading a loaded module again takes one more reference.
HMODULE LoadPlugin(const std::string& file, std::string* error = nullptr);
// Calls the module's x3UninitializePlugin and drops the reference LoadPlugin took.
bool UnloadPlugin(HMODULE module);

}  // namespace x3
