// Sound through alsa-lib without a sound card: alsa-lib's `null` device plays, a `file` device
// records what the test prepared, and a test control plugin is the card's mixer.
#include "machine/linux/sound.h"

#include <gmock/gmock.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <sstream>
#include <thread>

#include "machine/linux/linux_checks.h"
#include "machine/linux/linux_machine.h"
#include "machine/linux/sysfs_root.h"
#include "support/log_capture.h"
#include "support/test_env.h"

namespace host::machine::linuxhost {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// The recorded notebook's sound cards (or, whole, the notebook) with an etc/asound.conf the test
// writes: its capture device records `recording.raw`, its mixer keeps its controls in `mixer`.
class SoundBench {
 public:
  explicit SoundBench(bool wholeNotebook = false)
      : root_(fs::path(testing::TempDir()) / ("sound-" + std::to_string(getpid()) + "-" + std::to_string(next_++))) {
    fs::remove_all(root_);
    const fs::path notebook = testenv::RecordedMachinePath("notebook");
    if (wholeNotebook) {
      fs::copy(notebook, root_, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    } else {
      fs::create_directories(root_ / "proc");
      fs::copy(notebook / "proc/asound", root_ / "proc/asound");
    }
    fs::create_directories(root_ / "etc");
    WillRecord({});
  }
  ~SoundBench() { fs::remove_all(root_); }

  std::string root() const { return root_.string(); }
  SourcePlaces Places() const { return SourcePlaces::For(SysfsRoot(root())); }

  // The default capture device: a file device that records the prepared recording.
  std::string Recorder() const {
    return R"({ type file slave.pcm { type null } file "/dev/null" infile ")" + (root_ / "recording.raw").string() +
           R"(" format raw })";
  }
  // `capture` empty: the default device has no capture side.
  void Configure(const std::string& capture, const std::string& mixerOptions = "") const {
    WriteConfiguration("pcm.default { type asym playback.pcm { type null }" +
                       (capture.empty() ? "" : " capture.pcm " + capture) + " }\n" + MixerDefinition(mixerOptions));
  }
  void Configure() const { Configure(Recorder()); }
  void WriteConfiguration(const std::string& text) const { std::ofstream(root_ / "etc/asound.conf") << text; }
  std::string MixerDefinition(const std::string& options = "") const {
    return "ctl_type.testmixer { lib \"" SYSDIAGNOSE_ALSA_TEST_MIXER "\" }\nctl.default { type testmixer state \"" +
           (root_ / "mixer").string() + "\" " + options + " }\n";
  }

  // Signed 16-bit little-endian mono at the loop-back's rate, the format the check asks for.
  void WillRecord(const std::vector<int16_t>& samples) const {
    std::ofstream out(root_ / "recording.raw", std::ios::binary);
    for (const int16_t sample : samples) {
      const auto bits = static_cast<uint16_t>(sample);
      const char bytes[] = {static_cast<char>(bits & 0xFF), static_cast<char>(bits >> 8)};
      out.write(bytes, 2);
    }
  }
  void SetMixer(const std::string& state) const { std::ofstream(root_ / "mixer") << state; }
  std::string Mixer() const {
    std::ifstream in(root_ / "mixer");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  static inline int next_ = 0;
  fs::path root_;
};

struct Tone {
  double hz, level, from, seconds;  // level: peak, full scale 1
};

// One second as a microphone would give it: tones over uniform noise of peak `noise`.
std::vector<int16_t> Recording(const std::vector<Tone>& tones, double noise = 0) {
  std::vector<int16_t> samples(kLoopBackRate);
  std::mt19937 random(7);
  std::uniform_real_distribution<double> uniform(-noise, noise);
  for (size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i) / kLoopBackRate;
    double x = noise > 0 ? uniform(random) : 0;
    for (const Tone& tone : tones) {
      if (t >= tone.from && t < tone.from + tone.seconds) x += tone.level * std::sin(2 * std::numbers::pi * tone.hz * t);
    }
    samples[i] = static_cast<int16_t>(std::lround(std::clamp(x, -1.0, 1.0) * 32767));
  }
  return samples;
}

const Tone kTheTone{kToneHz, 0.25, 0.05, 0.5};

LinuxMachine MachineAt(const std::string& root) {
  LinuxMachine::Options options;
  options.root = root;
  options.memoryTestBytes = size_t{1} << 20;
  return LinuxMachine(std::move(options));
}

// ---- the card ------------------------------------------------------------------------------------

TEST(SoundCard, ThePlaybackCardIsTheFirstThatPlaysAndTheAudioDeviceCheckNeedsOne) {
  const struct {
    const char* label;
    const char* pcm;  // /proc/asound/pcm; null: none
    std::optional<std::tuple<uint32_t, std::string, bool>> card;  // index, name, some card records
  } cases[] = {
      {"the notebook's", "00-00: ALC287 Analog : ALC287 Analog : playback 1 : capture 1\n", {{0, "HDA Intel PCH", true}}},
      {"HDMI only", "00-03: HDMI 0 : HDMI 0 : playback 1\n00-07: HDMI 1 : HDMI 1 : playback 1\n", {{0, "HDA Intel PCH", false}}},
      {"a microphone only", "00-00: ALC287 Analog : ALC287 Analog : capture 1\n", std::nullopt},
      {"no sound devices", "", std::nullopt},
      {"no procfs sound", nullptr, std::nullopt},
  };
  SoundBench bench;
  for (const auto& c : cases) {
    fs::remove(bench.root() + "/proc/asound/pcm");
    if (c.pcm != nullptr) std::ofstream(bench.root() + "/proc/asound/pcm") << c.pcm;
    const auto card = FindPlaybackCard(SysfsRoot(bench.root()));
    const auto seen = card ? std::optional(std::tuple(card->index, card->name, card->canRecord)) : std::nullopt;
    EXPECT_EQ(seen, c.card) << c.label;
    const CheckResult device = MachineAt(bench.root()).Check("audio.device");
    EXPECT_EQ(device.messageKey, c.card ? u"" : u"IDS_HARDWARE_DIAGNOSE_AUDIO_UNKNOWN") << c.label;
  }
}

// ---- the loop-back --------------------------------------------------------------------------------

TEST(SoundLoopBack, TheToneIsHeardOnlyWhenTheRecordingCarriesItLongEnough) {
  const struct {
    const char* label;
    std::vector<int16_t> recording;
    LoopBack heard;
  } cases[] = {
      {"the tone at -12 dBFS", Recording({kTheTone}), LoopBack::Heard},
      {"a quiet tone (-40 dBFS)", Recording({{kToneHz, 0.01, 0.1, 0.5}}), LoopBack::Heard},
      {"the tone under louder noise", Recording({{kToneHz, 0.1, 0.05, 0.5}}, 0.3), LoopBack::Heard},
      {"digital silence", Recording({}), LoopBack::NotHeard},
      {"nothing recorded: the recording ends at once", {}, LoopBack::NotHeard},
      {"noise only", Recording({}, 0.3), LoopBack::NotHeard},
      {"another tone (440 Hz)", Recording({{440, 0.25, 0.05, 0.5}}), LoopBack::NotHeard},
      {"a beep of 0.1 s", Recording({{kToneHz, 0.25, 0.05, 0.1}}), LoopBack::NotHeard},
      {"dust of four steps of the scale", Recording({{kToneHz, 4.0 / 32768, 0.05, 0.5}}), LoopBack::NotHeard},
  };
  SoundBench bench;
  bench.Configure();
  for (const auto& c : cases) {
    bench.WillRecord(c.recording);
    EXPECT_EQ(PlayToneAndListen(bench.Places()), c.heard) << c.label;
  }
}

// No sound card here: a device that busy cannot be made, so the busy answer has no case.
TEST(SoundLoopBack, ALoopBackThatCannotRunSaysWhyQuietlyAndLogsWhatAlsaLibSaid) {
  SoundBench bench;
  static int run = 0;  // alsa-lib's messages are logged once each: a name of this run's own
  const std::string missing = "missing-" + std::to_string(getpid()) + "-" + std::to_string(run++);
  const struct {
    const char* label;
    std::string configuration;  // empty: no file
    LoopBack outcome;
  } cases[] = {
      {"no configuration file", "", LoopBack::NoConfiguration},
      {"a configuration alsa-lib cannot read", "pcm.default { type", LoopBack::NoConfiguration},
      {"no default device", "# nothing\n", LoopBack::NoPlayback},
      {"a default device without a capture side", "pcm.default { type asym playback.pcm { type null } }", LoopBack::NoCapture},
      {"a capture device nobody defined",
       "pcm.default { type asym playback.pcm { type null } capture.pcm \"" + missing + "\" }", LoopBack::NoCapture},
      {"a capture device that records only in stereo",
       "pcm.default { type asym playback.pcm { type null } capture.pcm { type multi slaves.a { pcm { type null } "
       "channels 2 } bindings.0 { slave a channel 0 } bindings.1 { slave a channel 1 } } }",
       LoopBack::Refused},
  };
  testenv::LogCapture log;
  for (const auto& c : cases) {
    fs::remove(bench.root() + "/etc/asound.conf");
    if (!c.configuration.empty()) bench.WriteConfiguration(c.configuration);
    testing::internal::CaptureStderr();
    const LoopBack outcome = PlayToneAndListen(bench.Places());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.label;
    EXPECT_EQ(outcome, c.outcome) << c.label;
  }
  std::string logged;
  for (const auto& line : log.Lines()) logged += line.message + "\n";
  EXPECT_THAT(logged, HasSubstr("alsa-lib: Unknown PCM " + missing));
}

// alsa-lib keeps global state beside each local configuration; two questions at once, each with
// its own configuration, must each get their own answer.
TEST(SoundLoopBack, TwoThreadsWithTheirOwnConfigurationsEachHearTheirOwnRecording) {
  SoundBench toneBench, silentBench;
  toneBench.Configure();
  toneBench.WillRecord(Recording({kTheTone}));
  silentBench.Configure();
  std::vector<LoopBack> heard, silent;
  std::thread other([&] {
    for (int i = 0; i < 4; ++i) heard.push_back(PlayToneAndListen(toneBench.Places()));
  });
  for (int i = 0; i < 4; ++i) silent.push_back(PlayToneAndListen(silentBench.Places()));
  other.join();
  EXPECT_EQ(heard, std::vector<LoopBack>(4, LoopBack::Heard));
  EXPECT_EQ(silent, std::vector<LoopBack>(4, LoopBack::NotHeard));
}

// ---- the mixer ------------------------------------------------------------------------------------

TEST(SoundMixer, TheCardIsSilentWhenItsPathOrEveryWayOutIsSwitchedOffOrTurnedDown) {
  const struct {
    const char* label;
    const char* state;
    MixerState expected;
    std::vector<std::string> silent;
  } cases[] = {
      {"everything on", "", MixerState::Audible, {}},
      {"Master switched off", "Master Playback Switch: 0 0\n", MixerState::Muted, {"Master"}},
      {"Master turned down", "Master Playback Volume: 0 0\n", MixerState::ZeroVolume, {"Master"}},
      {"one side of Master off", "Master Playback Switch: 0 1\n", MixerState::Audible, {}},
      {"the speaker down, the headphones on", "Speaker Playback Volume: 0 0\n", MixerState::Audible, {}},
      {"the speaker down, the headphones off", "Speaker Playback Volume: 0 0\nHeadphone Playback Switch: 0 0\n",
       MixerState::Muted, {"Speaker", "Headphone"}},
      {"both ways out down", "Speaker Playback Volume: 0 0\nHeadphone Playback Volume: 0 0\n", MixerState::ZeroVolume,
       {"Speaker", "Headphone"}},
  };
  SoundBench bench;
  bench.Configure();
  for (const auto& c : cases) {
    bench.SetMixer(c.state);
    const MixerReading reading = ReadMixer(bench.Places(), "default");
    EXPECT_EQ(reading.state, c.expected) << c.label;
    EXPECT_THAT(reading.silent, ::testing::UnorderedElementsAreArray(c.silent)) << c.label;
  }
  bench.WriteConfiguration("pcm.default { type null }\n");
  EXPECT_EQ(ReadMixer(bench.Places(), "default").state, MixerState::Unreadable) << "no mixer defined";
}

TEST(SoundMixer, UnmuteAndRaiseChangesTheSilentControlsAllOrNothing) {
  const struct {
    const char* label;
    const char* state;
    const char* mixerOptions;
    MixerChange change;
    std::vector<std::string> after;  // lines of the state file afterwards
  } cases[] = {
      {"Master off and down", "Master Playback Switch: 0 0\nMaster Playback Volume: 0 0\n", "", MixerChange::Changed,
       {"Master Playback Switch: 1 1", "Master Playback Volume: 58 58", "Speaker Playback Volume: 60 60"}},
      {"the speaker down, the headphones off", "Speaker Playback Volume: 0 0\nHeadphone Playback Switch: 0 0\n", "",
       MixerChange::Changed, {"Speaker Playback Volume: 58 58", "Headphone Playback Switch: 1 1", "Speaker Playback Switch: 1 1"}},
      {"the speaker down, the headphones on: the sound server's choice", "Speaker Playback Volume: 0 0\n", "",
       MixerChange::NothingToChange, {"Speaker Playback Volume: 0 0"}},
      {"a mixer that may not be changed", "Master Playback Switch: 0 0\n", "readonly true", MixerChange::Failed,
       {"Master Playback Switch: 0 0"}},
  };
  SoundBench bench;
  for (const auto& c : cases) {
    bench.Configure(bench.Recorder(), c.mixerOptions);
    bench.SetMixer(c.state);
    EXPECT_EQ(UnmuteAndRaise(bench.Places(), "default"), c.change) << c.label;
    for (const std::string& line : c.after) EXPECT_THAT(bench.Mixer(), HasSubstr(line + "\n")) << c.label;
    if (c.change == MixerChange::Changed) {
      EXPECT_EQ(ReadMixer(bench.Places(), "default").state, MixerState::Audible) << c.label;
    }
  }
  bench.WriteConfiguration("pcm.default { type null }\n");
  EXPECT_EQ(UnmuteAndRaise(bench.Places(), "default"), MixerChange::NoMixer) << "no mixer defined";
  fs::remove(bench.root() + "/etc/asound.conf");
  EXPECT_EQ(UnmuteAndRaise(bench.Places(), "default"), MixerChange::NoMixer) << "no configuration";
}

// ---- the check and the repair on a machine --------------------------------------------------------

TEST(SoundCheck, TheLoopBackJudgesTheMixerFirstThenListens) {
  const std::string muted = "Master Playback Switch: 0 0\n";
  const struct {
    const char* label;
    std::string mixer;
    bool capture;
    std::vector<int16_t> recording;
    std::tuple<uint32_t, std::u16string, uint32_t> expected;  // code, message key, level
  } cases[] = {
      {"muted", muted, true, Recording({kTheTone}), {2, u"IDS_HARDWARE_DIAGNOSE_AUDIO_MUTED", 0}},
      {"muted, and nothing to record with", muted, false, {}, {2, u"IDS_HARDWARE_DIAGNOSE_AUDIO_MUTED", 0}},
      {"turned down", "Master Playback Volume: 0 0\n", true, Recording({kTheTone}),
       {3, u"IDS_HARDWARE_DIAGNOSE_AUDIO_ZERO_VOLUME", 0}},
      {"heard", "", true, Recording({kTheTone}), {0, u"", 0}},
      {"not heard", "", true, Recording({}), {1, u"IDS_HARDWARE_DIAGNOSE_AUDIO_LOOPBACK_FAIL", 0}},
      {"nothing to record with", "", false, {}, {kNotCheckedCode, u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_CAPTURE", 1}},
  };
  SoundBench bench;
  for (const auto& c : cases) {
    bench.Configure(c.capture ? bench.Recorder() : "");
    bench.SetMixer(c.mixer);
    bench.WillRecord(c.recording);
    const auto started = std::chrono::steady_clock::now();
    const CheckResult result = MachineAt(bench.root()).Check("audio.loopBack");
    EXPECT_EQ(std::tuple(result.code, result.messageKey, result.level), c.expected) << c.label;
    EXPECT_EQ(result.passed, std::get<0>(c.expected) == 0) << c.label;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)) << c.label;
  }
}

TEST(SoundCheck, TheMachineSaysWhatTheLoopBackLooksAtOrWhyItCannot) {
  SoundBench bench;
  const auto here = [&] {
    for (const CheckDescription& check : MachineAt(bench.root()).DescribeChecks()) {
      if (check.name == "audio.loopBack") return check.here + ": " + check.why;
    }
    return std::string("<none>");
  };
  EXPECT_EQ(here(), "cannot run: no sound configuration (" + bench.root() + "/etc/asound.conf)");
  bench.Configure();
  EXPECT_EQ(here(), "runs: card 0 HDA Intel PCH: mixer 'default', playback and capture through 'default'");
  fs::remove(bench.root() + "/proc/asound/pcm");
  EXPECT_EQ(here(), "cannot run: no sound card that plays");

  // Under alsa-lib's own configuration the cards say whether anything records.
  std::ofstream(bench.root() + "/proc/asound/pcm") << "00-03: HDMI 0 : HDMI 0 : playback 1\n";
  const SysfsRoot root(bench.root());
  const Inventory inventory = ReadInventory(root);
  const SourcePlaces alsaLibsOwn;
  const Applicability applicability =
      FindLinuxCheck("audio.loopBack")->here(CheckContext{root, inventory, alsaLibsOwn, 0, BetweenWriteAndVerify()});
  EXPECT_EQ(applicability.kind, Applicability::Kind::CannotRun);
  EXPECT_EQ(applicability.text, "no capture device; only the mixer of card 0 HDA Intel PCH is judged");
}

TEST(SoundCheck, TheAudioRepairSwitchesTheMixerOnWhenItMay) {
  const struct {
    const char* label;
    bool configured;
    const char* mixerOptions;
    bool succeeded;
    std::u16string message;
  } cases[] = {
      {"a muted mixer", true, "", true, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS"},
      {"a mixer that may not be changed", true, "readonly true", false, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SETTING_FAIL"},
      {"no sound configuration", false, "", false, u"IDS_HARDWARE_DIAGNOSE_REPAIR_UNAVAILABLE"},
  };
  for (const auto& c : cases) {
    SoundBench bench;
    if (c.configured) bench.Configure(bench.Recorder(), c.mixerOptions);
    bench.SetMixer("Master Playback Switch: 0 0\n");
    bench.WillRecord(Recording({kTheTone}));
    auto machine = MachineAt(bench.root());
    const RepairOutcome outcome = machine.Repair("RepairAudioProblem");
    EXPECT_EQ(std::pair(outcome.succeeded, outcome.message), std::pair(c.succeeded, c.message)) << c.label;
    EXPECT_EQ(machine.Check("audio.loopBack").passed, c.succeeded) << c.label;
  }
}

}  // namespace
}  // namespace host::machine::linuxhost
