// Reading a machine profile. Every key is optional; anything the reader does not know, or a value
// of the wrong type, refuses the whole profile with the key path, so a typo never reads as "absent".
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "machine/machine.h"
#include "machine/profile_fields.h"
#include "machine/profile_reader.h"

namespace host::machine {
namespace {

using namespace profile;

constexpr std::string_view kCheckPaths[] = {
    "cpu.codes.sse",      "cpu.codes.sse2",    "cpu.codes.sse3",     "cpu.codes.ssse3",
    "cpu.codes.sse41",    "cpu.codes.sse42",   "memory.stuckAddr",   "memory.lineSeq",
    "memory.blockSeq",    "memory.bit0Walk",   "memory.random",      "memory.board",
    "memory.arith",       "memory.logic",      "memory.bitFlip",     "video.device",
    "video.status",       "audio.device",      "audio.loopBack",     "wifi.device",
    "wifi.networkCard",   "wifi.switch",       "wifi.signal",        "battery.device",
    "battery.voltage",    "battery.loss",      "keyboard.filterKey", "keyboard.hotKey",
    "bluetooth.device",   "bluetooth.state",   "biometric.device",   "biometric.function",
};
constexpr std::string_view kFlagPaths[] = {
    "cpu.support.sse",   "cpu.support.sse2",  "cpu.support.ssse3",   "cpu.support.sse41",
    "cpu.support.sse42", "bluetooth.supported",
};
constexpr std::string_view kRepairNames[] = {
    "RepairWifiDriver",   "RepairWifiProblem", "RepairHotkey",           "CloseFilterKey",
    "RepairAudioProblem", "RepairBTProblems",  "RepairVIDEOCARDProblems", "RepairByErrorCode",
};
constexpr std::string_view kDeviceReturn = "video.deviceReturn";
constexpr std::string_view kDisks = "disks";
constexpr size_t kMaxProfileBytes = 1 << 20;

bool Contains(std::span<const std::string_view> names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// ---- checks --------------------------------------------------------------------------------

enum class CheckKey { Check, Flag, DeviceReturn, Disks, Group, Unknown };

CheckKey KindOf(std::string_view path) {
  if (Contains(kCheckPaths, path)) return CheckKey::Check;
  if (Contains(kFlagPaths, path)) return CheckKey::Flag;
  if (path == kDeviceReturn) return CheckKey::DeviceReturn;
  if (path == kDisks) return CheckKey::Disks;
  const std::string prefix = std::string(path) + ".";
  const auto opens = [&](std::string_view known) { return known.starts_with(prefix); };
  const bool group = std::any_of(std::begin(kCheckPaths), std::end(kCheckPaths), opens) ||
                     std::any_of(std::begin(kFlagPaths), std::end(kFlagPaths), opens) || opens(kDeviceReturn);
  return group ? CheckKey::Group : CheckKey::Unknown;
}

// Walks "checks" along the known paths; `path` is relative to "checks".
void ReadChecks(const json& object, const std::string& path, Errors& errors, Profile& out) {
  const std::string fullPath = Child("checks", path);
  if (!object.is_object()) return errors.WrongType(fullPath, "an object");
  for (const auto& item : object.items()) {
    const std::string key = Child(path, item.key());
    const std::string fullKey = Child("checks", key);
    switch (KindOf(key)) {
      case CheckKey::Check: ReadCheck(item.value(), fullKey, errors, out.checks[key]); break;
      case CheckKey::Flag: ReadBool(item.value(), fullKey, errors, out.flags[key]); break;
      case CheckKey::DeviceReturn: ReadSigned<>(item.value(), fullKey, errors, out.videoDeviceReturn); break;
      case CheckKey::Disks:
        if (!item.value().is_array()) {
          errors.WrongType(fullKey, "an array");
          break;
        }
        if (!FewEnough(item.value(), fullKey, errors)) break;
        for (size_t i = 0; i < item.value().size(); ++i) {
          ReadDiskCheck(item.value()[i], Element(fullKey, i), errors, out.disks.emplace_back());
        }
        break;
      case CheckKey::Group: ReadChecks(item.value(), key, errors, out); break;
      case CheckKey::Unknown: errors.Add("unknown key '" + fullKey + "'"); break;
    }
  }
}

// Support flags say yes unless told otherwise; Bluetooth is supported when the machine has it.
void DefaultFlags(Profile& profile) {
  for (std::string_view flag : kFlagPaths) {
    profile.flags.try_emplace(std::string(flag), flag.starts_with("cpu.") || profile.hardware.hasBluetooth);
  }
}

// ---- repairs -------------------------------------------------------------------------------

void ReadRepairs(ObjectReader repairs, Profile& out) {
  for (std::string_view name : kRepairNames) {
    if (const json* value = repairs.Find(name)) {
      ReadRepair(ObjectReader(value, repairs.PathOf(name), repairs.errors()), out.repairs[std::string(name)]);
    }
  }
}

// ---- the whole file ------------------------------------------------------------------------

struct Position {
  size_t line = 1, column = 1;
};

// Line and column (both from 1) of the byte at `offset`.
Position PositionOf(std::string_view text, size_t offset) {
  offset = std::min(offset, text.size());
  Position position;
  for (size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++position.line;
      position.column = 1;
    } else {
      ++position.column;
    }
  }
  return position;
}

// The parser's own words without its "[json.exception...] parse error at line L, column C: " lead.
// The text it quotes may hold broken bytes; they are shown as '?' so the error stays printable.
std::string ParseReason(const std::string& what) {
  const size_t column = what.find("column ");
  const size_t colon = column == std::string::npos ? std::string::npos : what.find(": ", column);
  const size_t lead = what.find("] ");
  if (colon != std::string::npos) return Printable(what.substr(colon + 2));
  return Printable(lead == std::string::npos ? what : what.substr(lead + 2));
}

LoadResult Refuse(std::string_view source, const std::string& message) {
  return LoadResult{nullptr, std::string(source) + ": " + message};
}

}  // namespace

std::span<const std::string_view> CheckPaths() { return kCheckPaths; }
std::span<const std::string_view> FlagPaths() { return kFlagPaths; }
std::span<const std::string_view> RepairNames() { return kRepairNames; }

LoadResult ParseProfile(std::string_view text, std::string_view sourceName) {
  json document;
  try {
    document = json::parse(text.begin(), text.end());
  } catch (const json::parse_error& e) {
    // The parser counts the offending byte from 1.
    const Position at = PositionOf(text, e.byte == 0 ? 0 : e.byte - 1);
    return Refuse(std::string(sourceName) + ":" + std::to_string(at.line) + ":" + std::to_string(at.column),
                  "malformed JSON: " + ParseReason(e.what()));
  } catch (const json::exception& e) {  // a number beyond any type ("1e400")
    return Refuse(sourceName, "malformed JSON: " + ParseReason(e.what()));
  }
  if (!document.is_object()) return Refuse(sourceName, "a machine profile must be a JSON object");

  auto profile = std::make_shared<Profile>();
  Errors errors;
  {
    ObjectReader root(&document, "", errors);
    ReadHost(root.Object("host"), profile->host);
    ReadHardware(root.Object("hardware"), profile->hardware);
    if (const json* checks = root.Find("checks")) ReadChecks(*checks, "", errors, *profile);
    ReadRepairs(root.Object("repairs"), *profile);
    ReadLogService(root.Object("logService"), profile->logService);
  }
  if (errors.Any()) return Refuse(sourceName, errors.First());
  DefaultFlags(*profile);
  return LoadResult{std::move(profile), {}};
}

LoadResult ReadProfileFile(const std::string& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return Refuse(path, "is a directory, not a machine profile");
  std::ifstream file(path, std::ios::binary);
  if (!file) return Refuse(path, std::string("cannot open the machine profile (") + std::strerror(errno) + ")");
  std::string text(kMaxProfileBytes + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.bad()) return Refuse(path, "cannot read the machine profile");
  if (static_cast<size_t>(file.gcount()) > kMaxProfileBytes) {
    return Refuse(path, "a machine profile is at most " + std::to_string(kMaxProfileBytes >> 20) + " MiB");
  }
  text.resize(static_cast<size_t>(file.gcount()));
  return ParseProfile(text, path);
}

}  // namespace host::machine
