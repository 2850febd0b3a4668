#include "machine/linux/pci_names.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "machine/linux/sysfs_root.h"

namespace host::machine::linuxhost {
namespace {

constexpr std::string_view kListPath = "/usr/share/misc/pci.ids";

// "8086" for 0x8086: the list writes its ids in four lowercase hexadecimal digits.
std::string Hex4(uint16_t id) {
  char text[5];
  std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(id));
  return text;
}

size_t IndentOf(std::string_view line) {
  size_t tabs = 0;
  while (tabs < line.size() && line[tabs] == '\t') ++tabs;
  return tabs;
}

bool Skipped(std::string_view line) { return line.empty() || line.front() == '#'; }

// Where the first line that begins with `head` starts, or npos. memmem finds it without looking
// at the lines before it one by one.
size_t FindLine(std::string_view lines, std::string_view head) {
  if (lines.starts_with(head)) return 0;
  const std::string needle = "\n" + std::string(head);
  if (lines.size() < needle.size()) return std::string_view::npos;  // memmem wants real memory, even empty
  const void* at = memmem(lines.data(), lines.size(), needle.data(), needle.size());
  return at ? static_cast<size_t>(static_cast<const char*>(at) - lines.data()) + 1 : std::string_view::npos;
}

// Whether a line of fewer than `indent` tabs (the end of the level) stands in `lines`.
bool LevelEnds(std::string_view lines, size_t indent) {
  if (indent == 0) return false;
  for (size_t at = 0; at < lines.size();) {
    const size_t end = std::min(lines.find('\n', at), lines.size());
    const std::string_view line = lines.substr(at, end - at);
    at = end + 1;
    if (!Skipped(line) && IndentOf(line) < indent) return true;
  }
  return false;
}

// "\t\t8086  " for id 8086 two levels down: the start of the id's line, its id and two spaces.
std::string HeadOf(size_t indent, uint16_t id) { return std::string(indent, '\t') + Hex4(id) + "  "; }

}  // namespace

std::string_view PciIdName(std::string_view lines, int indent, uint16_t id) {
  const std::string head = HeadOf(static_cast<size_t>(indent), id);
  const size_t at = FindLine(lines, head);
  // A line of another level or vendor with the same id lies past the end of this level.
  if (at == std::string_view::npos || LevelEnds(lines.substr(0, at), static_cast<size_t>(indent))) return {};
  const size_t end = std::min(lines.find('\n', at), lines.size());
  return Trim(lines.substr(at + head.size(), end - at - head.size()));
}

std::string_view PciVendorBlock(std::string_view list, uint16_t vendor) {
  const size_t at = FindLine(list, HeadOf(0, vendor));
  if (at == std::string_view::npos) return {};
  const size_t below = list.find('\n', at);
  if (below == std::string_view::npos || below + 1 >= list.size()) return {};
  return list.substr(below + 1);
}

PciNames::PciNames(const SysfsRoot& root)
    : path_(!root.root().empty() && root.Exists(kListPath) ? root.Path(kListPath) : std::string(kListPath)) {}

std::string_view PciNames::List() {
  if (!list_) list_ = SysfsRoot("/").Read(path_).value_or(std::string());
  return *list_;
}

std::string_view PciNames::VendorLines(uint16_t vendor) {
  // Devices of one vendor come in numbers (a chipset's functions, virtio's devices): its line is
  // looked for once.
  auto [at, added] = vendorLines_.try_emplace(vendor);
  if (added) {
    const std::string_view list = List();
    const size_t line = FindLine(list, HeadOf(0, vendor));
    if (line != std::string_view::npos) at->second = list.substr(line);
  }
  return at->second;
}

std::string PciNames::Vendor(uint16_t vendor) {
  std::lock_guard guard(lock_);
  return std::string(PciIdName(VendorLines(vendor), 0, vendor));
}

std::string PciNames::Device(uint16_t vendor, uint16_t device) {
  std::lock_guard guard(lock_);
  return std::string(PciIdName(PciVendorBlock(VendorLines(vendor), vendor), 1, device));
}

}  // namespace host::machine::linuxhost
