#pragma once
// Reads the kernel's procfs and sysfs files through one root prefix: "/" on the running machine,
// a recorded tree in tests. Nothing here throws; a file that cannot be read reads as absent, and
// the error is kept for the caller that wants to say why.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host::machine::linuxhost {

class SysfsRoot {
 public:
  explicit SysfsRoot(std::string root);

  const std::string& root() const { return root_; }
  // The real path of a kernel path ("/sys/class/net") under the root.
  std::string Path(std::string_view kernelPath) const;

  // The whole file; nullopt when it cannot be read (then `error`, if given, holds errno).
  std::optional<std::string> Read(std::string_view kernelPath, int* error = nullptr) const;
  // The file's text without surrounding blanks and line ends; empty when unreadable.
  std::string Text(std::string_view kernelPath) const;
  // The file as an unsigned number (decimal, or hexadecimal with 0x); nullopt when unreadable
  // or not a number.
  std::optional<uint64_t> Number(std::string_view kernelPath) const;
  // The file as a hexadecimal number, with or without 0x ("8087", "0x8086").
  std::optional<uint64_t> HexNumber(std::string_view kernelPath) const;
  bool Exists(std::string_view kernelPath) const;
  // Entry names of a directory, sorted; empty when it cannot be listed.
  std::vector<std::string> List(std::string_view kernelPath) const;
  // The last part of a symbolic link's target ("device/driver" -> "iwlwifi"); empty when none.
  std::string LinkName(std::string_view kernelPath) const;
  // The kernel path a symbolic link leads to, resolved inside the root; empty when none.
  std::string Resolve(std::string_view kernelPath) const;

 private:
  std::string root_;  // without a trailing '/'; empty for "/"
};

// Kernel path joining: Join("/sys/class/net", "eth0") -> "/sys/class/net/eth0".
std::string Join(std::string_view directory, std::string_view name);
// A whole text as a number in `base` (0x allowed for 16); nullopt for anything else.
std::optional<uint64_t> ParseNumber(std::string_view text, int base = 10);
// Surrounding blanks, tabs and line ends removed.
std::string_view Trim(std::string_view text);

}  // namespace host::machine::linuxhost
