#include "machine/linux/sound.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <numbers>
#include <optional>
#include <span>
#include <string_view>

#include "machine/linux/proc_parsers.h"
#include "machine/linux/sysfs_root.h"
#include "machine/warnings.h"

namespace host::machine::linuxhost {
namespace {

// ---- alsa-lib's own messages --------------------------------------------------------------------

// alsa-lib prints its errors on stderr unless told otherwise; expected failures (no such device,
// a card that is busy) belong in the log, each said once.
__attribute__((format(printf, 5, 6))) void LogAlsaError(const char* file, int line, const char* function, int error,
                                                        const char* format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  std::string message = std::string("alsa-lib: ") + text;
  if (error != 0) message += std::string(": ") + snd_strerror(error);
  message += " (" + std::string(file != nullptr ? file : "?") + ":" + std::to_string(line) + " " +
             (function != nullptr ? function : "?") + ")";
  WarnOnce(message);
}

void RouteAlsaErrorsToLog() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(LogAlsaError); });
}

// ---- one question's configuration and handles ---------------------------------------------------

// The places' configuration for one question: a file's own tree (loaded as a local configuration,
// so alsa-lib's global one, and this machine's cards, never enter), or a reference to alsa-lib's
// global tree. Handles opened with it are closed before it goes.
class Configuration {
 public:
  explicit Configuration(const SourcePlaces& places) {
    RouteAlsaErrorsToLog();
    if (places.alsaConfig.empty()) {
      if (snd_config_update_ref(&tree_) < 0) tree_ = nullptr;
      global_ = true;
    } else if (HasSoundConfiguration(places)) {
      tree_ = LoadFile(places.alsaConfig);
    }
  }
  ~Configuration() {
    if (tree_ == nullptr) return;
    if (global_) {
      snd_config_unref(tree_);
    } else {
      snd_config_delete(tree_);
    }
  }
  Configuration(const Configuration&) = delete;
  Configuration& operator=(const Configuration&) = delete;

  snd_config_t* tree() const { return tree_; }

 private:
  static snd_config_t* LoadFile(const std::string& path) {
    snd_input_t* input = nullptr;
    snd_config_t* tree = nullptr;
    int error = snd_input_stdio_open(&input, path.c_str(), "r");
    if (error >= 0) error = snd_config_top(&tree);
    if (error >= 0) error = snd_config_load(tree, input);
    if (input != nullptr) snd_input_close(input);
    if (error >= 0) return tree;
    if (tree != nullptr) snd_config_delete(tree);
    WarnOnce("the sound configuration " + path + " cannot be read: " + snd_strerror(error));
    return nullptr;
  }

  snd_config_t* tree_ = nullptr;
  bool global_ = false;
};

struct ClosePcm {
  void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
struct CloseMixer {
  void operator()(snd_mixer_t* mixer) const { snd_mixer_close(mixer); }
};
using Pcm = std::unique_ptr<snd_pcm_t, ClosePcm>;
using Mixer = std::unique_ptr<snd_mixer_t, CloseMixer>;

// Why a device could not be used: not there (or none of that direction defined), in use, not ours
// to open, or opened but not willing to take the test's stream.
enum class OpenFailure { None, Absent, Busy, NotPermitted, Unusable };

OpenFailure FailureOf(int error) {
  switch (-error) {
    case 0: return OpenFailure::None;
    case EBUSY:
    case EAGAIN: return OpenFailure::Busy;
    case EACCES:
    case EPERM: return OpenFailure::NotPermitted;
    default: return OpenFailure::Absent;  // no such device, or none of this direction defined
  }
}

// ---- procfs ---------------------------------------------------------------------------------------

// "00-00: ALC3246 Analog : ALC3246 Analog : playback 1 : capture 1"
// ---- the mixer ------------------------------------------------------------------------------------

// The playback controls between the card and the ears: Master and PCM on every output's path; the
// speaker and the headphones each one way out.
enum class Role { OnThePath, OneWayOut };
struct PlaybackControl {
  std::string_view name;
  Role role;
};
constexpr PlaybackControl kPlaybackControls[] = {
    {"Master", Role::OnThePath},
    {"PCM", Role::OnThePath},
    {"Speaker", Role::OneWayOut},
    {"Headphone", Role::OneWayOut},
};

const PlaybackControl* PlaybackControlNamed(std::string_view name) {
  for (const PlaybackControl& control : kPlaybackControls) {
    if (control.name == name) return &control;
  }
  return nullptr;
}

template <typename Predicate>
bool EveryChannel(snd_mixer_elem_t* element, Predicate predicate) {
  bool any = false;
  for (int channel = 0; channel <= SND_MIXER_SCHN_LAST; ++channel) {
    const auto id = static_cast<snd_mixer_selem_channel_id_t>(channel);
    if (!snd_mixer_selem_has_playback_channel(element, id)) continue;
    if (!predicate(id)) return false;
    any = true;
  }
  return any;
}

bool SwitchedOff(snd_mixer_elem_t* element) {
  if (!snd_mixer_selem_has_playback_switch(element)) return false;
  return EveryChannel(element, [&](snd_mixer_selem_channel_id_t channel) {
    int on = 1;
    return snd_mixer_selem_get_playback_switch(element, channel, &on) >= 0 && on == 0;
  });
}

bool TurnedDown(snd_mixer_elem_t* element) {
  long minimum = 0, maximum = 0;
  if (!snd_mixer_selem_has_playback_volume(element) ||
      snd_mixer_selem_get_playback_volume_range(element, &minimum, &maximum) < 0 || minimum >= maximum) {
    return false;
  }
  return EveryChannel(element, [&](snd_mixer_selem_channel_id_t channel) {
    long volume = maximum;
    return snd_mixer_selem_get_playback_volume(element, channel, &volume) >= 0 && volume <= minimum;
  });
}

struct SilentControl {
  snd_mixer_elem_t* element;
  std::string name;
  bool switchedOff, turnedDown;
};

std::vector<SilentControl> SilentControls(snd_mixer_t* mixer) {
  std::vector<SilentControl> silent, silentWaysOut;
  bool aWayOutSounds = false;
  for (snd_mixer_elem_t* element = snd_mixer_first_elem(mixer); element != nullptr;
       element = snd_mixer_elem_next(element)) {
    const PlaybackControl* control = PlaybackControlNamed(snd_mixer_selem_get_name(element));
    if (control == nullptr || !snd_mixer_selem_is_active(element)) continue;
    const SilentControl judged{element, std::string(control->name), SwitchedOff(element), TurnedDown(element)};
    const bool isSilent = judged.switchedOff || judged.turnedDown;
    if (control->role == Role::OnThePath) {
      if (isSilent) silent.push_back(judged);
    } else if (isSilent) {
      silentWaysOut.push_back(judged);
    } else {
      aWayOutSounds = true;
    }
  }
  if (!aWayOutSounds) silent.insert(silent.end(), silentWaysOut.begin(), silentWaysOut.end());
  return silent;
}

struct OpenedMixer {
  Mixer mixer;
  snd_hctl_t* hctl = nullptr;  // owned by the mixer
  int error = 0;
};

OpenedMixer OpenMixer(snd_config_t* tree, const std::string& device) {
  OpenedMixer opened;
  snd_ctl_t* ctl = nullptr;
  if ((opened.error = snd_ctl_open_lconf(&ctl, device.c_str(), 0, tree)) < 0) return opened;
  snd_hctl_t* hctl = nullptr;
  if ((opened.error = snd_hctl_open_ctl(&hctl, ctl)) < 0) {
    snd_ctl_close(ctl);
    return opened;
  }
  snd_mixer_t* mixer = nullptr;
  if ((opened.error = snd_mixer_open(&mixer, 0)) < 0) {
    snd_hctl_close(hctl);
    return opened;
  }
  Mixer owned(mixer);
  // Attached, the control device is the mixer's (and non-blocking): closing the mixer closes it.
  if ((opened.error = snd_mixer_attach_hctl(mixer, hctl)) < 0 ||
      (opened.error = snd_mixer_selem_register(mixer, nullptr, nullptr)) < 0 ||
      (opened.error = snd_mixer_load(mixer)) < 0) {
    return opened;
  }
  opened.mixer = std::move(owned);
  opened.hctl = hctl;
  return opened;
}

// A repair changes all of the silent controls or none of them.
bool AllWritable(snd_hctl_t* hctl, const std::vector<SilentControl>& silent) {
  snd_ctl_elem_info_t* info = nullptr;
  snd_ctl_elem_info_alloca(&info);
  for (snd_hctl_elem_t* element = snd_hctl_first_elem(hctl); element != nullptr;
       element = snd_hctl_elem_next(element)) {
    const std::string_view name = snd_hctl_elem_get_name(element);
    for (const SilentControl& control : silent) {
      if (!name.starts_with(control.name + " ") || name.find("Playback") == std::string_view::npos) continue;
      if (snd_hctl_elem_info(element, info) < 0 || !snd_ctl_elem_info_is_writable(info)) return false;
    }
  }
  return true;
}

// About two thirds of the control's range: clearly audible on speakers without the blast of full
// scale (on a control spread evenly over -64..0 dB that is near -20 dB).
long AudibleVolume(long minimum, long maximum) { return minimum + (maximum - minimum) * 2 / 3; }

int SwitchOnAndRaise(const SilentControl& control) {
  int error = 0;
  if (control.switchedOff) error = snd_mixer_selem_set_playback_switch_all(control.element, 1);
  long minimum = 0, maximum = 0;
  if (error >= 0 && control.turnedDown &&
      (error = snd_mixer_selem_get_playback_volume_range(control.element, &minimum, &maximum)) >= 0) {
    error = snd_mixer_selem_set_playback_volume_all(control.element, AudibleVolume(minimum, maximum));
  }
  return error;
}

// ---- the loop-back --------------------------------------------------------------------------------

using Clock = std::chrono::steady_clock;

constexpr double kToneLevel = 0.25;  // -12 dBFS: carries from a speaker to a microphone, does not startle
constexpr size_t kToneFrames = kLoopBackRate / 2;             // 0.5 s
constexpr size_t kListenFrames = kLoopBackRate * 8 / 10;      // 0.8 s: the tone and the way to the microphone
constexpr size_t kFadeFrames = kLoopBackRate / 100;           // 10 ms: no click at either end
constexpr unsigned kLatencyMicroseconds = 100'000;
constexpr auto kStreamingBudget = std::chrono::milliseconds(1500);

std::vector<int16_t> Tone() {
  std::vector<int16_t> tone(kToneFrames);
  for (size_t i = 0; i < tone.size(); ++i) {
    const double fade = std::min({1.0, static_cast<double>(i) / kFadeFrames,
                                  static_cast<double>(tone.size() - i) / kFadeFrames});
    const double phase = 2 * std::numbers::pi * kToneHz * static_cast<double>(i) / kLoopBackRate;
    tone[i] = static_cast<int16_t>(std::lround(32767 * kToneLevel * fade * std::sin(phase)));
  }
  return tone;
}

// The tone is judged in 20 ms blocks, each exactly 20 periods of 1 kHz, so that the tone falls on
// one frequency bin and neither mains hum nor a DC offset leaks into it.
constexpr size_t kBlockFrames = kLoopBackRate / 50;
constexpr double kToneBin = static_cast<double>(kToneHz) * kBlockFrames / kLoopBackRate;
// A block carries the tone when the tone's bin holds at least 20 times the energy an average bin
// holds of the rest of the block. Noise alone reaches that with a chance of e^-20 (about 2e-9) per
// block: a bin of white noise is exponentially distributed around that average.
constexpr double kToneOverNoiseFloor = 20;
// ... and when the tone is louder than a few steps of the 16-bit scale (about -72 dBFS).
constexpr double kQuietestTone = 8.0 / 32768;
// Heard: the tone in 10 blocks (0.2 s) of the 0.5 s played, which allows for a slow way to the
// microphone and for a noise gate that eats the start.
constexpr size_t kBlocksToHear = 10;

bool BlockCarriesTone(std::span<const int16_t> block) {
  const double coefficient = 2 * std::cos(2 * std::numbers::pi * kToneBin / static_cast<double>(block.size()));
  double previous = 0, beforePrevious = 0, energy = 0;
  for (const int16_t sample : block) {
    const double x = sample / 32768.0;
    const double current = x + coefficient * previous - beforePrevious;
    beforePrevious = previous;
    previous = current;
    energy += x * x;
  }
  // Goertzel: the power of the tone's bin, and the share of the block's energy it stands for.
  const double binPower = previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
  const double n = static_cast<double>(block.size());
  const double toneEnergy = 2 * binPower / n;
  const double restPerBin = std::max(0.0, energy - toneEnergy) / (n / 2 - 1);
  const double toneAmplitude = std::sqrt(2 * toneEnergy / n);
  return toneAmplitude >= kQuietestTone && toneEnergy >= kToneOverNoiseFloor * restPerBin;
}

bool HearsTone(std::span<const int16_t> recording) {
  size_t blocks = 0;
  for (size_t start = 0; start + kBlockFrames <= recording.size(); start += kBlockFrames) {
    if (BlockCarriesTone(recording.subspan(start, kBlockFrames))) ++blocks;
  }
  return blocks >= kBlocksToHear;
}

struct OpenedPcm {
  Pcm pcm;
  OpenFailure failure = OpenFailure::None;
};

// Non-blocking: a device in use answers "busy" at once instead of waiting for its user to go.
OpenedPcm OpenLoopBackDevice(snd_config_t* tree, snd_pcm_stream_t stream) {
  snd_pcm_t* pcm = nullptr;
  const int error = snd_pcm_open_lconf(&pcm, kLoopBackDevice, stream, SND_PCM_NONBLOCK, tree);
  if (error < 0) return {nullptr, FailureOf(error)};
  OpenedPcm opened{Pcm(pcm), OpenFailure::None};
  if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kLoopBackRate, 1,
                         kLatencyMicroseconds) < 0) {
    opened.failure = OpenFailure::Unusable;
  }
  return opened;
}

// A frame count moved, or a negative error; an under- or overrun is recovered and moves nothing.
template <typename Transfer>
long Move(snd_pcm_t* pcm, Transfer transfer) {
  const long moved = transfer();
  if (moved >= 0 || moved == -EAGAIN) return std::max(moved, 0L);
  return snd_pcm_recover(pcm, static_cast<int>(moved), 1) < 0 ? moved : 0;
}

// At most a buffer's worth at a time: alsa-lib's file device refuses more.
size_t Chunk(snd_pcm_t* pcm, size_t left) {
  snd_pcm_uframes_t buffer = 0, period = 0;
  if (snd_pcm_get_params(pcm, &buffer, &period) < 0 || buffer == 0) return std::min<size_t>(left, kBlockFrames);
  return std::min<size_t>(left, buffer);
}

// Plays the tone while recording, never waiting on either device for longer than 10 ms at a time;
// nullopt when the devices failed or did not move the tone and a recording as long as it in time.
std::optional<std::vector<int16_t>> PlayWhileRecording(snd_pcm_t* out, snd_pcm_t* in) {
  const std::vector<int16_t> tone = Tone();
  // Zeroed: a capture device that returns frames without filling them (alsa-lib's null) is silence.
  std::vector<int16_t> recording(kListenFrames, 0);
  size_t played = 0, recorded = 0;
  if (snd_pcm_start(in) < 0) return std::nullopt;
  const auto deadline = Clock::now() + kStreamingBudget;
  while (recorded < recording.size() && Clock::now() < deadline) {
    long wrote = 0;
    if (played < tone.size()) {
      wrote = Move(out, [&] { return snd_pcm_writei(out, tone.data() + played, Chunk(out, tone.size() - played)); });
    }
    const long read = Move(in, [&] { return snd_pcm_readi(in, recording.data() + recorded, Chunk(in, recording.size() - recorded)); });
    if (wrote < 0 || read < 0) return std::nullopt;
    played += static_cast<size_t>(wrote);
    recorded += static_cast<size_t>(read);
    if (wrote == 0 && read == 0) snd_pcm_wait(in, 10);
  }
  snd_pcm_drop(out);
  snd_pcm_drop(in);
  if (played < tone.size() || recorded < tone.size()) return std::nullopt;
  recording.resize(recorded);
  return recording;
}

LoopBack LoopBackOf(OpenFailure failure, LoopBack whenAbsent) {
  switch (failure) {
    case OpenFailure::Busy: return LoopBack::Busy;
    case OpenFailure::Absent: return whenAbsent;
    default: return LoopBack::Refused;
  }
}

}  // namespace

bool HasSoundConfiguration(const SourcePlaces& places) {
  std::error_code ignored;
  return places.alsaConfig.empty() || std::filesystem::is_regular_file(places.alsaConfig, ignored);
}

std::string MixerDevice(const SourcePlaces& places, const std::optional<PlaybackCard>& card) {
  if (!places.alsaConfig.empty()) return "default";
  return card ? "hw:" + std::to_string(card->index) : std::string();
}

MixerReading ReadMixer(const SourcePlaces& places, const std::string& device) {
  MixerReading reading;
  if (device.empty()) return reading;
  const Configuration configuration(places);
  if (configuration.tree() == nullptr) return reading;
  const OpenedMixer opened = OpenMixer(configuration.tree(), device);
  if (!opened.mixer) return reading;
  bool anySwitchedOff = false;
  for (const SilentControl& control : SilentControls(opened.mixer.get())) {
    reading.silent.push_back(control.name);
    anySwitchedOff = anySwitchedOff || control.switchedOff;
  }
  reading.state = reading.silent.empty() ? MixerState::Audible
                  : anySwitchedOff       ? MixerState::Muted
                                         : MixerState::ZeroVolume;
  return reading;
}

MixerChange UnmuteAndRaise(const SourcePlaces& places, const std::string& device) {
  if (device.empty()) return MixerChange::NoMixer;
  const Configuration configuration(places);
  if (configuration.tree() == nullptr) return MixerChange::NoMixer;
  const OpenedMixer opened = OpenMixer(configuration.tree(), device);
  switch (FailureOf(opened.error)) {
    case OpenFailure::None: break;
    case OpenFailure::NotPermitted: return MixerChange::NotPermitted;
    case OpenFailure::Absent: return MixerChange::NoMixer;
    case OpenFailure::Busy:
    case OpenFailure::Unusable: return MixerChange::Failed;
  }
  const std::vector<SilentControl> silent = SilentControls(opened.mixer.get());
  if (silent.empty()) return MixerChange::NothingToChange;
  if (!AllWritable(opened.hctl, silent)) {
    WarnOnce("the sound mixer " + device + " does not let its playback controls be changed");
    return MixerChange::Failed;
  }
  for (const SilentControl& control : silent) {
    if (const int error = SwitchOnAndRaise(control); error < 0) {
      WarnOnce("the sound mixer " + device + " refused a change of " + control.name + ": " + snd_strerror(error));
      return MixerChange::Failed;
    }
  }
  return MixerChange::Changed;
}

LoopBack PlayToneAndListen(const SourcePlaces& places) {
  const Configuration configuration(places);
  if (configuration.tree() == nullptr) return LoopBack::NoConfiguration;
  const OpenedPcm out = OpenLoopBackDevice(configuration.tree(), SND_PCM_STREAM_PLAYBACK);
  if (out.failure != OpenFailure::None) return LoopBackOf(out.failure, LoopBack::NoPlayback);
  const OpenedPcm in = OpenLoopBackDevice(configuration.tree(), SND_PCM_STREAM_CAPTURE);
  if (in.failure != OpenFailure::None) return LoopBackOf(in.failure, LoopBack::NoCapture);
  const auto recording = PlayWhileRecording(out.pcm.get(), in.pcm.get());
  if (!recording) return LoopBack::Refused;
  return HearsTone(*recording) ? LoopBack::Heard : LoopBack::NotHeard;
}

}  // namespace host::machine::linuxhost
