// Slow Keys and Bounce Keys read and turned off where each desktop keeps them, on the real
// libraries: GSettings over the keyfile of a temporary home, kaccessrc files, a private X server,
// and, in a child process with a home of its own, dconf behind a private session bus.
#include "machine/linux/keyboard_settings.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "machine/linux/gnome_filter_keys.h"
#include "machine/linux/kde_filter_keys.h"
#include "machine/linux/source_places.h"
#include "machine/linux/sysfs_root.h"

// Last: Xlib's macros (None, Status, Success) would rename what the headers above declare.
#include <X11/XKBlib.h>

extern char** environ;

namespace host::machine::linuxhost {
namespace {

namespace fs = std::filesystem;

constexpr char kGnomeGroup[] = "[org/gnome/desktop/a11y/keyboard]\n";
constexpr char kKaccessrc[] =
    "# kaccess\n\n[Bell]\nSystemBell=true\n\n[Keyboard]\nSlowKeys=false\nBounceKeys=true\nBounceDelay=500\n\n"
    "[Mouse]\nMouseKeys=true\n";

// A program the test starts and stops. Its descriptor 3 is a pipe the test reads lines from.
class Spawned {
 public:
  explicit Spawned(std::vector<std::string> argv) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2}) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 3);
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    out_ = ends[0];
  }
  ~Spawned() {
    Stop();
    if (out_ >= 0) close(out_);
  }
  Spawned(const Spawned&) = delete;
  Spawned& operator=(const Spawned&) = delete;

  // The next line the program writes to descriptor 3; empty after 10 s without one.
  std::string ReadLine() {
    std::string line;
    for (char c = 0; pid_ > 0 && line.find('\n') == std::string::npos;) {
      pollfd ready{out_, POLLIN, 0};
      if (poll(&ready, 1, 10000) != 1 || read(out_, &c, 1) != 1) return {};
      line += c;
    }
    line.pop_back();
    return line;
  }

  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

class TempHome {
 public:
  TempHome() {
    char name[] = "/tmp/filter-keys-XXXXXX";
    path_ = mkdtemp(name);
  }
  ~TempHome() { fs::remove_all(path_); }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::string& path() const { return path_; }
  std::string Gnome() const { return path_ + "/.config/glib-2.0/settings/keyfile"; }
  std::string Kde() const { return path_ + "/.config/kaccessrc"; }

  static void Write(const std::string& file, const std::string& text) {
    fs::create_directories(fs::path(file).parent_path());
    std::ofstream(file) << text;
  }
  static std::string Read(const std::string& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string path_;
};

// The places of a recorded tree whose home is `home`.
SourcePlaces RecordedPlaces(const TempHome& home, std::string display = {}) {
  SourcePlaces places;
  places.running = false;
  places.home = home.path();
  places.display = std::move(display);
  return places;
}

using Outcome = std::tuple<uint32_t, std::u16string, bool, uint32_t>;  // code, message, passed, level

// The check and the repair as the machine runs them, on the given places only.
class Machine {
 public:
  explicit Machine(SourcePlaces places) : places(std::move(places)) {}

  CheckContext Context() const { return {root, inventory, places, 0, hook}; }
  Outcome Check() const {
    const CheckResult r = FilterKeysCheck(Context());
    return {r.code, r.messageKey, r.passed, r.level};
  }
  std::string Here() const { return FilterKeysHere(Context()).text; }
  RepairOutcome Repair() const { return CloseFilterKeys(Context()); }

 private:
  SourcePlaces places;
  SysfsRoot root{"/nonexistent"};
  Inventory inventory;
  BetweenWriteAndVerify hook;
};

const Outcome kOff{0, u"", true, 0};
const Outcome kOn{4294967290u, u"IDS_HARDWARE_DIAGNOSE_FILTER_OPEN", false, 1};
const Outcome kNotChecked{kNotCheckedCode, u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_KEYBOARD_SETTINGS", false, 1};

TEST(FilterKeys, AnyPlaceWithSlowOrBounceKeysOnIsTheNoticeAndNoPlaceToReadIsNotChecked) {
  struct Case {
    const char* label;
    std::optional<std::string> gnome;  // the keyfile's text
    std::optional<std::string> kde;    // kaccessrc
    std::string display;
    Outcome check;
    std::string here;  // "{home}" stands for the home
  };
  const std::string keys = kGnomeGroup;
  constexpr auto none = std::nullopt;
  const std::vector<Case> cases = {
      {"GNOME, both off", keys + "slowkeys-enable=false\nbouncekeys-enable=false\n", none, "", kOff,
       "GNOME settings (keyfile) of {home}"},
      {"GNOME, an empty keyfile: the defaults", "", none, "", kOff, "GNOME settings (keyfile) of {home}"},
      {"GNOME slow keys on", keys + "slowkeys-enable=true\n", none, "", kOn, "GNOME settings (keyfile) of {home}"},
      {"GNOME bounce keys on", keys + "bouncekeys-enable=true\n", none, "", kOn, "GNOME settings (keyfile) of {home}"},
      {"KDE bounce keys on", none, kKaccessrc, "", kOn, "KDE kaccessrc"},
      {"KDE slow keys on as KConfig may write it", none, "[Keyboard]\nSlowKeys=On\n", "", kOn, "KDE kaccessrc"},
      {"KDE off, GNOME on", keys + "slowkeys-enable=true\n", "[Keyboard]\nSlowKeys=false\n", "", kOn,
       "GNOME settings (keyfile) of {home}; KDE kaccessrc"},
      {"no place at all", none, none, "", kNotChecked,
       "no GNOME settings under {home}; no KDE kaccessrc in {home}/.config; no X display"},
      {"only a broken kaccessrc and displays that cannot be asked", none, "[Keyboard\nSlowKeys=true\n", "elsewhere:0",
       kNotChecked, "KDE kaccessrc cannot be read"},
      {"a display that is not running", none, none, ":4711", kNotChecked, "X display :4711 is not running"},
      {"a display of another host", none, none, "elsewhere:0", kNotChecked,
       "X display elsewhere:0 is not on this machine"},
  };
  for (const Case& c : cases) {
    TempHome home;
    if (c.gnome) TempHome::Write(home.Gnome(), *c.gnome);
    if (c.kde) TempHome::Write(home.Kde(), *c.kde);
    const Machine machine{RecordedPlaces(home, c.display)};

    EXPECT_EQ(machine.Check(), c.check) << c.label;
    std::string here = c.here;
    for (size_t at; (at = here.find("{home}")) != std::string::npos;) here.replace(at, 6, home.path());
    EXPECT_NE(machine.Here().find(here), std::string::npos) << c.label << ": " << machine.Here();
  }
}

TEST(FilterKeys, TheRepairTurnsThemOffWhereTheyAreOnAndKeepsEverythingElse) {
  struct Case {
    const char* label;
    std::string gnome, kde;  // empty: no such file
    std::string gnomeAfter, kdeAfter;
  };
  const std::string otherGnome = "[org/gnome/desktop/interface]\nclock-format='24h'\n\n";
  const std::vector<Case> cases = {
      {"GNOME slow keys", otherGnome + kGnomeGroup + "slowkeys-enable=true\n", "",
       otherGnome + kGnomeGroup + "slowkeys-enable=false\n", ""},
      {"KDE bounce keys, among other groups and comments", "", kKaccessrc, "",
       "# kaccess\n\n[Bell]\nSystemBell=true\n\n[Keyboard]\nSlowKeys=false\nBounceKeys=false\nBounceDelay=500\n\n"
       "[Mouse]\nMouseKeys=true\n"},
      {"both", std::string(kGnomeGroup) + "bouncekeys-enable=true\n", "[Keyboard]\nSlowKeys=true\n",
       std::string(kGnomeGroup) + "bouncekeys-enable=false\n", "[Keyboard]\nSlowKeys=false\n"},
      {"nothing on: nothing written", std::string(kGnomeGroup) + "slowkeys-enable=false\n", "[Keyboard]\n",
       std::string(kGnomeGroup) + "slowkeys-enable=false\n", "[Keyboard]\n"},
  };
  for (const Case& c : cases) {
    TempHome home;
    if (!c.gnome.empty()) TempHome::Write(home.Gnome(), c.gnome);
    if (!c.kde.empty()) {
      TempHome::Write(home.Kde(), c.kde);
      chmod(home.Kde().c_str(), 0640);
    }
    const Machine machine{RecordedPlaces(home)};

    const RepairOutcome outcome = machine.Repair();

    EXPECT_TRUE(outcome.succeeded) << c.label;
    EXPECT_EQ(outcome.message, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS") << c.label;
    EXPECT_EQ(machine.Check(), kOff) << c.label;
    if (!c.gnome.empty()) {
      EXPECT_EQ(TempHome::Read(home.Gnome()), c.gnomeAfter) << c.label;
    }
    if (!c.kde.empty()) {
      EXPECT_EQ(TempHome::Read(home.Kde()), c.kdeAfter) << c.label;
      struct stat status {};
      EXPECT_EQ(stat(home.Kde().c_str(), &status), 0);
      EXPECT_EQ(status.st_mode & 0777, 0640u) << c.label;
    }
  }
}

// The test's own look at the display, beside the one under test.
unsigned int EnabledControls(const std::string& display, unsigned int turnOn = 0) {
  Display* connection = XOpenDisplay(display.c_str());
  if (connection == nullptr) return ~0u;
  if (turnOn != 0) XkbChangeEnabledControls(connection, XkbUseCoreKbd, turnOn, turnOn);
  XkbDescPtr keyboard = XkbAllocKeyboard();
  XkbGetControls(connection, XkbAllControlsMask, keyboard);
  const unsigned int enabled = keyboard->ctrls->enabled_ctrls;
  XkbFreeKeyboard(keyboard, 0, True);
  XCloseDisplay(connection);
  return enabled;
}

TEST(FilterKeys, TheAccessXControlsOfAPrivateDisplayAreReadAndTurnedOff) {
  if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
  // -noreset: the server keeps its controls when its last client goes, as a desktop's always has one.
  Spawned xvfb({"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-noreset"});
  const std::string display = ":" + xvfb.ReadLine();
  ASSERT_NE(display, ":") << "Xvfb did not start";
  TempHome home;
  const Machine machine{RecordedPlaces(home, display)};
  EXPECT_EQ(machine.Check(), kOff);
  EXPECT_EQ(machine.Here(), "X display " + display);

  const unsigned int enabled = EnabledControls(display, XkbSlowKeysMask | XkbBounceKeysMask);
  ASSERT_EQ(enabled & (XkbSlowKeysMask | XkbBounceKeysMask), XkbSlowKeysMask | XkbBounceKeysMask);
  EXPECT_EQ(machine.Check(), kOn);

  EXPECT_TRUE(machine.Repair().succeeded);
  EXPECT_EQ(EnabledControls(display), enabled & ~(XkbSlowKeysMask | XkbBounceKeysMask)) << "other controls kept";
  EXPECT_EQ(machine.Check(), kOff);
}

// ---- dconf, in a child process whose home, configuration and runtime directories are temporary:
// this user's settings are never read or written.

const char* NameOf(FilterKeysSetting::State s) {
  return s == FilterKeysSetting::State::On ? "On" : s == FilterKeysSetting::State::Off ? "Off" : "CannotAnswer";
}
const char* NameOf(FilterKeysChange c) {
  constexpr const char* kNames[] = {"TurnedOff", "NothingOn", "NeedsSession", "NotPermitted", "Failed"};
  return kNames[static_cast<int>(c)];
}

void TurnOnSlowKeysThroughDconf() {
  GSettings* settings = g_settings_new("org.gnome.desktop.a11y.keyboard");
  g_settings_set_boolean(settings, "slowkeys-enable", TRUE);
  g_settings_sync();
  g_object_unref(settings);
}

// What GNOME's settings and the repair do with a session bus and after it has gone.
std::string SeenInAPrivateSession() {
  TempHome home;
  const std::string runtime = home.path() + "/run";
  fs::create_directories(runtime);
  chmod(runtime.c_str(), 0700);
  setenv("HOME", home.path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home.path() + "/.config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "GSETTINGS_BACKEND", "DCONF_PROFILE"}) unsetenv(name);

  std::ostringstream seen;
  SourcePlaces places;  // the running machine's, as this process sees it
  places.home = home.path();
  {
    Spawned bus(
        {"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + runtime + "/bus", "--print-address=3"});
    places.sessionBus = bus.ReadLine();
    setenv("DBUS_SESSION_BUS_ADDRESS", places.sessionBus.c_str(), 1);
    // dconf shares GLib's session connection, which ends the process when its bus goes; this
    // process outlives the bus it stops below.
    g_dbus_connection_set_exit_on_close(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr), FALSE);
    TurnOnSlowKeysThroughDconf();
    const FilterKeysSetting on = ReadGnomeFilterKeys(places);
    seen << on.where.substr(0, on.where.find(" of ")) << ": " << NameOf(on.state);
    seen << ", repair " << NameOf(TurnOffFilterKeys(places)) << ", then " << NameOf(ReadGnomeFilterKeys(places).state);
    seen << (fs::exists(home.path() + "/.config/dconf/user") ? ", stored in the temporary home" : ", stored elsewhere");
    TurnOnSlowKeysThroughDconf();
    TempHome::Write(home.Kde(), "[Keyboard]\nBounceKeys=true\n");
  }
  seen << "; without a session bus: " << NameOf(TurnOffFilterKeys(places));
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  places.sessionBus.clear();
  seen << ", " << NameOf(TurnOffFilterKeys(places));
  seen << ", then GNOME " << NameOf(ReadGnomeFilterKeys(places).state) << " and KDE "
       << NameOf(ReadKdeFilterKeys(places).state);
  return seen.str();
}

[[noreturn]] void DconfInAPrivateSession() {
  std::fprintf(stderr, "%s\n", SeenInAPrivateSession().c_str());
  std::exit(0);
}

TEST(FilterKeys, DconfIsWrittenThroughTheSessionBusAndWithoutOneNothingChanges) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: GLib reads the temporary home
  EXPECT_EXIT(DconfInAPrivateSession(), testing::ExitedWithCode(0),
              "^GNOME settings \\(dconf\\): On, repair TurnedOff, then Off, stored in the temporary home; "
              "without a session bus: NeedsSession, NeedsSession, then GNOME On and KDE On\n$");
}

}  // namespace
}  // namespace host::machine::linuxhost
