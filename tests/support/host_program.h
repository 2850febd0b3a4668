#pragma once
// Runs the built reference host program, `sysdiagnose-host`, as a user would.
#include <sys/types.h>

#include <chrono>
#include <optional>
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
// The same on a terminal `columns` wide (a pseudo-terminal): what the terminal received, stdout
// and stderr together, in `out`.
HostRun RunHostProgramOnTerminal(const std::vector<std::string>& args, unsigned short columns);

// sysdiagnose-host started in the background, to act on while it runs; killed if still running
// when the object goes.
class HostProcess {
 public:
  explicit HostProcess(const std::vector<std::string>& args);
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  void Signal(int signal) const;
  // Waits up to `limit` for its end: its wait status, or nullopt while it still runs.
  std::optional<int> Wait(std::chrono::milliseconds limit);
  // What it wrote on stdout so far.
  std::string Out() const;

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  std::string out_, err_;
};

}  // namespace testenv
