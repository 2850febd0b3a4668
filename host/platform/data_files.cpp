#include "platform/data_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

// Every file the libraries keep in the data directory, each looked at before a command runs.
std::vector<std::string> DataFileNames() {
  const std::string registry = kRegistryFile, telemetry = kTelemetryFile, log = kLogFile;
  std::vector<std::string> names = {kHistoryFile, registry,        registry + ".lock", registry + ".tmp",
                                    telemetry,    telemetry + ".1", log,                log + ".1"};
  for (const char* companion : kHistoryCompanions) names.push_back(std::string(kHistoryFile) + companion);
  return names;
}

// Whether another user could put a file (a link to one of this user's files) where the data
// files are: a directory that is someone else's, or that others may write to.
std::string OwnershipProblem(const std::string& dir) {
  struct stat info {};
  if (::stat(dir.c_str(), &info) != 0) return "cannot be looked at (" + ErrnoText(errno) + ")";
  if (info.st_uid != ::geteuid()) return "belongs to another user (uid " + std::to_string(info.st_uid) + ")";
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return std::string("can be written by other users (mode ") + mode + ")";
  }
  return {};
}

// Opens a file without following a link, without waiting on a FIFO and without making it the
// controlling terminal; -1 (errno set) for anything but a regular file.
int OpenRegular(const std::string& path, int flags, mode_t mode = 0) {
  const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

// Why an existing data file cannot be written, or an empty text (also when there is none).
std::string FileProblem(const std::string& dir, const std::string& name) {
  const std::string path = dir + "/" + name;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return {};
  if (!S_ISREG(info.st_mode)) return name + " in it is not a regular file";
  const int fd = OpenRegular(path, O_WRONLY | O_APPEND);
  if (fd < 0) return "cannot write " + name + " in it (" + ErrnoText(errno) + ")";
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
  if (dir.empty()) return "there is none: no home directory is known for uid " + std::to_string(::geteuid());
  if (std::string problem = CreatePrivateDirectory(dir); !problem.empty()) return problem;
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return "is not a directory";
  if (std::string problem = OwnershipProblem(dir); !problem.empty()) return problem;
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
  for (const std::string& file : DataFileNames()) {
    if (std::string problem = FileProblem(dir, file); !problem.empty()) return problem;
  }
  return {};
}

int OpenPrivateFile(const std::string& path, int flags) {
  const int fd = OpenRegular(path, flags | O_CREAT, kPrivateFile);
  if (fd >= 0) ::fchmod(fd, kPrivateFile);  // also one made before, or under an odd umask
  return fd;
}

bool MakePrivate(const std::string& path) {
  int fd = OpenRegular(path, O_RDONLY);
  if (fd < 0 && errno == EACCES) fd = OpenRegular(path, O_WRONLY);
  if (fd < 0) return false;
  const bool made = ::fchmod(fd, kPrivateFile) == 0;
  ::close(fd);
  return made;
}

}  // namespace platform
