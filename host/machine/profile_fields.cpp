#include "machine/profile_fields.h"

#include <algorithm>
#include <optional>
#include <type_traits>

#include "platform/encoding.h"

namespace host::machine {
namespace profile {
namespace {

using nlohmann::ordered_json;

constexpr uint32_t kMaxDpi = 960;
constexpr int32_t kMaxDiskCount = 64;
constexpr size_t kSmartBytes = 24;  // a hard disk's record; a solid-state one uses the first 22

// One key of a profile object: how to read it into S and how to print it from S.
template <class S>
struct Field {
  std::string_view key;
  void (*read)(ObjectReader& object, std::string_view key, S& out);
  void (*print)(const S& in, std::string_view key, ordered_json& object);
};

template <class S, size_t N>
void ReadFields(ObjectReader& object, const Field<S> (&fields)[N], S& out) {
  for (const Field<S>& field : fields) field.read(object, field.key, out);
}

template <class S, size_t N>
ordered_json FieldsJson(const Field<S> (&fields)[N], const S& in) {
  ordered_json object = ordered_json::object();
  for (const Field<S>& field : fields) field.print(in, field.key, object);
  return object;
}

// ---- the kinds of field ------------------------------------------------------------------------

template <class M>
struct MemberOf;
template <class S, class T>
struct MemberOf<T S::*> {
  using Struct = S;
  using Type = T;
};
template <class T>
struct Unwrapped {
  using Type = T;
};
template <class T>
struct Unwrapped<std::optional<T>> {
  using Type = T;
};
template <auto member>
using StructOf = typename MemberOf<decltype(member)>::Struct;
// The value a key holds: an optional member holds it once the key is there.
template <auto member>
using ValueOf = typename Unwrapped<typename MemberOf<decltype(member)>::Type>::Type;

template <class T>
using ValueReader = void (*)(const json&, const std::string&, Errors&, T&);

template <class T>
constexpr ValueReader<T> DefaultReader() {
  if constexpr (std::is_same_v<T, bool>) {
    return ReadBool;
  } else if constexpr (std::is_same_v<T, int32_t>) {
    return ReadSigned<>;
  } else if constexpr (std::is_unsigned_v<T>) {
    return ReadUnsigned<T>;
  } else if constexpr (std::is_same_v<T, std::vector<std::u16string>>) {
    return ReadTextList;
  } else {
    return ReadText;
  }
}

template <class T>
T& Slot(T& value) {
  return value;
}
template <class T>
T& Slot(std::optional<T>& value) {
  return value.emplace();
}

ordered_json ToJson(const std::u16string& text) { return platform::Utf16ToUtf8(text); }
ordered_json ToJson(const std::vector<std::u16string>& texts) {
  ordered_json list = ordered_json::array();
  for (const auto& text : texts) list.push_back(ToJson(text));
  return list;
}
template <class T>
ordered_json ToJson(const T& value) {
  return value;
}

template <class T>
void Print(const T& value, std::string_view key, ordered_json& object) {
  object[std::string(key)] = ToJson(value);
}
template <class T>
void Print(const std::optional<T>& value, std::string_view key, ordered_json& object) {
  if (value) object[std::string(key)] = ToJson(*value);
}

// A plain value; printed always, or (printWhenEmpty false) only when it holds something.
template <auto member, ValueReader<ValueOf<member>> read = DefaultReader<ValueOf<member>>(), bool printWhenEmpty = true>
constexpr Field<StructOf<member>> Value(std::string_view key) {
  using S = StructOf<member>;
  return {key,
          [](ObjectReader& object, std::string_view key, S& out) {
            if (const json* value = object.Find(key)) read(*value, object.PathOf(key), object.errors(), Slot(out.*member));
          },
          [](const S& in, std::string_view key, ordered_json& object) {
            if constexpr (!printWhenEmpty) {
              if ((in.*member).empty()) return;
            }
            Print(in.*member, key, object);
          }};
}

template <auto member>
void PrintMember(const StructOf<member>& in, std::string_view key, ordered_json& object) {
  Print(in.*member, key, object);
}

template <class S>
void NothingMore(ObjectReader&, S&) {}

// A member that is an object of its own; `finish` fills what depends on several of its keys.
template <auto member, const auto& fields, auto finish = NothingMore<typename MemberOf<decltype(member)>::Type>>
constexpr Field<StructOf<member>> Object(std::string_view key) {
  using S = StructOf<member>;
  return {key,
          [](ObjectReader& object, std::string_view key, S& out) {
            ObjectReader nested = object.Object(key);
            ReadFields(nested, fields, out.*member);
            finish(nested, out.*member);
          },
          [](const S& in, std::string_view key, ordered_json& object) {
            object[std::string(key)] = FieldsJson(fields, in.*member);
          }};
}

// An object of the profile whose keys are members of the enclosing struct.
template <class S, const auto& fields>
constexpr Field<S> Group(std::string_view key) {
  return {key,
          [](ObjectReader& object, std::string_view key, S& out) {
            ObjectReader nested = object.Object(key);
            ReadFields(nested, fields, out);
          },
          [](const S& in, std::string_view key, ordered_json& object) { object[std::string(key)] = FieldsJson(fields, in); }};
}

// A device that the machine has when its key is there.
template <auto member, auto present, const auto& fields>
constexpr Field<StructOf<member>> Device(std::string_view key) {
  using S = StructOf<member>;
  return {key,
          [](ObjectReader& object, std::string_view key, S& out) {
            out.*present = object.Find(key) != nullptr;
            ObjectReader nested = object.Object(key);
            ReadFields(nested, fields, out.*member);
          },
          [](const S& in, std::string_view key, ordered_json& object) {
            if (in.*present) object[std::string(key)] = FieldsJson(fields, in.*member);
          }};
}

// An array of objects.
template <auto member, const auto& fields>
constexpr Field<StructOf<member>> List(std::string_view key) {
  using S = StructOf<member>;
  return {key,
          [](ObjectReader& object, std::string_view key, S& out) {
            object.Array(key, [&](const json& element, const std::string& path) {
              ObjectReader item(&element, path, object.errors());
              ReadFields(item, fields, (out.*member).emplace_back());
            });
          },
          [](const S& in, std::string_view key, ordered_json& object) {
            ordered_json list = ordered_json::array();
            for (const auto& element : in.*member) list.push_back(FieldsJson(fields, element));
            object[std::string(key)] = list;
          }};
}

// ---- fields that read in a way of their own ---------------------------------------------------

void ReadFeatures(ObjectReader& host, std::string_view key, HostFacts& out) {
  const json* features = host.Find(key);
  if (!features) return;
  ObjectReader names(features, host.PathOf(key), host.errors());
  if (!names.Present() || !FewEnough(*features, host.PathOf(key), host.errors())) return;
  for (const auto& item : features->items()) {
    if (item.key().size() > kMaxTextBytes) {
      return host.errors().Add("'" + names.PathOf(item.key()) + "' is longer than " + std::to_string(kMaxTextBytes) +
                               " bytes");
    }
    if (const json* on = names.Find(item.key())) ReadBool(*on, names.PathOf(item.key()), host.errors(), out.features[item.key()]);
  }
}

void PrintFeatures(const HostFacts& in, std::string_view key, ordered_json& object) {
  object[std::string(key)] = in.features;
}

void ReadSmart(ObjectReader& disk, std::string_view key, DiskCheck& out) {
  disk.Array(key, [&](const json& element, const std::string& path) {
    if (out.smart.size() == kSmartBytes) {
      return disk.errors().Add("'" + disk.PathOf(key) + "' holds more than " + std::to_string(kSmartBytes) + " bytes");
    }
    ReadUnsigned(element, path, disk.errors(), out.smart.emplace_back());
  });
}

bool IsDiskPath(std::string_view path) {
  constexpr std::string_view open = "disks[";
  if (!path.starts_with(open) || !path.ends_with("]") || path.size() == open.size() + 1) return false;
  const std::string_view digits = path.substr(open.size(), path.size() - open.size() - 1);
  return digits.size() <= 9 && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsFixable(std::string_view path) {
  const auto checks = CheckPaths();
  return std::find(checks.begin(), checks.end(), path) != checks.end() || path == "video.deviceReturn" ||
         IsDiskPath(path);
}

void ReadFixes(ObjectReader& repair, std::string_view key, RepairOutcome& out) {
  repair.Array(key, [&](const json& element, const std::string& path) {
    std::string& fix = out.fixes.emplace_back();
    ReadText(element, path, repair.errors(), fix);
    if (element.is_string() && !IsFixable(fix)) repair.errors().Add("'" + path + "' names no check: '" + fix + "'");
  });
}

// Saturated: modules too large to add up make the largest total there is, never a small one.
uint64_t SumOfModulesMB(const std::vector<MemoryModule>& modules) {
  uint64_t total = 0;
  for (const MemoryModule& module : modules) {
    total = module.capacityMB > UINT64_MAX - total ? UINT64_MAX : total + module.capacityMB;
  }
  return total;
}

// Without a total the modules make it, as the firmware's table does on a running machine.
void TotalOfModules(ObjectReader& memory, Memory& out) {
  if (memory.Find("totalMB") == nullptr) out.totalMB = SumOfModulesMB(out.modules);
}

// ---- the tables --------------------------------------------------------------------------------

constexpr Field<HostFacts> kFingerprintFields[] = {
    Value<&HostFacts::fingerprintStatus>("status"),
    Value<&HostFacts::fingerprintPresent>("present"),
};
constexpr Field<HostFacts> kHostFields[] = {
    Value<&HostFacts::userLanguage>("userLanguage"),
    Value<&HostFacts::dpi, ReadUnsigned<uint32_t, kMaxDpi>>("dpi"),
    Value<&HostFacts::rightToLeft>("rightToLeft"),
    {"features", ReadFeatures, PrintFeatures},
    Group<HostFacts, kFingerprintFields>("fingerprint"),
};

constexpr Field<Cpu> kCpuFields[] = {
    Value<&Cpu::name>("name"),       Value<&Cpu::manufacturer>("manufacturer"), Value<&Cpu::cores>("cores"),
    Value<&Cpu::threads>("threads"), Value<&Cpu::extClockMHz>("extClockMHz"),   Value<&Cpu::l1KB>("l1KB"),
    Value<&Cpu::l2KB>("l2KB"),       Value<&Cpu::l3KB>("l3KB"),
};
constexpr Field<Baseboard> kBaseboardFields[] = {
    Value<&Baseboard::product>("product"),
    Value<&Baseboard::manufacturer>("manufacturer"),
    Value<&Baseboard::version>("version"),
    Value<&Baseboard::serialNumber>("serialNumber"),
};
constexpr Field<MemoryModule> kModuleFields[] = {
    Value<&MemoryModule::capacityMB>("capacityMB"), Value<&MemoryModule::speedMHz>("speedMHz"),
    Value<&MemoryModule::locator>("locator"),       Value<&MemoryModule::partNumber>("partNumber"),
    Value<&MemoryModule::manufacturer>("manufacturer"),
};
constexpr Field<Memory> kMemoryFields[] = {
    Value<&Memory::totalMB>("totalMB"),
    List<&Memory::modules, kModuleFields>("modules"),
};
constexpr Field<Disk> kDiskFields[] = {
    Value<&Disk::caption>("caption"),
    Value<&Disk::firmware>("firmware"),
    Value<&Disk::capacityGB>("capacityGB"),
    Value<&Disk::ssd>("ssd"),
};
constexpr Field<VideoCard> kVideoCardFields[] = {
    Value<&VideoCard::name>("name"),
    Value<&VideoCard::driverVersion>("driverVersion"),
    Value<&VideoCard::driverDate>("driverDate"),
    Value<&VideoCard::memoryMB>("memoryMB"),
};
constexpr Field<Monitor> kMonitorFields[] = {
    Value<&Monitor::caption>("caption"),
    Value<&Monitor::resolution>("resolution"),
    Value<&Monitor::refreshRate>("refreshRate"),
};
constexpr Field<Video> kVideoFields[] = {
    Object<&Video::independent, kVideoCardFields>("independent"),
    Object<&Video::internal, kVideoCardFields>("internal"),
    Object<&Video::monitor, kMonitorFields>("monitor"),
};
constexpr Field<AudioDevice> kAudioDeviceFields[] = {
    Value<&AudioDevice::name>("name"),
    Value<&AudioDevice::manufacturer>("manufacturer"),
};
constexpr Field<Audio> kAudioFields[] = {
    Value<&Audio::name>("name"),
    List<&Audio::devices, kAudioDeviceFields>("devices"),
};
constexpr Field<NetworkAdapter> kAdapterFields[] = {
    Value<&NetworkAdapter::hardIds>("hardIds"),
    Value<&NetworkAdapter::caption>("caption"),
    Value<&NetworkAdapter::manufacturer>("manufacturer"),
};
constexpr Field<Network> kNetworkFields[] = {
    Value<&Network::internalHardIds>("internalHardIds"),
    Object<&Network::wireless, kAdapterFields>("wireless"),
    Object<&Network::wired, kAdapterFields>("wired"),
    Object<&Network::mobile, kAdapterFields>("mobile"),
    Value<&Network::notSupportWireless>("notSupportWireless"),
};
constexpr Field<Battery> kBatteryFields[] = {
    Value<&Battery::name>("name"),
    Value<&Battery::designCapacityMWh>("designCapacityMWh"),
};
constexpr Field<NamedDevice> kNameFields[] = {
    Value<&NamedDevice::name>("name"),
};
constexpr Field<NamedDevice> kNameAndMakerFields[] = {
    Value<&NamedDevice::name>("name"),
    Value<&NamedDevice::manufacturer>("manufacturer"),
};
constexpr Field<Hardware> kHardwareFields[] = {
    Object<&Hardware::cpu, kCpuFields>("cpu"),
    Object<&Hardware::baseboard, kBaseboardFields>("baseboard"),
    Object<&Hardware::memory, kMemoryFields, TotalOfModules>("memory"),
    List<&Hardware::disks, kDiskFields>("disks"),
    Value<&Hardware::diskCount, ReadSigned<kMaxDiskCount>>("diskCount"),
    Object<&Hardware::video, kVideoFields>("video"),
    Object<&Hardware::audio, kAudioFields>("audio"),
    Object<&Hardware::network, kNetworkFields>("network"),
    Object<&Hardware::battery, kBatteryFields>("battery"),
    Object<&Hardware::keyboard, kNameFields>("keyboard"),
    Device<&Hardware::bluetooth, &Hardware::hasBluetooth, kNameFields>("bluetooth"),
    Device<&Hardware::biometric, &Hardware::hasBiometric, kNameAndMakerFields>("biometric"),
};

constexpr Field<CheckResult> kCheckFields[] = {
    Value<&CheckResult::code, ReadCode>("code"),
    Value<&CheckResult::messageKey>("messageKey"),
    Value<&CheckResult::passed>("passed"),
    Value<&CheckResult::level, ReadCode>("level"),
    Value<&CheckResult::delayMs, ReadDelay>("delayMs"),
    Value<&CheckResult::throws, ReadText, false>("throws"),
};
constexpr Field<DiskCheck> kDiskCheckFields[] = {
    Value<&DiskCheck::code, ReadCode>("code"),
    {"smart", ReadSmart, PrintMember<&DiskCheck::smart>},
    Value<&DiskCheck::delayMs, ReadDelay>("delayMs"),
};
constexpr Field<RepairOutcome> kRepairFields[] = {
    Value<&RepairOutcome::code, ReadCode>("code"),
    Value<&RepairOutcome::needRestart>("needRestart"),
    Value<&RepairOutcome::needShutdown>("needShutdown"),
    Value<&RepairOutcome::succeeded>("succeeded"),
    Value<&RepairOutcome::message>("message"),
    Value<&RepairOutcome::delayMs, ReadDelay>("delayMs"),
    {"fixes", ReadFixes, PrintMember<&RepairOutcome::fixes>},
};
constexpr Field<LogServiceItem> kLogItemFields[] = {
    Value<&LogServiceItem::module>("module"),
    Value<&LogServiceItem::name>("name"),
};
constexpr Field<LogService> kLogServiceFields[] = {
    Value<&LogService::offerUpload>("offerUpload"),
    List<&LogService::items, kLogItemFields>("items"),
};

}  // namespace

void ReadHost(ObjectReader host, HostFacts& out) { ReadFields(host, kHostFields, out); }

void ReadHardware(ObjectReader hardware, Hardware& out) { ReadFields(hardware, kHardwareFields, out); }

// In an object a missing "passed" follows the code, so {"code": 3} is a failing check as one
// would read it.
void ReadCheck(const json& value, const std::string& path, Errors& errors, CheckResult& out) {
  if (value.is_number()) {
    ReadCode(value, path, errors, out.code);
    out.passed = out.code == 0;
    return;
  }
  if (!value.is_object()) return errors.WrongType(path, "a number or an object");
  ObjectReader result(&value, path, errors);
  ReadFields(result, kCheckFields, out);
  if (result.Find("passed") == nullptr) out.passed = out.code == 0;
}

void ReadDiskCheck(const json& value, const std::string& path, Errors& errors, DiskCheck& out) {
  if (value.is_number()) return ReadCode(value, path, errors, out.code);
  if (!value.is_object()) return errors.WrongType(path, "a number or an object");
  ObjectReader disk(&value, path, errors);
  ReadFields(disk, kDiskCheckFields, out);
}

// A missing "succeeded" follows the code, as "passed" does for a check.
void ReadRepair(ObjectReader repair, RepairOutcome& out) {
  ReadFields(repair, kRepairFields, out);
  if (repair.Find("succeeded") == nullptr) out.succeeded = out.code == 0;
}

void ReadLogService(ObjectReader service, LogService& out) { ReadFields(service, kLogServiceFields, out); }

}  // namespace profile

namespace {

using nlohmann::ordered_json;

// "wifi.switch" -> "/wifi/switch"
ordered_json::json_pointer Pointer(std::string_view path) {
  std::string pointer = "/" + std::string(path);
  std::replace(pointer.begin(), pointer.end(), '.', '/');
  return ordered_json::json_pointer(pointer);
}

template <class Outcome>
const Outcome& OutcomeOf(const std::map<std::string, Outcome>& outcomes, std::string_view name) {
  static const Outcome missing{};
  const auto it = outcomes.find(std::string(name));
  return it == outcomes.end() ? missing : it->second;
}

ordered_json ChecksJson(const Profile& profile) {
  ordered_json checks = ordered_json::object();
  for (std::string_view flag : FlagPaths()) checks[Pointer(flag)] = profile.flags.at(std::string(flag));
  for (std::string_view path : CheckPaths()) {
    checks[Pointer(path)] = profile::FieldsJson(profile::kCheckFields, OutcomeOf(profile.checks, path));
  }
  checks["video"]["deviceReturn"] = profile.videoDeviceReturn;
  ordered_json disks = ordered_json::array();
  for (const DiskCheck& disk : profile.disks) disks.push_back(profile::FieldsJson(profile::kDiskCheckFields, disk));
  checks["disks"] = disks;
  return checks;
}

ordered_json RepairsJson(const Profile& profile) {
  ordered_json repairs = ordered_json::object();
  for (std::string_view name : RepairNames()) {
    repairs[std::string(name)] = profile::FieldsJson(profile::kRepairFields, OutcomeOf(profile.repairs, name));
  }
  return repairs;
}

}  // namespace

ordered_json HostJson(const HostFacts& host) { return profile::FieldsJson(profile::kHostFields, host); }

ordered_json HardwareJson(const Hardware& hardware) { return profile::FieldsJson(profile::kHardwareFields, hardware); }

ordered_json ProfileJson(const Profile& profile) {
  return {{"host", HostJson(profile.host)},
          {"hardware", HardwareJson(profile.hardware)},
          {"checks", ChecksJson(profile)},
          {"repairs", RepairsJson(profile)},
          {"logService", profile::FieldsJson(profile::kLogServiceFields, profile.logService)}};
}

}  // namespace host::machine
