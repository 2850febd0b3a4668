#pragma once
// Filter Keys on Linux: the desktop's Slow Keys and Bounce Keys, read where the user's desktop keeps
// them (GNOME's settings, KDE's kaccessrc, the X server's AccessX controls) and turned off there.
#include <string>
#include <vector>

#include "machine/linux/linux_checks.h"

namespace host::machine::linuxhost {

// What one place says about Slow Keys and Bounce Keys.
struct FilterKeysSetting {
  enum class State { CannotAnswer, Off, On };
  State state = State::CannotAnswer;
  bool slowKeys = false, bounceKeys = false;
  std::string where;  // the place read ("KDE kaccessrc"), or why it cannot answer
};

// Whether a place may be changed, asked before anything is.
enum class FilterKeysWritable { Yes, NeedsSession, NotPermitted };

// Every place, GNOME, KDE and X in this order.
struct FilterKeysReading {
  std::vector<FilterKeysSetting> places;

  bool AnyOn() const;
  bool AnyAnswered() const;
  // The places that answered, or why none could.
  std::string Where() const;
};

FilterKeysReading ReadFilterKeys(const SourcePlaces& places);

enum class FilterKeysChange { TurnedOff, NothingOn, NeedsSession, NotPermitted, Failed };

// Turns them off in every place that has them on, once every such place may be changed; otherwise
// changes nothing.
FilterKeysChange TurnOffFilterKeys(const SourcePlaces& places);

// The library's check and repair: Filter Keys on anywhere is a notice (level 1, code -6); no place
// that can answer is "not checked".
CheckResult FilterKeysCheck(const CheckContext& context);
Applicability FilterKeysHere(const CheckContext& context);
RepairOutcome CloseFilterKeys(const CheckContext& context);

}  // namespace host::machine::linuxhost
