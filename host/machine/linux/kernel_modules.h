#pragma once
// Kernel modules through libkmod: which module drives a device (by its modalias) or answers to a
// name, in the modules tree of the places, and loading one into the running kernel. A recorded
// machine's tree is only ever looked up, never loaded from.
#include <string>
#include <string_view>
#include <vector>

namespace host::machine::linuxhost {

struct SourcePlaces;

// The module names a modalias ("pci:v00008086d0000A0F0...") or a module name resolves to in the
// places' modules tree, in libkmod's order; empty when nothing there answers (or there is no tree).
std::vector<std::string> ModulesFor(const SourcePlaces& places, std::string_view nameOrAlias);

// Whether this process may load kernel modules: CAP_SYS_MODULE in its effective set.
bool MayLoadModules();

struct ModuleLoad {
  enum class Result {
    Loaded,          // loaded now, with what it depends on
    AlreadyLoaded,   // nothing to load: it is in the kernel already (or nothing needed a driver)
    Unavailable,     // nothing is known to load here
    NotFound,        // no module in the tree answers to it
    NotPermitted,    // this process may not load modules: nothing was tried
    RecordedKernel,  // the tree is a recorded machine's, whose kernel is not this one: nothing was loaded
    Failed,          // the kernel or the system's configuration refused it
  } result = Result::AlreadyLoaded;
  std::string modules;  // the module(s) loaded, or that would be ("iwlwifi"); the name asked for when none
  std::string said;     // in words, for the log
};

// Loads every module `nameOrAlias` resolves to, with their dependencies, honouring the system's
// blacklist; a module the system configures an install command for is left to modprobe. The
// permission is checked before anything is loaded, on a recorded machine too.
ModuleLoad LoadModule(const SourcePlaces& places, std::string_view nameOrAlias);

}  // namespace host::machine::linuxhost
