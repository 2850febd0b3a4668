#pragma once
// Runs the built reference host program, `sysdiagnose-host`, as a user would.
#include <string>
#include <vector>

namespace testenv {

struct HostRun {
  int status = -1;  // exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs $SYSDIAGNOSE_APP_DIR/sysdiagnose-host with the arguments, in the current environment.
HostRun RunHostProgram(const std::vector<std::string>& args);
// The same as a user who may not load kernel modules: root without CAP_SYS_MODULE.
HostRun RunHostProgramWithoutModuleLoading(const std::vector<std::string>& args);

}  // namespace testenv
