#include "support/private_bus.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/test_env.h"

extern char** environ;

namespace testenv {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kStartLimit = std::chrono::seconds(15);

// Runs `argv` with `environment`, stdout and stderr into `log`; `inherited` (>= 0) stays open in
// the child. The child is sent SIGTERM should the test die before it stops it.
pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment, const std::string& log,
            int inherited = -1) {
  std::vector<char*> args, env;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : environment) env.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  env.push_back(nullptr);
  const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {  // only async-signal-safe calls from here on
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent || out < 0 || in < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    if (inherited >= 0) fcntl(inherited, F_SETFD, 0);
    execve(args[0], args.data(), env.data());
    _exit(127);
  }
  if (out >= 0) close(out);
  if (in >= 0) close(in);
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// This process's environment with the bus variables replaced.
std::vector<std::string> EnvironmentWith(const std::string& systemBus) {
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry(*e);
    if (!entry.starts_with("DBUS_SYSTEM_BUS_ADDRESS=") && !entry.starts_with("DBUS_SESSION_BUS_ADDRESS=")) {
      environment.emplace_back(entry);
    }
  }
  environment.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + systemBus);
  environment.push_back("PYTHONDONTWRITEBYTECODE=1");
  return environment;
}

// The line the daemon prints once it listens; empty if it ends or says nothing in time.
std::string ReadLine(int fd, Clock::time_point deadline) {
  std::string line;
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd ready{fd, POLLIN, 0};
    if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) <= 0) return {};
    char buffer[512];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return {};
    line.append(buffer, static_cast<size_t>(n));
  }
  return line.substr(0, line.find('\n'));
}

bool NameHasOwner(GDBusConnection* bus, const std::string& name) {
  GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                                "NameHasOwner", g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(b)"),
                                                G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr);
  if (reply == nullptr) return false;
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned != FALSE;
}

GDBusConnection* Connect(const std::string& address) {
  return g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
}

}  // namespace

PrivateBus::PrivateBus(std::string socketPath, std::string policy) {
  char pattern[] = "/tmp/sdbus-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    error_ = std::string("cannot make a directory: ") + std::strerror(errno);
    return;
  }
  directory_ = pattern;
  if (socketPath.empty()) socketPath = directory_ + "/bus";
  std::error_code ec;
  fs::create_directories(fs::path(socketPath).parent_path(), ec);
  fs::remove(socketPath, ec);
  const std::string config = directory_ + "/bus.conf";
  std::ofstream(config) << R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=)" << socketPath << R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
    )" << policy << R"(
  </policy>
</busconfig>
)";
  int printed[2];
  if (pipe2(printed, O_CLOEXEC) != 0) {
    error_ = std::string("no pipe: ") + std::strerror(errno);
    return;
  }
  pid_ = Start({"/usr/bin/dbus-daemon", "--nofork", "--nosyslog", "--config-file=" + config,
                "--print-address=" + std::to_string(printed[1])},
               EnvironmentWith(""), directory_ + "/bus.log", printed[1]);
  close(printed[1]);
  const std::string address = ReadLine(printed[0], Clock::now() + kStartLimit);
  close(printed[0]);
  if (address.empty()) {
    error_ = "dbus-daemon did not start: " + ReadFile(directory_ + "/bus.log");
    return;
  }
  // The printed address carries a guid; the plain path is what a client is given.
  address_ = "unix:path=" + socketPath;
}

PrivateBus::~PrivateBus() {
  Stop(pid_);
  std::error_code ec;
  if (!directory_.empty()) fs::remove_all(directory_, ec);
}

MockService::MockService(const PrivateBus& bus, std::string name, const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {"/usr/bin/python3", "-m", "dbusmock", "--system"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const std::string log = fs::temp_directory_path() / ("dbusmock-" + std::to_string(getpid()) + "-" + name + ".log");
  pid_ = Start(argv, EnvironmentWith(bus.address()), log);
  GDBusConnection* connection = Connect(bus.address());
  for (const auto deadline = Clock::now() + kStartLimit; connection != nullptr && Clock::now() < deadline;) {
    if (NameHasOwner(connection, name)) {
      ok_ = true;
      break;
    }
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (connection != nullptr) {
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
  }
  if (!ok_) error_ = "dbusmock did not take " + name + ": " + ReadFile(log);
  std::remove(log.c_str());
}

MockService::~MockService() { Stop(pid_); }

}  // namespace testenv
