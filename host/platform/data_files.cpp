#include "platform/data_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace platform {
namespace {

constexpr mode_t kPrivateDirectory = 0700;
constexpr mode_t kPrivateFile = 0600;

std::string ErrnoText(int error) { return std::strerror(error); }

// Why an existing data file cannot be written, or an empty text (also when there is none).
std::string FileProblem(const std::string& dir, const char* name) {
  const std::string path = dir + "/" + name;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return {};
  if (!S_ISREG(info.st_mode)) return std::string(name) + " in it is not a regular file";
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return std::string("cannot write ") + name + " in it (" + ErrnoText(errno) + ")";
  ::close(fd);
  return {};
}

}  // namespace

std::string CreatePrivateDirectory(const std::string& dir) {
  std::error_code ec;
  if (std::filesystem::exists(dir, ec)) return {};
  const std::filesystem::path parent = std::filesystem::path(dir).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  if (ec) return "cannot be created (" + ec.message() + ")";
  if (::mkdir(dir.c_str(), kPrivateDirectory) != 0) {
    if (errno == EEXIST) return {};  // made by someone else meanwhile
    return "cannot be created (" + ErrnoText(errno) + ")";
  }
  ::chmod(dir.c_str(), kPrivateDirectory);  // the umask may have taken bits away
  return {};
}

std::string DataDirectoryProblem(const std::string& dir) {
  if (std::string problem = CreatePrivateDirectory(dir); !problem.empty()) return problem;
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return "is not a directory";
  // Only creating a file shows whether files can be created: permissions say nothing to root
  // and nothing about file systems such as /proc.
  std::string probe = dir + "/.sysdiagnose-probe-XXXXXX";
  std::vector<char> name(probe.begin(), probe.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    // Kernel file systems such as /proc answer "no such file" for a directory that is there.
    const int error = errno;
    return "cannot create a file in it (" +
           (error == ENOENT ? std::string("its file system takes no new files") : ErrnoText(error)) + ")";
  }
  ::close(fd);
  ::unlink(name.data());
  for (const char* file : {kHistoryFile, kRegistryFile, kTelemetryFile, kLogFile}) {
    if (std::string problem = FileProblem(dir, file); !problem.empty()) return problem;
  }
  return {};
}

int OpenPrivateFile(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CREAT | O_CLOEXEC, kPrivateFile);
  if (fd >= 0) ::fchmod(fd, kPrivateFile);  // also one made before, or under an odd umask
  return fd;
}

bool MakePrivate(const std::string& path) { return ::chmod(path.c_str(), kPrivateFile) == 0; }

}  // namespace platform
