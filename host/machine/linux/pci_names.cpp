#include "machine/linux/pci_names.h"

#include <algorithm>
#include <cstdio>
#include <optional>

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

// Walks the lines of one level: each line of `indent` tabs is given to `visit` (without its tabs)
// until a line of fewer tabs ends the level or `visit` answers true; returns where it stopped
// (the line after the one visit chose) or npos.
template <class Visit>
size_t WalkLevel(std::string_view lines, size_t indent, const Visit& visit) {
  size_t at = 0;
  while (at < lines.size()) {
    const size_t end = std::min(lines.find('\n', at), lines.size());
    const std::string_view line = lines.substr(at, end - at);
    at = end + 1;
    if (Skipped(line)) continue;
    const size_t tabs = IndentOf(line);
    if (tabs < indent) break;
    if (tabs == indent && visit(line.substr(tabs))) return at;
  }
  return std::string_view::npos;
}

// "8086  Intel Corporation" for id 8086: the name after the id and its two spaces.
std::optional<std::string_view> NameOnLine(std::string_view line, const std::string& id) {
  if (!line.starts_with(id) || line.substr(id.size(), 2) != "  ") return std::nullopt;
  return line.substr(id.size() + 2);
}

}  // namespace

std::string_view PciIdName(std::string_view lines, int indent, uint16_t id) {
  const std::string hex = Hex4(id);
  std::string_view name;
  WalkLevel(lines, static_cast<size_t>(indent), [&](std::string_view line) {
    if (auto found = NameOnLine(line, hex)) name = *found;
    return !name.empty();
  });
  return Trim(name);
}

std::string_view PciVendorBlock(std::string_view list, uint16_t vendor) {
  const std::string hex = Hex4(vendor);
  const size_t below = WalkLevel(list, 0, [&](std::string_view line) { return NameOnLine(line, hex).has_value(); });
  if (below == std::string_view::npos || below >= list.size()) return {};
  return list.substr(below);
}

PciNames::PciNames(const SysfsRoot& root)
    : path_(!root.root().empty() && root.Exists(kListPath) ? root.Path(kListPath) : std::string(kListPath)) {}

std::string_view PciNames::List() {
  if (!list_) list_ = SysfsRoot("/").Read(path_).value_or(std::string());
  return *list_;
}

std::string PciNames::Vendor(uint16_t vendor) {
  std::lock_guard guard(lock_);
  return std::string(PciIdName(List(), 0, vendor));
}

std::string PciNames::Device(uint16_t vendor, uint16_t device) {
  std::lock_guard guard(lock_);
  return std::string(PciIdName(PciVendorBlock(List(), vendor), 1, device));
}

}  // namespace host::machine::linuxhost
