#pragma once
// The presence checks a scan asks (is there a graphics card, a sound card that plays): they read
// only the machine's files, so they are answered without loading the checks' library.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "machine/linux/linux_checks.h"

namespace host::machine::linuxhost {

class SysfsRoot;

// The first sound card with a playback device (/proc/asound/pcm, named by /proc/asound/cards).
struct PlaybackCard {
  uint32_t index = 0;
  std::string name;        // "HDA Intel PCH"
  bool canRecord = false;  // some card has a capture device
};
std::optional<PlaybackCard> FindPlaybackCard(const SysfsRoot& root);

// A failed check's result.
CheckResult Failed(uint32_t code, std::u16string messageKey, uint32_t level = 0);
// Passed when present, else failed with code 1 and `absentKey`.
CheckResult Presence(bool present, std::u16string absentKey);

CheckResult GraphicsPresent(const CheckContext& c);
// A sound controller without its driver has no card at all: the driver fault, not an absence.
CheckResult AudioPresent(const CheckContext& c);

// The check of `path` when it is one of those above, else null.
using FileOnlyCheck = CheckResult (*)(const CheckContext& c);
FileOnlyCheck FileOnlyCheckOf(std::string_view path);

}  // namespace host::machine::linuxhost
