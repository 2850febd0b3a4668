#pragma once
// Where the checks' outside sources are for one root: this machine's own for "/", the recorded
// tree's files and bus sockets for any other root, so that a recorded machine never reaches this
// machine's sound cards, desktop settings, kernel or services.
#include <string>

namespace host::machine::linuxhost {

class SysfsRoot;

struct SourcePlaces {
  bool running = true;           // the root is this machine: module loads reach its kernel
  std::string alsaConfig;        // an ALSA configuration file; empty: alsa-lib's own
  std::string modulesDirectory;  // a kernel's modules tree; empty: the running kernel's
  std::string systemBus;         // D-Bus address of the system bus; empty: none
  std::string sessionBus;        // D-Bus address of the user's session bus; empty: none
  std::string home;              // the user's home directory
  std::string display;           // the X display; empty: none

  static SourcePlaces For(const SysfsRoot& root);
};

}  // namespace host::machine::linuxhost
