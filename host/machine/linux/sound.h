#pragma once
// Sound through alsa-lib: the card that plays (from procfs), its mixer's mute switches and volumes,
// and a test tone played on the default device and listened for on the default capture device.
// The configuration is the places' own: alsa-lib's global one, or a file used instead of it (a
// recorded tree's etc/asound.conf, a test's), so that a recorded machine never reaches this
// machine's sound cards. Any thread may call these; each call has its own handles.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "machine/linux/presence_checks.h"
#include "machine/linux/source_places.h"

namespace host::machine::linuxhost {

class SysfsRoot;


// False when the places name a configuration file that is not there.
bool HasSoundConfiguration(const SourcePlaces& places);

// The control device of the playback card's mixer: "hw:N" under alsa-lib's own configuration,
// "default" as a configuration file defines it; empty when there is none.
std::string MixerDevice(const SourcePlaces& places, const std::optional<PlaybackCard>& card);

// Whether the mixer lets sound out: Master and PCM carry every output, while the speaker and the
// headphones are alternatives (a sound server mutes the one not in use), so only both silent
// silence the card.
enum class MixerState { Audible, Muted, ZeroVolume, Unreadable };
struct MixerReading {
  MixerState state = MixerState::Unreadable;
  std::vector<std::string> silent;  // the controls that silence it: "Master", "Speaker", ...
};
MixerReading ReadMixer(const SourcePlaces& places, const std::string& device);

enum class MixerChange { Changed, NothingToChange, NoMixer, NotPermitted, Failed };
// Switches on and raises the controls that ReadMixer finds silent; changes nothing unless it may
// change all of them.
MixerChange UnmuteAndRaise(const SourcePlaces& places, const std::string& device);

// The loop-back's stream on both devices: signed 16-bit little-endian, mono, this rate.
inline constexpr unsigned kLoopBackRate = 48000;
inline constexpr unsigned kToneHz = 1000;
inline constexpr char kLoopBackDevice[] = "default";

enum class LoopBack { Heard, NotHeard, NoConfiguration, NoPlayback, NoCapture, Busy, Refused };
// Plays the test tone while recording and listens for it; ends within about 1.5 s even when a
// device stalls (Refused then).
LoopBack PlayToneAndListen(const SourcePlaces& places);

}  // namespace host::machine::linuxhost
