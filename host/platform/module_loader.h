#pragma once
// Module loading under the host's names, on dlopen/dlsym. A module handle is what dlopen gives.
//
// The Windows names the plug-in and the host use are mapped to this system's files in one place,
// LinuxModuleFile: "PluginsManager.dll" is "libPluginsManager.so", "zel_plugin_sysdiagnose.dll" is
// "zel_plugin_sysdiagnose.so", any other "NAME.dll" is "libNAME.so" (names compared without regard
// to case, as Windows does); a name that does not end in ".dll" is taken as a file name already. A
// bare file name is looked for beside the running executable first, as Windows looks in the
// application directory first, then beside the host's own libraries (an installed program keeps
// them in a private directory), then where dlopen looks.
#include <cstdint>
#include <string>
#include <string_view>

using HMODULE = void*;
using FARPROC = void*;

inline constexpr uint32_t LOAD_WITH_ALTERED_SEARCH_PATH = 0x8;

// The handle of a module already loaded in the process, without taking a reference; null when it
// is not loaded. A null name gives the running executable.
HMODULE GetModuleHandleA(const char* moduleName);
// Loads a module (or takes one more reference to it). The flags are accepted as the host passes
// them; dependencies are found through the module's own run path, whatever the flags say.
HMODULE LoadLibraryExA(const char* fileName, void* reserved, uint32_t flags);
FARPROC GetProcAddress(HMODULE module, const char* procName);
// Drops one reference taken by LoadLibraryExA; the module goes when the last one is dropped.
bool FreeLibrary(HMODULE module);
// The module's full path into `buffer` (cut to size - 1 and terminated); returns the number of
// characters written, 0 for an unknown module. A null module gives the running executable.
uint32_t GetModuleFileNameA(HMODULE module, char* buffer, uint32_t size);

namespace platform {

// The file of this system that a module name stands for (see the top of this file).
std::string LinuxModuleFile(std::string_view moduleName);
// The handle of the loaded module that holds `address` (code or data); null when none does.
HMODULE ModuleOfAddress(const void* address);

}  // namespace platform
