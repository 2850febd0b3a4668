// The recorded notebooks end to end, as a user runs the program on them: each tree copied, with the
// services a desktop would have where the test gives them (a sound configuration with a recording
// and a mixer, a system bus with BlueZ and fprintd), scanned, then checked and repaired by the
// doctor as a user who may not load kernel modules.
#include <gmock/gmock.h>

#include <cmath>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <numbers>
#include <optional>

#include "host/scoped_env.h"
#include "machine/linux/dbus_client.h"
#include "machine/linux/sound.h"
#include "support/host_program.h"
#include "support/private_bus.h"
#include "support/recorded_tree.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using host::machine::linuxhost::DbusConnection;
using host::machine::linuxhost::DbusObject;
using nlohmann::json;

// What the doctor said of a category: its state (2 normal, 3 abnormal) and its result text.
using Said = std::pair<int, std::string>;
constexpr int kNormal = 2, kAbnormal = 3;

enum class Recording { None, Silence, Tone };

struct Notebook {
  const char* tree;
  Recording recording;        // None: no sound configuration at all
  const char* mixer;          // the test mixer's state file
  bool services;              // a system bus with BlueZ (hci0 off) and fprintd (no reader)
  std::map<std::string, std::string> scanned;  // category -> its summary on the scan page
  std::map<std::string, Said> found;           // after the first detection (others: normal)
  std::vector<std::string> repaired;           // of those, normal in the confirming detection
  const char* keyfileAfter = nullptr;          // the home's GNOME settings after the repair, where it has them
};

// One second at the loop-back's rate, signed 16-bit little-endian mono: silence, or the test tone.
void WriteRecording(const fs::path& file, Recording recording) {
  std::ofstream out(file, std::ios::binary);
  for (unsigned i = 0; i < host::machine::linuxhost::kLoopBackRate; ++i) {
    const double t = static_cast<double>(i) / host::machine::linuxhost::kLoopBackRate;
    const bool sounding = recording == Recording::Tone && t >= 0.05 && t < 0.55;
    const auto sample = static_cast<int16_t>(
        sounding ? std::lround(0.25 * 32767 * std::sin(2 * std::numbers::pi * host::machine::linuxhost::kToneHz * t)) : 0);
    const auto bits = static_cast<uint16_t>(sample);
    out.put(static_cast<char>(bits & 0xFF)).put(static_cast<char>(bits >> 8));
  }
}

// Plays on alsa-lib's null device, records the prepared recording, and takes its mixer from the
// test control plugin.
void GiveSound(const fs::path& root, Recording recording, const std::string& mixer) {
  fs::create_directories(root / "etc");
  WriteRecording(root / "recording.raw", recording);
  std::ofstream(root / "mixer") << mixer;
  std::ofstream(root / "etc/asound.conf")
      << "pcm.default { type asym playback.pcm { type null } capture.pcm { type file slave.pcm { type null } "
      << "file \"/dev/null\" infile \"" << (root / "recording.raw").string() << "\" format raw } }\n"
      << "ctl_type.testmixer { lib \"" SYSDIAGNOSE_ALSA_TEST_MIXER "\" }\n"
      << "ctl.default { type testmixer state \"" << (root / "mixer").string() << "\" }\n";
}

// BlueZ with one adapter, switched off, and fprintd listing no reader, on the tree's system bus.
class Services {
 public:
  explicit Services(const fs::path& root)
      : bus_((root / "run/dbus/system_bus_socket").string()),
        bluez_(bus_, "org.bluez", {"-t", "bluez5"}),
        fprintd_(bus_, "net.reactivated.Fprint", {"-t", testenv::TestDataPath("dbusmock/fprintd.py")}),
        control_(bus_.address()) {
    EXPECT_TRUE(bluez_.ok() && fprintd_.ok()) << bus_.error() << bluez_.error() << fprintd_.error();
    Call({"org.bluez", "/"}, "org.bluez.Mock", "AddAdapter", g_variant_new("(ss)", "hci0", "notebook"));
    GVariantBuilder off;
    g_variant_builder_init(&off, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&off, "{sv}", "Powered", g_variant_new_boolean(FALSE));
    Call({"org.bluez", "/org/bluez/hci0"}, "org.freedesktop.DBus.Mock", "UpdateProperties",
         g_variant_new("(sa{sv})", "org.bluez.Adapter1", &off));
  }

  std::optional<bool> Powered() {
    const auto reply = control_.GetProperty({"org.bluez", "/org/bluez/hci0"}, "org.bluez.Adapter1", "Powered");
    if (!reply.answered()) return std::nullopt;
    return g_variant_get_boolean(reply.value.get()) != FALSE;
  }

 private:
  void Call(const DbusObject& object, const char* interface, const char* method, GVariant* arguments) {
    const auto reply = control_.Call(object, interface, method, arguments, nullptr);
    EXPECT_TRUE(reply.answered()) << method << ": " << reply.error;
  }

  testenv::PrivateBus bus_;
  testenv::MockService bluez_, fprintd_;
  DbusConnection control_;
};

std::map<std::string, Said> Abnormal(const json& report) {
  std::map<std::string, Said> said;
  for (const json& item : report["vecItems"]) {
    if (item["nState"] != kNormal) said[item["strName"]] = {item["nState"].get<int>(), item["strResult"].get<std::string>()};
  }
  return said;
}

// The scan page's summaries of the categories named in `wanted`.
std::map<std::string, std::string> ScannedSummaries(const std::string& root, const std::map<std::string, std::string>& wanted) {
  const auto scan = testenv::RunHostProgram({"scan", "--json", "--machine", root});
  EXPECT_EQ(scan.status, 0) << scan.err;
  std::map<std::string, std::string> scanned;
  const json page = json::parse(scan.out.empty() ? "{}" : scan.out);
  for (const json& category : page.value("categories", json::array())) {
    const auto name = category["name"].get<std::string>();
    if (wanted.contains(name)) scanned[name] = category["summary"].get<std::string>();
  }
  return scanned;
}

// The finished reports of `doctor --repair` run by a user who may not load kernel modules: the
// detection, the repair, the confirming detection.
std::vector<json> DoctorRepairReports(const std::string& root) {
  const auto doctor = testenv::RunHostProgramWithoutModuleLoading({"doctor", "--repair", "--json", "--machine", root});
  EXPECT_EQ(doctor.status, 0) << doctor.err;
  EXPECT_EQ(doctor.err, "");
  std::vector<json> finished;
  const json output = json::parse(doctor.out.empty() ? "{}" : doctor.out);
  for (const json& report : output.value("reports", json::array())) {
    if (report["bFinished"] == 1) finished.push_back(report);
  }
  return finished;
}

const std::string kNotPermitted = "This repair needs administrator rights. Nothing was changed.";
const std::string kNoSound = "Not checked: there is no sound configuration for this computer.";
const std::string kNoSettings = "Not checked: no keyboard settings of the desktop (GNOME, KDE or the X display) could be read.";
const std::string kNoBus = "Not checked: the system message bus (D-Bus) is not reachable.";
const std::string kNoReaderDriver = "The fingerprint service (fprintd) has no driver for this fingerprint reader.";
const std::string kBluetoothOff = "Bluetooth is turned off.";

const Notebook kNotebooks[] = {
    {"thinkpad-t480", Recording::None, "", false,
     {{"Storage", "512 GB+1.0 TB"}, {"Battery", "01AV421, 01AV424"}, {"Graphics", "UHD Graphics 620"}},
     // Its second battery holds half its design capacity: the voltage line's text carries the wear.
     {{"Battery", {kAbnormal, "The battery voltage is low. Charge the battery, and have it checked if this persists."}},
      {"Audio", {kAbnormal, kNoSound}},
      {"Keyboard", {kAbnormal, kNoSettings}},
      {"Bluetooth", {kAbnormal, kNoBus}}},
     {}},
    {"xps-15-hybrid", Recording::Tone, "Master Playback Switch: 0 0\n", true,
     {{"Graphics", "GP107M [GeForce GTX 1050 Ti Mobile]"}, {"Fingerprint Reader", "Goodix Fingerprint Device"}},
     {{"Graphics", {kAbnormal, "The graphics driver is not working properly."}},
      {"Audio", {kAbnormal, "The sound is muted."}},
      {"Keyboard", {kAbnormal, kNoSettings}},
      {"Bluetooth", {kAbnormal, kBluetoothOff}},
      {"Fingerprint Reader", {kAbnormal, kNoReaderDriver}}},
     {"Audio", "Bluetooth"}},
    {"elitebook-840", Recording::Tone, "", true,
     {{"Bluetooth", "AX201 Bluetooth"}, {"Fingerprint Reader", "Synaptics UWP WBDI"}},
     {{"Keyboard", {kAbnormal, kNoSettings}},
      {"Bluetooth", {kAbnormal, kBluetoothOff}},
      {"Fingerprint Reader", {kAbnormal, kNoReaderDriver}}},
     {"Bluetooth"}},
    {"vivobook-15", Recording::Silence, "", false,
     {{"Network Adapter", "Cannon Lake PCH CNVi WiFi"}},
     {{"Network Adapter", {kAbnormal, "The network adapter driver is not working properly."}},
      {"Audio", {kAbnormal, "Sound played through the speakers was not picked up by the microphone."}},
      {"Keyboard", {kAbnormal, "Filter Keys is on, so brief or repeated keystrokes are ignored."}},
      {"Bluetooth", {kAbnormal, kNoBus}}},
     {"Keyboard"},
     // Slow Keys off where the user's desktop keeps them, the rest of the file kept.
     "[org/gnome/desktop/a11y/keyboard]\nslowkeys-enable=false\nslowkeys-delay=uint32 300\n"},
};

// Each notebook shows its hardware and its faults with their own texts; the doctor repairs what
// this user may and says so of what needs administrator rights.
TEST(RecordedNotebooks, ScannedDiagnosedAndRepairedAsAUserRunsThem) {
  testenv::ScopedEnv smallMemoryTest("SYSDIAGNOSE_MEMTEST_MB", "1");
  for (const Notebook& n : kNotebooks) {
    SCOPED_TRACE(n.tree);
    testenv::ScopedDataDir data;
    const testenv::CopiedMachine copy(n.tree);
    const fs::path root = copy.root();
    if (n.recording != Recording::None) GiveSound(root, n.recording, n.mixer);
    std::optional<Services> services;
    if (n.services) services.emplace(root);
    testenv::WriteModulesTree(copy.root(), copy.Read("/proc/sys/kernel/osrelease"),
                              {{"nouveau", {"pci:v000010DEd*sv*sd*bc03sc*i*"}}, {"r8169", {"pci:v000010ECd00008168sv*sd*bc*sc*i*"}}});

    EXPECT_EQ(ScannedSummaries(copy.root(), n.scanned), n.scanned);
    const std::vector<json> finished = DoctorRepairReports(copy.root());
    ASSERT_EQ(finished.size(), 3u);
    EXPECT_EQ(Abnormal(finished[0]), n.found);
    auto afterRepair = n.found;
    for (const std::string& name : n.repaired) afterRepair.erase(name);
    EXPECT_EQ(Abnormal(finished[2]), afterRepair);
    for (const char* needsDriver : {"Graphics", "Network Adapter"}) {
      if (n.found.contains(needsDriver)) {
        EXPECT_EQ(Abnormal(finished[1])[needsDriver].second, kNotPermitted) << needsDriver;
      }
    }
    if (services) {
      EXPECT_EQ(services->Powered(), true);
    }
    if (n.mixer[0] != '\0') {
      EXPECT_THAT(copy.Read("/mixer"), ::testing::StartsWith("Master Playback Switch: 1 1"));
    }
    if (n.keyfileAfter != nullptr) {
      EXPECT_EQ(testenv::ReadFile(root / "home/user/.config/glib-2.0/settings/keyfile"), n.keyfileAfter);
    }
  }
}

}  // namespace
