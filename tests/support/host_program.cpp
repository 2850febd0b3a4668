#include "support/host_program.h"

#include "support/recorded_tree.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <thread>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace testenv {
namespace {

// $SYSDIAGNOSE_APP_DIR/sysdiagnose-host.
std::string Program() {
  const char* appDir = std::getenv("SYSDIAGNOSE_APP_DIR");
  EXPECT_NE(appDir, nullptr) << "SYSDIAGNOSE_APP_DIR names the build's bin directory";
  return std::string(appDir ? appDir : ".") + "/sysdiagnose-host";
}

// The program and the arguments as execv takes them; both must outlive the result.
std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  return argv;
}

HostRun RunHost(const std::string& prefix, const std::vector<std::string>& args) {
  static std::atomic<int> runs{0};
  std::string command = prefix + ShellQuote(Program());
  for (const std::string& arg : args) command += " " + ShellQuote(arg);
  const std::string stem = testing::TempDir() + "host-" + std::to_string(getpid()) + "-" + std::to_string(runs++);
  const std::string out = stem + ".out";
  const std::string err = stem + ".err";
  const int raw = std::system((command + " </dev/null >" + ShellQuote(out) + " 2>" + ShellQuote(err)).c_str());
  HostRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
  std::remove(out.c_str());
  std::remove(err.c_str());
  return run;
}

}  // namespace

HostRun RunHostProgram(const std::vector<std::string>& args) { return RunHost("", args); }

HostRun RunHostProgramWithoutModuleLoading(const std::vector<std::string>& args) {
  return RunHost(MayLoadModulesHere() ? "setpriv --bounding-set=-sys_module --inh-caps=-sys_module " : "", args);
}

HostRun RunHostProgramOnTerminal(const std::vector<std::string>& args, unsigned short columns) {
  const std::string program = Program();
  std::vector<char*> argv = Argv(program, args);
  winsize size{};
  size.ws_row = 50;
  size.ws_col = columns;
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, &size);
  if (pid == 0) {
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  if (pid < 0) {
    ADD_FAILURE() << "no pseudo-terminal: " << std::strerror(errno);
    return {};
  }
  HostRun run;
  char buffer[4096];
  // The terminal's side reads EIO once the program's side is closed.
  for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) != 0;) {
    if (n > 0) {
      run.out.append(buffer, static_cast<size_t>(n));
    } else if (errno != EINTR) {
      break;
    }
  }
  close(terminal);
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

HostProcess::HostProcess(const std::vector<std::string>& args) {
  static std::atomic<int> started{0};
  const std::string program = Program();
  const std::string stem = testing::TempDir() + "bg-" + std::to_string(getpid()) + "-" + std::to_string(started++);
  out_ = stem + ".out";
  err_ = stem + ".err";
  std::vector<char*> argv = Argv(program, args);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&files, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  EXPECT_EQ(posix_spawn(&pid_, program.c_str(), &files, nullptr, argv.data(), environ), 0) << program;
  posix_spawn_file_actions_destroy(&files);
}

HostProcess::~HostProcess() {
  if (pid_ > 0 && !status_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  std::remove(out_.c_str());
  std::remove(err_.c_str());
}

void HostProcess::Signal(int signal) const {
  if (pid_ > 0 && !status_) kill(pid_, signal);
}

std::optional<int> HostProcess::Wait(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (pid_ > 0 && !status_) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = status;
    } else if (std::chrono::steady_clock::now() >= deadline) {
      break;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  return status_;
}

std::string HostProcess::Out() const { return ReadFile(out_); }

}  // namespace testenv
