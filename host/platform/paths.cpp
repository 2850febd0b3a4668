#include "platform/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/data_files.h"

namespace platform {

std::string ExecutablePath() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

std::string AppDirectory() {
  if (const char* dir = std::getenv("SYSDIAGNOSE_APP_DIR"); dir && *dir) return dir;
  // Every resource's path starts here, hundreds a run: the executable's place is looked up once.
  static const std::string fromExecutable = [] {
    const std::string exe = ExecutablePath();
    if (exe.empty()) return std::string();
    const std::filesystem::path exeDir = std::filesystem::path(exe).parent_path();
    const std::filesystem::path installed = (exeDir / SYSDIAGNOSE_DATADIR_FROM_BIN).lexically_normal();
    std::error_code ec;
    return std::filesystem::is_directory(installed, ec) ? installed.string() : exeDir.string();
  }();
  return fromExecutable;
}

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home == '/') return home;
  // Not a shared, predictable place such as /tmp: the user's own entry.
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr || found->pw_dir[0] != '/') {
    return {};
  }
  return found->pw_dir;
}

std::string DataDirectoryPath() {
  std::filesystem::path dir;
  if (const char* d = std::getenv("SYSDIAGNOSE_DATA_DIR"); d && *d) {
    dir = d;
  } else if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
    dir = std::filesystem::path(xdg) / "sysdiagnose";
  } else if (const std::string home = HomeDirectory(); !home.empty()) {
    dir = std::filesystem::path(home) / ".local/share/sysdiagnose";
  } else {
    return {};
  }
  return dir.string();
}

std::string DataDirectory() {
  std::string dir = DataDirectoryPath();
  if (!dir.empty()) CreatePrivateDirectory(dir);  // a directory that cannot be made shows when it is used
  return dir;
}

std::string DataFilePath(std::string_view name) {
  const std::string dir = DataDirectory();
  return dir.empty() ? std::string() : dir + "/" + std::string(name);
}

std::string NativePath(std::string_view windowsPath) {
  std::string path(windowsPath);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

}  // namespace platform
