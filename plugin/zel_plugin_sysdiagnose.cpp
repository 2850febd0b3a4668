// The shipped module: every object of plugin_core is linked in whole (see CMakeLists.txt), and
// this file adds the library's entry point. Loading the library initialises the module (which
// registers it with the host's plug-in manager); unloading it, or the process ending, frees it.
#include "platform/module_loader.h"
#include "shell/x3_module.h"

namespace {

__attribute__((constructor)) void OnProcessAttach() {
  x3InitPlugin(platform::ModuleOfAddress(reinterpret_cast<const void*>(&OnProcessAttach)), nullptr);
}

__attribute__((destructor)) void OnProcessDetach() { x3FreePlugin(); }

}  // namespace
