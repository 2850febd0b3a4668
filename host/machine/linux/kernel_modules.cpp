#include "machine/linux/kernel_modules.h"

#include <libkmod.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "machine/linux/source_places.h"
#include "machine/linux/sysfs_root.h"
#include "machine/warnings.h"

namespace host::machine::linuxhost {
namespace {

// libkmod speaks to stderr unless told otherwise; its messages belong in our log.
void LogToOurs(void*, int, const char*, int, const char*, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  WarnOnce("kmod: " + std::string(Trim(text)));
}

struct ContextRelease {
  void operator()(kmod_ctx* context) const { kmod_unref(context); }
};
struct ListRelease {
  void operator()(kmod_list* list) const { kmod_module_unref_list(list); }
};
struct ModuleRelease {
  void operator()(kmod_module* module) const { kmod_module_unref(module); }
};
using Context = std::unique_ptr<kmod_ctx, ContextRelease>;
using ModuleList = std::unique_ptr<kmod_list, ListRelease>;
using Module = std::unique_ptr<kmod_module, ModuleRelease>;

// The running machine's configuration (blacklists, aliases, install commands) is about its own
// kernel; a recorded tree is read without any, so the same tree answers the same everywhere.
Context Open(const SourcePlaces& places) {
  static constexpr const char* kNoConfiguration[] = {nullptr};
  Context context(kmod_new(places.modulesDirectory.empty() ? nullptr : places.modulesDirectory.c_str(),
                           places.running ? nullptr : kNoConfiguration));
  if (context) kmod_set_log_fn(context.get(), LogToOurs, nullptr);
  return context;
}

ModuleList Lookup(kmod_ctx* context, std::string_view nameOrAlias) {
  kmod_list* list = nullptr;
  if (kmod_module_new_from_lookup(context, std::string(nameOrAlias).c_str(), &list) < 0) return nullptr;
  return ModuleList(list);
}

std::vector<Module> ModulesOf(kmod_list* list) {
  std::vector<Module> modules;
  kmod_list* entry = nullptr;
  kmod_list_foreach(entry, list) modules.emplace_back(kmod_module_get_module(entry));
  return modules;
}

std::string Named(const std::vector<Module>& modules) {
  std::string names;
  for (const Module& module : modules) names += (names.empty() ? "" : ", ") + std::string(kmod_module_get_name(module.get()));
  return names;
}

std::string TreeOf(const SourcePlaces& places) {
  return places.modulesDirectory.empty() ? std::string("the running kernel's modules") : places.modulesDirectory;
}

// An install command is the administrator's own way to load (or to refuse) a module; running it
// is modprobe's business, so such a module is left alone.
int RefuseInstallCommand(kmod_module* module, const char*, void* refused) {
  *static_cast<std::string*>(refused) = kmod_module_get_name(module);
  return -EPERM;
}

bool IsInKernel(kmod_module* module) {
  const int state = kmod_module_get_initstate(module);
  return state == KMOD_MODULE_LIVE || state == KMOD_MODULE_BUILTIN || state == KMOD_MODULE_COMING;
}

// Why the kernel or the configuration refused a module, from libkmod's answer.
std::string Refusal(const std::string& name, int answer, const std::string& installCommandOf) {
  if (answer == KMOD_PROBE_APPLY_BLACKLIST) return name + " is blacklisted by the system's configuration";
  if (!installCommandOf.empty()) {
    return name + ": the system configures an install command for " + installCommandOf + "; load it with modprobe";
  }
  return name + ": " + std::strerror(answer < 0 ? -answer : answer);
}

}  // namespace

std::vector<std::string> ModulesFor(const SourcePlaces& places, std::string_view nameOrAlias) {
  std::vector<std::string> names;
  const Context context = Open(places);
  if (!context || nameOrAlias.empty()) return names;
  const ModuleList list = Lookup(context.get(), nameOrAlias);
  for (const Module& module : ModulesOf(list.get())) names.emplace_back(kmod_module_get_name(module.get()));
  return names;
}

bool MayLoadModules() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  return (data[CAP_TO_INDEX(CAP_SYS_MODULE)].effective & CAP_TO_MASK(CAP_SYS_MODULE)) != 0;
}

// Looked up first, so a module that does not exist is said as such; then the permission, before
// anything could change: a user who may not load modules hears "not permitted" from a recorded
// machine too, and only one who may hears that its kernel is not this one.
ModuleLoad LoadModule(const SourcePlaces& places, std::string_view nameOrAlias) {
  using Result = ModuleLoad::Result;
  const std::string asked(nameOrAlias);
  const Context context = Open(places);
  const ModuleList list = context && !asked.empty() ? Lookup(context.get(), asked) : nullptr;
  const std::vector<Module> modules = ModulesOf(list.get());
  if (modules.empty()) return {Result::NotFound, asked, "no module in " + TreeOf(places) + " answers to " + asked};
  const std::string names = Named(modules);
  if (!MayLoadModules()) {
    return {Result::NotPermitted, names, "loading " + names + " for " + asked + " needs CAP_SYS_MODULE (root): nothing was tried"};
  }
  if (!places.running) {
    return {Result::RecordedKernel, names,
            names + " would be loaded for " + asked + ", but the recorded machine's kernel is not this one: nothing was loaded"};
  }
  ModuleLoad load{Result::AlreadyLoaded, names, names + " is in the kernel already"};
  for (const Module& module : modules) {
    if (IsInKernel(module.get())) continue;
    std::string installCommandOf;
    const int answer = kmod_module_probe_insert_module(module.get(), KMOD_PROBE_APPLY_BLACKLIST, nullptr,
                                                       RefuseInstallCommand, &installCommandOf, nullptr);
    const std::string name = kmod_module_get_name(module.get());
    if (answer != 0) return {Result::Failed, names, Refusal(name, answer, installCommandOf)};
    load.result = Result::Loaded;
    load.said = "loaded " + names + " for " + asked;
  }
  return load;
}

}  // namespace host::machine::linuxhost
