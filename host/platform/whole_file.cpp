#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace platform {
namespace {

std::string ErrnoText() { return std::strerror(errno); }

std::string DirectoryOf(const std::string& path) {
  const std::string dir = std::filesystem::path(path).parent_path().string();
  return dir.empty() ? "." : dir;
}

// A new hidden file beside `path`, opened for writing; -1 (errno set) when none can be made.
int CreateTemporary(const std::string& path, std::string& name) {
  const std::filesystem::path target(path);
  const std::string pattern =
      (std::filesystem::path(DirectoryOf(path)) / ("." + target.filename().string() + ".XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
  name = buffer.data();
  return fd;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// The rename itself reaches the disk only with its directory.
void SyncDirectory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string WholeFileProblem(const std::string& path) {
  const std::string dir = DirectoryOf(path);
  struct stat info {};
  if (::stat(dir.c_str(), &info) != 0) return "directory " + dir + ": " + ErrnoText();
  if (!S_ISDIR(info.st_mode)) return dir + " is not a directory";
  if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return path + " is a directory";
  std::string probe;
  const int fd = CreateTemporary(path, probe);
  if (fd < 0) return "cannot create a file in " + dir + " (" + ErrnoText() + ")";
  ::close(fd);
  ::unlink(probe.c_str());
  return {};
}

std::string WriteWholeFile(const std::string& path, std::string_view text, mode_t mode) {
  if (std::string problem = WholeFileProblem(path); !problem.empty()) return problem;
  std::string temp;
  const int fd = CreateTemporary(path, temp);
  if (fd < 0) return "cannot create a file in " + DirectoryOf(path) + " (" + ErrnoText() + ")";
  std::string error;
  if (::fchmod(fd, mode) != 0 || !WriteAll(fd, text) || ::fsync(fd) != 0) error = ErrnoText();
  if (::close(fd) != 0 && error.empty()) error = ErrnoText();
  if (error.empty() && ::rename(temp.c_str(), path.c_str()) != 0) error = ErrnoText();
  if (!error.empty()) {
    ::unlink(temp.c_str());
    return "cannot write " + path + " (" + error + ")";
  }
  SyncDirectory(DirectoryOf(path));
  return {};
}

}  // namespace platform
