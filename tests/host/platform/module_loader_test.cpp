// Module loading under the host's names: the name map, and loading, lookup and paths on dlopen.
#include "platform/module_loader.h"

#include <gtest/gtest.h>

#include <string>

#include "PluginsManager/PluginsManager.h"
#include "platform/paths.h"

namespace {

TEST(ModuleLoader, WindowsModuleNamesMapToTheFilesOfThisSystem) {
  const struct {
    const char *name, *file;
  } cases[] = {
      {"PluginsManager.dll", "libPluginsManager.so"},
      {"pluginsmanager.DLL", "libPluginsManager.so"},
      {"zel_plugin_sysdiagnose.dll", "zel_plugin_sysdiagnose.so"},
      {"DataReport.dll", "libDataReport.so"},
      {"C:\\Program Files\\Host\\PluginsManager.dll", "libPluginsManager.so"},
      {"libDuiLib.so", "libDuiLib.so"},
      {"/opt/host/zel_plugin_sysdiagnose.so", "/opt/host/zel_plugin_sysdiagnose.so"},
      {".dll", ".dll"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::LinuxModuleFile(c.name), c.file) << c.name;
}

TEST(ModuleLoader, ALoadedModuleIsFoundByItsHostName) {
  // given the manager, which this test program links
  HMODULE manager = GetModuleHandleA("PluginsManager.dll");
  ASSERT_NE(manager, nullptr);

  // then its functions, its file and the module of its code all lead back to it
  EXPECT_EQ(GetProcAddress(manager, "x3RegisterPlugin"), reinterpret_cast<FARPROC>(&x3RegisterPlugin));
  EXPECT_EQ(GetProcAddress(manager, "x3NoSuchFunction"), nullptr);
  EXPECT_EQ(platform::ModuleOfAddress(reinterpret_cast<const void*>(&x3RegisterPlugin)), manager);
  char path[512];
  const uint32_t length = GetModuleFileNameA(manager, path, sizeof path);
  EXPECT_EQ(std::string(path, length).substr(std::string(path).rfind('/')), "/libPluginsManager.so");
  char small[6];
  EXPECT_EQ(GetModuleFileNameA(manager, small, sizeof small), 5u) << "cut to the buffer";
  EXPECT_EQ(std::string(small), std::string(path).substr(0, 5));

  // and loading it again gives the same module, with a reference to drop
  HMODULE again = LoadLibraryExA("PluginsManager.dll", nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  EXPECT_EQ(again, manager);
  EXPECT_TRUE(FreeLibrary(again));
  EXPECT_EQ(GetModuleHandleA("PluginsManager.dll"), manager);
}

TEST(ModuleLoader, AModuleThatIsNotThereIsNeitherFoundNorLoaded) {
  EXPECT_EQ(GetModuleHandleA("NoSuchModule.dll"), nullptr);
  EXPECT_EQ(LoadLibraryExA("NoSuchModule.dll", nullptr, 0), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "x3RegisterPlugin"), nullptr);
  EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST(ModuleLoader, NoModuleMeansTheExecutable) {
  char path[512];
  const uint32_t length = GetModuleFileNameA(nullptr, path, sizeof path);
  EXPECT_EQ(std::string(path, length), platform::ExecutablePath());
  EXPECT_EQ(GetModuleFileNameA(nullptr, path, 0), 0u);
}

}  // namespace
