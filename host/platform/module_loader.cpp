#include "platform/module_loader.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>

#include "platform/paths.h"

namespace platform {
namespace {

struct ModuleName {
  std::string_view windows;
  std::string_view linux;
};

// The host's modules that do not follow the "NAME.dll" -> "libNAME.so" rule.
constexpr std::array kModuleNames{
    ModuleName{"PluginsManager.dll", "libPluginsManager.so"},
    ModuleName{"zel_plugin_sysdiagnose.dll", "zel_plugin_sysdiagnose.so"},
};

constexpr std::string_view kDll = ".dll";

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsBareName(std::string_view file) { return file.find('/') == std::string_view::npos; }

// The directory of the library that holds this code: an installed program keeps the host's
// libraries and the plug-in there, apart from the executable.
std::filesystem::path HostLibraryDirectory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&HostLibraryDirectory), &info) == 0 || info.dli_fname == nullptr) return {};
  return std::filesystem::path(info.dli_fname).parent_path();
}

// A bare file name beside the executable when it is there, else beside the host's libraries, else
// as given (dlopen searches).
std::string Locate(const std::string& file) {
  if (!IsBareName(file)) return file;
  for (const std::filesystem::path& directory :
       {std::filesystem::path(ExecutablePath()).parent_path(), HostLibraryDirectory()}) {
    const std::filesystem::path beside = directory / file;
    std::error_code error;
    if (!directory.empty() && std::filesystem::is_regular_file(beside, error)) return beside.string();
  }
  return file;
}

}  // namespace

std::string LinuxModuleFile(std::string_view moduleName) {
  const size_t slash = moduleName.find_last_of("\\/");
  const std::string_view base = slash == std::string_view::npos ? moduleName : moduleName.substr(slash + 1);
  if (base.size() <= kDll.size() || !EqualsIgnoringCase(base.substr(base.size() - kDll.size()), kDll)) {
    return std::string(moduleName);
  }
  for (const ModuleName& known : kModuleNames) {
    if (EqualsIgnoringCase(base, known.windows)) return std::string(known.linux);
  }
  return "lib" + std::string(base.substr(0, base.size() - kDll.size())) + ".so";
}

HMODULE ModuleOfAddress(const void* address) {
  Dl_info info{};
  link_map* map = nullptr;
  // glibc's module handle is the module's link map, so the map dladdr1 names is the handle.
  if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) return nullptr;
  return map;
}

}  // namespace platform

HMODULE GetModuleHandleA(const char* moduleName) {
  if (moduleName == nullptr) return dlopen(nullptr, RTLD_NOW);
  const std::string file = platform::LinuxModuleFile(moduleName);
  HMODULE module = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (module == nullptr) module = dlopen(platform::Locate(file).c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (module != nullptr) dlclose(module);  // no reference of our own: the module stays as loaded
  return module;
}

HMODULE LoadLibraryExA(const char* fileName, void*, uint32_t) {
  if (fileName == nullptr) return nullptr;
  return dlopen(platform::Locate(platform::LinuxModuleFile(fileName)).c_str(), RTLD_NOW | RTLD_LOCAL);
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
  if (module == nullptr || procName == nullptr) return nullptr;
  return dlsym(module, procName);
}

bool FreeLibrary(HMODULE module) { return module != nullptr && dlclose(module) == 0; }

uint32_t GetModuleFileNameA(HMODULE module, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  std::string path;
  link_map* map = nullptr;
  if (module != nullptr && dlinfo(module, RTLD_DI_LINKMAP, &map) != 0) return 0;
  if (map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0') {
    path = map->l_name;
  } else {
    path = platform::ExecutablePath();  // the executable's own map has no name
  }
  const size_t length = std::min<size_t>(path.size(), size - 1);
  std::memcpy(buffer, path.data(), length);
  buffer[length] = '\0';
  return static_cast<uint32_t>(length);
}
