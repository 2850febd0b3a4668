#include "machine/linux/keyboard_settings.h"

#include <algorithm>

#include "machine/linux/gnome_filter_keys.h"
#include "machine/linux/kde_filter_keys.h"
#include "machine/linux/source_places.h"
#include "machine/linux/xkb_filter_keys.h"

namespace host::machine::linuxhost {
namespace {

struct FilterKeysPlace {
  FilterKeysSetting (*read)(const SourcePlaces&);
  FilterKeysWritable (*writable)(const SourcePlaces&);
  bool (*turnOff)(const SourcePlaces&, const FilterKeysSetting& on);
};

constexpr FilterKeysPlace kPlaces[] = {
    {ReadGnomeFilterKeys, GnomeFilterKeysWritable, TurnOffGnomeFilterKeys},
    {ReadKdeFilterKeys, KdeFilterKeysWritable, TurnOffKdeFilterKeys},
    {ReadXkbFilterKeys, XkbFilterKeysWritable, TurnOffXkbFilterKeys},
};

bool IsOn(const FilterKeysSetting& s) { return s.state == FilterKeysSetting::State::On; }

// The code the library gives Filter Keys found on.
constexpr uint32_t kFilterKeysOn = static_cast<uint32_t>(-6);

FilterKeysChange Refusal(FilterKeysWritable why) {
  return why == FilterKeysWritable::NeedsSession ? FilterKeysChange::NeedsSession : FilterKeysChange::NotPermitted;
}

}  // namespace

bool FilterKeysReading::AnyOn() const { return std::any_of(places.begin(), places.end(), IsOn); }

bool FilterKeysReading::AnyAnswered() const {
  return std::any_of(places.begin(), places.end(),
                     [](const FilterKeysSetting& s) { return s.state != FilterKeysSetting::State::CannotAnswer; });
}

std::string FilterKeysReading::Where() const {
  const bool answered = AnyAnswered();
  std::string text;
  for (const FilterKeysSetting& s : places) {
    if (answered && s.state == FilterKeysSetting::State::CannotAnswer) continue;
    text += (text.empty() ? "" : "; ") + s.where;
  }
  return text;
}

FilterKeysReading ReadFilterKeys(const SourcePlaces& places) {
  FilterKeysReading reading;
  for (const FilterKeysPlace& place : kPlaces) reading.places.push_back(place.read(places));
  return reading;
}

FilterKeysChange TurnOffFilterKeys(const SourcePlaces& places) {
  const FilterKeysReading before = ReadFilterKeys(places);
  if (!before.AnyOn()) return FilterKeysChange::NothingOn;
  for (size_t i = 0; i < std::size(kPlaces); ++i) {
    if (!IsOn(before.places[i])) continue;
    if (const auto writable = kPlaces[i].writable(places); writable != FilterKeysWritable::Yes)
      return Refusal(writable);
  }
  bool written = true;
  for (size_t i = 0; i < std::size(kPlaces); ++i) {
    if (IsOn(before.places[i])) written = kPlaces[i].turnOff(places, before.places[i]) && written;
  }
  // A place may take a write and keep its value (a locked key, a service that refused it).
  return written && !ReadFilterKeys(places).AnyOn() ? FilterKeysChange::TurnedOff : FilterKeysChange::Failed;
}

CheckResult FilterKeysCheck(const CheckContext& context) {
  const FilterKeysReading reading = ReadFilterKeys(context.places);
  if (!reading.AnyAnswered()) return NotChecked(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_KEYBOARD_SETTINGS");
  CheckResult result;
  if (reading.AnyOn()) {
    result.code = kFilterKeysOn;
    result.messageKey = u"IDS_HARDWARE_DIAGNOSE_FILTER_OPEN";
    result.passed = false;
    result.level = 1;
  }
  return result;
}

Applicability FilterKeysHere(const CheckContext& context) {
  const FilterKeysReading reading = ReadFilterKeys(context.places);
  return {reading.AnyAnswered() ? Applicability::Kind::Runs : Applicability::Kind::CannotRun, reading.Where()};
}

RepairOutcome CloseFilterKeys(const CheckContext& context) {
  switch (TurnOffFilterKeys(context.places)) {
    case FilterKeysChange::TurnedOff:
    case FilterKeysChange::NothingOn: return RepairDone();
    case FilterKeysChange::NeedsSession:
      return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_NEEDS_SESSION");
    case FilterKeysChange::NotPermitted:
      return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_NOT_PERMITTED");
    case FilterKeysChange::Failed:
      break;
  }
  return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_SETTING_FAIL");
}

}  // namespace host::machine::linuxhost
