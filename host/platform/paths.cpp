#include "platform/paths.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/data_files.h"

namespace platform {

std::string ExecutablePath() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

std::string AppDirectory() {
  if (const char* dir = std::getenv("SYSDIAGNOSE_APP_DIR"); dir && *dir) return dir;
  const std::string exe = ExecutablePath();
  if (exe.empty()) return {};
  const std::filesystem::path exeDir = std::filesystem::path(exe).parent_path();
  const std::filesystem::path installed = (exeDir / SYSDIAGNOSE_DATADIR_FROM_BIN).lexically_normal();
  std::error_code ec;
  return std::filesystem::is_directory(installed, ec) ? installed.string() : exeDir.string();
}

std::string DataDirectory() {
  std::filesystem::path dir;
  if (const char* d = std::getenv("SYSDIAGNOSE_DATA_DIR"); d && *d) {
    dir = d;
  } else if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    dir = std::filesystem::path(xdg) / "sysdiagnose";
  } else {
    const char* home = std::getenv("HOME");
    dir = std::filesystem::path(home && *home ? home : "/tmp") / ".local/share/sysdiagnose";
  }
  CreatePrivateDirectory(dir.string());  // a directory that cannot be made shows when it is used
  return dir.string();
}

std::string NativePath(std::string_view windowsPath) {
  std::string path(windowsPath);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

}  // namespace platform
