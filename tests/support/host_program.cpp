#include "support/host_program.h"

#include "support/recorded_tree.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testenv {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

HostRun RunHost(const std::string& prefix, const std::vector<std::string>& args) {
  static std::atomic<int> runs{0};
  const char* appDir = std::getenv("SYSDIAGNOSE_APP_DIR");
  EXPECT_NE(appDir, nullptr) << "SYSDIAGNOSE_APP_DIR names the build's bin directory";
  std::string command = prefix + Quote(std::string(appDir ? appDir : ".") + "/sysdiagnose-host");
  for (const std::string& arg : args) command += " " + Quote(arg);
  const std::string stem = testing::TempDir() + "host-" + std::to_string(getpid()) + "-" + std::to_string(runs++);
  const std::string out = stem + ".out";
  const std::string err = stem + ".err";
  const int raw = std::system((command + " </dev/null >" + Quote(out) + " 2>" + Quote(err)).c_str());
  HostRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
  std::remove(out.c_str());
  std::remove(err.c_str());
  return run;
}

}  // namespace

HostRun RunHostProgram(const std::vector<std::string>& args) { return RunHost("", args); }

HostRun RunHostProgramWithoutModuleLoading(const std::vector<std::string>& args) {
  return RunHost(MayLoadModulesHere() ? "setpriv --bounding-set=-sys_module --inh-caps=-sys_module " : "", args);
}

}  // namespace testenv
