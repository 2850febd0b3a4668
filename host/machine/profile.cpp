// Reading a machine profile. Every key is optional; anything the reader does not know, or a value
// of the wrong type, refuses the whole profile with the key path, so a typo never reads as "absent".
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>

#include "machine/machine.h"
#include "platform/encoding.h"

namespace host::machine {
namespace {

using nlohmann::json;

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
constexpr size_t kSmartBytes = 24;  // a hard disk's record; a solid-state one uses the first 22

// What a profile may give, far beyond any notebook, so that a profile cannot make the machine
// loop, wait or lay out text for ever.
constexpr size_t kMaxProfileBytes = 1 << 20;
constexpr size_t kMaxTextBytes = 4096;
constexpr size_t kMaxEntries = 64;  // of every list, and of host.features
constexpr int32_t kMaxDiskCount = 64;
constexpr uint32_t kMaxDelayMs = 600000;
constexpr uint32_t kMaxDpi = 960;
// An error line keeps this much of its beginning and of its end.
constexpr size_t kMaxQuotedBytes = 100;

bool Contains(std::span<const std::string_view> names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string Child(std::string_view parent, std::string_view key) {
  std::string path(parent);
  if (!path.empty()) path += '.';
  path += key;
  return path;
}

std::string Element(std::string_view parent, size_t index) {
  return std::string(parent) + "[" + std::to_string(index) + "]";
}

// An error fit for one line: bytes other than printable ASCII (the file's own, perhaps broken,
// text) shown as '?', and a long one cut in the middle, so that its reason at the end stays.
std::string Printable(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.size() > 2 * kMaxQuotedBytes && i == kMaxQuotedBytes) {
      out += "...";
      i = text.size() - kMaxQuotedBytes;
    }
    const auto byte = static_cast<unsigned char>(text[i]);
    out += byte < 0x20 || byte >= 0x7F ? '?' : text[i];
  }
  return out;
}

// The first error wins; reading goes on harmlessly after it so that the code stays straight.
class Errors {
 public:
  void Add(const std::string& message) {
    if (first_.empty()) first_ = Printable(message);
  }
  void WrongType(const std::string& path, std::string_view expected) {
    Add("'" + path + "' must be " + std::string(expected));
  }
  bool Any() const { return !first_.empty(); }
  const std::string& First() const { return first_; }

 private:
  std::string first_;
};

void ReadText(const json& value, const std::string& path, Errors& errors, std::string& out) {
  if (!value.is_string()) return errors.WrongType(path, "a string");
  const auto& text = value.get_ref<const std::string&>();
  if (text.size() > kMaxTextBytes) {
    return errors.Add("'" + path + "' is longer than " + std::to_string(kMaxTextBytes) + " bytes");
  }
  out = text;
}

void ReadText(const json& value, const std::string& path, Errors& errors, std::u16string& out) {
  std::string utf8;
  ReadText(value, path, errors, utf8);
  out = platform::Utf8ToUtf16(utf8);
}

void ReadBool(const json& value, const std::string& path, Errors& errors, bool& out) {
  if (!value.is_boolean()) return errors.WrongType(path, "true or false");
  out = value.get<bool>();
}

// An integer within [low, high]; floats and out-of-range numbers are refused.
bool ReadInteger(const json& value, const std::string& path, Errors& errors, int64_t low, uint64_t high,
                 const std::string& expected, int64_t& out) {
  const bool fits = (value.is_number_unsigned() && value.get<uint64_t>() <= high) ||
                    (value.is_number_integer() && !value.is_number_unsigned() && value.get<int64_t>() >= low &&
                     (value.get<int64_t>() < 0 || static_cast<uint64_t>(value.get<int64_t>()) <= high));
  if (!fits) {
    errors.WrongType(path, expected);
    return false;
  }
  out = value.is_number_unsigned() ? static_cast<int64_t>(value.get<uint64_t>()) : value.get<int64_t>();
  return true;
}

template <class Unsigned, uint64_t high = std::numeric_limits<Unsigned>::max()>
void ReadUnsigned(const json& value, const std::string& path, Errors& errors, Unsigned& out) {
  const std::string expected = "an integer from 0 to " + std::to_string(high);
  int64_t number = 0;
  if (ReadInteger(value, path, errors, 0, high, expected, number)) out = static_cast<Unsigned>(number);
}

template <int32_t high = std::numeric_limits<int32_t>::max()>
void ReadSigned(const json& value, const std::string& path, Errors& errors, int32_t& out) {
  constexpr int32_t low = std::numeric_limits<int32_t>::min();
  int64_t number = 0;
  if (ReadInteger(value, path, errors, low, high,
                  "an integer from " + std::to_string(low) + " to " + std::to_string(high), number)) {
    out = static_cast<int32_t>(number);
  }
}

void ReadDelay(const json& value, const std::string& path, Errors& errors, uint32_t& out) {
  ReadUnsigned<uint32_t, kMaxDelayMs>(value, path, errors, out);
}

// Library codes are unsigned 32-bit; a negative number is taken modulo 2^32 (-5 is 4294967291).
// Only numbers that fit 32 bits either way are accepted, so a stray digit is caught.
void ReadCode(const json& value, const std::string& path, Errors& errors, uint32_t& out) {
  int64_t number = 0;
  if (ReadInteger(value, path, errors, std::numeric_limits<int32_t>::min(), std::numeric_limits<uint32_t>::max(),
                  "a 32-bit code from -2147483648 to 4294967295", number)) {
    out = static_cast<uint32_t>(number);
  }
}

// A list (or an object of names) of at most kMaxEntries.
bool FewEnough(const json& value, const std::string& path, Errors& errors) {
  if (value.size() <= kMaxEntries) return true;
  errors.Add("'" + path + "' holds more than " + std::to_string(kMaxEntries) + " entries");
  return false;
}

// One JSON object of the profile. Keys are asked for by name; when the reader goes out of scope
// every key nobody asked for is refused as unknown.
class ObjectReader {
 public:
  ObjectReader(const json* value, std::string path, Errors& errors)
      : object_(value), path_(std::move(path)), errors_(errors) {
    if (object_ && !object_->is_object()) {
      errors_.WrongType(path_, "an object");
      object_ = nullptr;
    }
  }
  ObjectReader(const ObjectReader&) = delete;
  ObjectReader& operator=(const ObjectReader&) = delete;
  ~ObjectReader() {
    if (!object_) return;
    for (const auto& item : object_->items()) {
      if (!asked_.contains(item.key())) errors_.Add("unknown key '" + PathOf(item.key()) + "'");
    }
  }

  bool Present() const { return object_ != nullptr; }
  std::string PathOf(std::string_view key) const { return Child(path_, key); }

  const json* Find(std::string_view key) {
    asked_.emplace(key);
    if (!object_) return nullptr;
    const auto it = object_->find(key);
    return it == object_->end() ? nullptr : &*it;
  }

  // Calls read(value, path, errors, out) when the key is there.
  template <class T, class Read>
  void Get(std::string_view key, T& out, Read read) {
    if (const json* value = Find(key)) read(*value, PathOf(key), errors_, out);
  }
  void Text(std::string_view key, std::u16string& out) { Get(key, out, ReadTextU16); }
  void Text(std::string_view key, std::string& out) { Get(key, out, ReadTextU8); }
  void Bool(std::string_view key, bool& out) { Get(key, out, ReadBool); }
  void Signed(std::string_view key, int32_t& out) { Get(key, out, ReadSigned<>); }
  void Delay(std::string_view key, uint32_t& out) { Get(key, out, ReadDelay); }
  void Code(std::string_view key, uint32_t& out) { Get(key, out, ReadCode); }
  template <class Number>
  void Unsigned(std::string_view key, Number& out) {
    Get(key, out, ReadUnsigned<Number>);
  }

  ObjectReader Object(std::string_view key) { return ObjectReader(Find(key), PathOf(key), errors_); }

  // Calls each(element, path) for every element of the array under key.
  template <class Each>
  void Array(std::string_view key, Each each) {
    const json* value = Find(key);
    if (!value) return;
    if (!value->is_array()) return errors_.WrongType(PathOf(key), "an array");
    if (!FewEnough(*value, PathOf(key), errors_)) return;
    for (size_t i = 0; i < value->size(); ++i) each((*value)[i], Element(PathOf(key), i));
  }
  void TextList(std::string_view key, std::vector<std::u16string>& out) {
    Array(key, [&](const json& element, const std::string& path) { ReadText(element, path, errors_, out.emplace_back()); });
  }

  Errors& errors() { return errors_; }

 private:
  static void ReadTextU16(const json& v, const std::string& p, Errors& e, std::u16string& o) { ReadText(v, p, e, o); }
  static void ReadTextU8(const json& v, const std::string& p, Errors& e, std::string& o) { ReadText(v, p, e, o); }

  const json* object_;
  std::string path_;
  Errors& errors_;
  std::set<std::string, std::less<>> asked_;
};

// ---- host ----------------------------------------------------------------------------------

void ReadHost(ObjectReader host, HostFacts& out) {
  host.Text("userLanguage", out.userLanguage);
  host.Get("dpi", out.dpi, ReadUnsigned<uint32_t, kMaxDpi>);
  host.Bool("rightToLeft", out.rightToLeft);
  if (const json* features = host.Find("features")) {
    ObjectReader names(features, host.PathOf("features"), host.errors());
    if (names.Present() && FewEnough(*features, host.PathOf("features"), host.errors())) {
      for (const auto& item : features->items()) {
        if (item.key().size() > kMaxTextBytes) {
          return host.errors().Add("'" + names.PathOf(item.key()) + "' is longer than " +
                                   std::to_string(kMaxTextBytes) + " bytes");
        }
        names.Bool(item.key(), out.features[item.key()]);
      }
    }
  }
  ObjectReader fingerprint = host.Object("fingerprint");
  fingerprint.Signed("status", out.fingerprintStatus);
  if (const json* present = fingerprint.Find("present")) {
    ReadBool(*present, fingerprint.PathOf("present"), host.errors(), out.fingerprintPresent.emplace());
  }
}

// ---- hardware ------------------------------------------------------------------------------

void ReadVideoCard(ObjectReader card, VideoCard& out) {
  card.Text("name", out.name);
  card.Text("driverVersion", out.driverVersion);
  card.Text("driverDate", out.driverDate);
  card.Unsigned("memoryMB", out.memoryMB);
}

void ReadAdapter(ObjectReader adapter, NetworkAdapter& out) {
  adapter.TextList("hardIds", out.hardIds);
  adapter.Text("caption", out.caption);
  adapter.Text("manufacturer", out.manufacturer);
}

void ReadNamedDevice(ObjectReader device, NamedDevice& out, bool withManufacturer) {
  device.Text("name", out.name);
  if (withManufacturer) device.Text("manufacturer", out.manufacturer);
}

// Saturated: modules too large to add up make the largest total there is, never a small one.
uint64_t SumOfModulesMB(const std::vector<MemoryModule>& modules) {
  uint64_t total = 0;
  for (const MemoryModule& module : modules) {
    total = module.capacityMB > UINT64_MAX - total ? UINT64_MAX : total + module.capacityMB;
  }
  return total;
}

void ReadHardware(ObjectReader hw, Hardware& out) {
  {
    ObjectReader cpu = hw.Object("cpu");
    cpu.Text("name", out.cpu.name);
    cpu.Text("manufacturer", out.cpu.manufacturer);
    cpu.Unsigned("cores", out.cpu.cores);
    cpu.Unsigned("threads", out.cpu.threads);
    cpu.Unsigned("extClockMHz", out.cpu.extClockMHz);
    cpu.Unsigned("l1KB", out.cpu.l1KB);
    cpu.Unsigned("l2KB", out.cpu.l2KB);
    cpu.Unsigned("l3KB", out.cpu.l3KB);
  }
  {
    ObjectReader board = hw.Object("baseboard");
    board.Text("product", out.baseboard.product);
    board.Text("manufacturer", out.baseboard.manufacturer);
    board.Text("version", out.baseboard.version);
    board.Text("serialNumber", out.baseboard.serialNumber);
  }
  {
    ObjectReader memory = hw.Object("memory");
    memory.Unsigned("totalMB", out.memory.totalMB);
    memory.Array("modules", [&](const json& element, const std::string& path) {
      ObjectReader module(&element, path, memory.errors());
      MemoryModule& m = out.memory.modules.emplace_back();
      module.Unsigned("capacityMB", m.capacityMB);
      module.Unsigned("speedMHz", m.speedMHz);
      module.Text("locator", m.locator);
      module.Text("partNumber", m.partNumber);
      module.Text("manufacturer", m.manufacturer);
    });
    // Without a total the modules make it, as the firmware's table does on a running machine.
    if (memory.Find("totalMB") == nullptr) out.memory.totalMB = SumOfModulesMB(out.memory.modules);
  }
  hw.Array("disks", [&](const json& element, const std::string& path) {
    ObjectReader disk(&element, path, hw.errors());
    Disk& d = out.disks.emplace_back();
    disk.Text("caption", d.caption);
    disk.Text("firmware", d.firmware);
    disk.Unsigned("capacityGB", d.capacityGB);
    disk.Bool("ssd", d.ssd);
  });
  if (const json* count = hw.Find("diskCount")) {
    ReadSigned<kMaxDiskCount>(*count, hw.PathOf("diskCount"), hw.errors(), out.diskCount.emplace());
  }
  {
    ObjectReader video = hw.Object("video");
    ReadVideoCard(video.Object("independent"), out.video.independent);
    ReadVideoCard(video.Object("internal"), out.video.internal);
    ObjectReader monitor = video.Object("monitor");
    monitor.Text("caption", out.video.monitor.caption);
    monitor.Text("resolution", out.video.monitor.resolution);
    monitor.Unsigned("refreshRate", out.video.monitor.refreshRate);
  }
  {
    ObjectReader audio = hw.Object("audio");
    audio.Text("name", out.audio.name);
    audio.Array("devices", [&](const json& element, const std::string& path) {
      ObjectReader device(&element, path, audio.errors());
      AudioDevice& d = out.audio.devices.emplace_back();
      device.Text("name", d.name);
      device.Text("manufacturer", d.manufacturer);
    });
  }
  {
    ObjectReader network = hw.Object("network");
    network.TextList("internalHardIds", out.network.internalHardIds);
    ReadAdapter(network.Object("wireless"), out.network.wireless);
    ReadAdapter(network.Object("wired"), out.network.wired);
    ReadAdapter(network.Object("mobile"), out.network.mobile);
    network.Bool("notSupportWireless", out.network.notSupportWireless);
  }
  {
    ObjectReader battery = hw.Object("battery");
    battery.Text("name", out.battery.name);
    battery.Unsigned("designCapacityMWh", out.battery.designCapacityMWh);
  }
  ReadNamedDevice(hw.Object("keyboard"), out.keyboard, false);
  out.hasBluetooth = hw.Find("bluetooth") != nullptr;
  ReadNamedDevice(hw.Object("bluetooth"), out.bluetooth, false);
  out.hasBiometric = hw.Find("biometric") != nullptr;
  ReadNamedDevice(hw.Object("biometric"), out.biometric, true);
}

// ---- checks --------------------------------------------------------------------------------

// RESULT: an object, or a plain number N short for {"code": N, "passed": N == 0}. In an object a
// missing "passed" also follows the code, so {"code": 3} is a failing check as one would read it.
void ReadCheck(const json& value, const std::string& path, Errors& errors, CheckResult& out) {
  if (value.is_number()) {
    ReadCode(value, path, errors, out.code);
    out.passed = out.code == 0;
    return;
  }
  if (!value.is_object()) return errors.WrongType(path, "a number or an object");
  ObjectReader result(&value, path, errors);
  result.Code("code", out.code);
  out.passed = out.code == 0;
  result.Text("messageKey", out.messageKey);
  result.Bool("passed", out.passed);
  result.Code("level", out.level);
  result.Delay("delayMs", out.delayMs);
  result.Text("throws", out.throws);
}

// A disk entry: {"code", "smart", "delayMs"}, or a plain number for the code alone.
void ReadDiskCheck(const json& value, const std::string& path, Errors& errors, DiskCheck& out) {
  if (value.is_number()) return ReadCode(value, path, errors, out.code);
  if (!value.is_object()) return errors.WrongType(path, "a number or an object");
  ObjectReader disk(&value, path, errors);
  disk.Code("code", out.code);
  disk.Delay("delayMs", out.delayMs);
  disk.Array("smart", [&](const json& element, const std::string& elementPath) {
    if (out.smart.size() == kSmartBytes) return errors.Add("'" + path + ".smart' holds more than 24 bytes");
    ReadUnsigned(element, elementPath, errors, out.smart.emplace_back());
  });
}

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

bool IsDiskPath(std::string_view path) {
  constexpr std::string_view open = "disks[";
  if (!path.starts_with(open) || !path.ends_with("]") || path.size() == open.size() + 1) return false;
  const std::string_view digits = path.substr(open.size(), path.size() - open.size() - 1);
  return digits.size() <= 9 && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsFixable(std::string_view path) { return Contains(kCheckPaths, path) || path == kDeviceReturn || IsDiskPath(path); }

// A missing "succeeded" follows the code, as "passed" does for a check.
void ReadRepair(ObjectReader repair, RepairOutcome& out) {
  repair.Code("code", out.code);
  out.succeeded = out.code == 0;
  repair.Bool("needRestart", out.needRestart);
  repair.Bool("needShutdown", out.needShutdown);
  repair.Bool("succeeded", out.succeeded);
  repair.Text("message", out.message);
  repair.Delay("delayMs", out.delayMs);
  repair.Array("fixes", [&](const json& element, const std::string& path) {
    std::string& fix = out.fixes.emplace_back();
    ReadText(element, path, repair.errors(), fix);
    if (element.is_string() && !IsFixable(fix)) repair.errors().Add("'" + path + "' names no check: '" + fix + "'");
  });
}

void ReadRepairs(ObjectReader repairs, Profile& out) {
  for (std::string_view name : kRepairNames) {
    if (const json* value = repairs.Find(name)) {
      ReadRepair(ObjectReader(value, repairs.PathOf(name), repairs.errors()), out.repairs[std::string(name)]);
    }
  }
}

// ---- log service ---------------------------------------------------------------------------

void ReadLogService(ObjectReader service, LogService& out) {
  service.Unsigned("offerUpload", out.offerUpload);
  service.Array("items", [&](const json& element, const std::string& path) {
    ObjectReader item(&element, path, service.errors());
    LogServiceItem& i = out.items.emplace_back();
    item.Signed("module", i.module);
    item.Text("name", i.name);
  });
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
