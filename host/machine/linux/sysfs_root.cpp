#include "machine/linux/sysfs_root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>

namespace host::machine::linuxhost {

namespace fs = std::filesystem;

std::string Join(std::string_view directory, std::string_view name) {
  std::string path(directory);
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

SysfsRoot::SysfsRoot(std::string root) : root_(std::move(root)) {
  while (!root_.empty() && root_.back() == '/') root_.pop_back();
}

std::string SysfsRoot::Path(std::string_view kernelPath) const { return root_ + std::string(kernelPath); }

std::optional<std::string> SysfsRoot::Read(std::string_view kernelPath, int* error) const {
  // Plain reads: an inventory reads hundreds of small attributes, and a stream a file costs more
  // than the kernel's answer.
  const int fd = ::open(Path(kernelPath).c_str(), O_RDONLY | O_CLOEXEC);
  const auto failed = [error] {
    if (error) *error = errno;
    return std::nullopt;
  };
  if (fd < 0) return failed();
  std::string text;
  struct stat st {};
  // sysfs says 4096 for every attribute; a regular file (pci.ids, a recorded tree) its own size.
  const size_t hint = ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) : 4096;
  text.resize(hint + 1);
  size_t got = 0;
  for (;;) {
    if (got == text.size()) text.resize(text.size() * 2);
    const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
    if (n > 0) {
      got += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      // Reading a sysfs attribute the driver refuses (EIO, EACCES) fails here, not at open.
      const int why = errno;
      ::close(fd);
      errno = why;
      return failed();
    }
    break;
  }
  ::close(fd);
  text.resize(got);
  return text;
}

std::string SysfsRoot::Text(std::string_view kernelPath) const {
  const auto text = Read(kernelPath);
  return text ? std::string(Trim(*text)) : std::string();
}

std::optional<uint64_t> ParseNumber(std::string_view text, int base) {
  text = Trim(text);
  if (text.starts_with("0x") || text.starts_with("0X")) {
    if (base != 16 && base != 10) return std::nullopt;
    text.remove_prefix(2);
    base = 16;
  }
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end == text.data() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<uint64_t> SysfsRoot::Number(std::string_view kernelPath) const { return ParseNumber(Text(kernelPath)); }

std::optional<uint64_t> SysfsRoot::HexNumber(std::string_view kernelPath) const {
  return ParseNumber(Text(kernelPath), 16);
}

bool SysfsRoot::Exists(std::string_view kernelPath) const {
  std::error_code ec;
  return fs::exists(fs::symlink_status(Path(kernelPath), ec));
}

std::vector<std::string> SysfsRoot::List(std::string_view kernelPath) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(Path(kernelPath), ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string SysfsRoot::LinkName(std::string_view kernelPath) const {
  std::error_code ec;
  const fs::path target = fs::read_symlink(Path(kernelPath), ec);
  return ec ? std::string() : target.filename().string();
}

std::string SysfsRoot::Resolve(std::string_view kernelPath) const {
  std::error_code ec;
  const std::string resolved = fs::canonical(Path(kernelPath), ec).string();
  if (ec) return {};
  if (root_.empty()) return resolved;
  const std::string base = fs::canonical(root_.empty() ? "/" : root_, ec).string();
  if (ec || !resolved.starts_with(base)) return {};
  const std::string inside = resolved.substr(base.size());
  return inside.empty() ? "/" : inside;
}

}  // namespace host::machine::linuxhost
