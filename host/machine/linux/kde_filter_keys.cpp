#include "machine/linux/kde_filter_keys.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "machine/linux/source_places.h"

namespace host::machine::linuxhost {
namespace {

constexpr char kGroup[] = "Keyboard";
constexpr char kSlowKeys[] = "SlowKeys";
constexpr char kBounceKeys[] = "BounceKeys";

using KeyFile = std::unique_ptr<GKeyFile, decltype(&g_key_file_free)>;

std::string ConfigHome(const SourcePlaces& places) {
  if (places.running) {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') return xdg;
  }
  return places.home + "/.config";
}

std::string KaccessrcOf(const SourcePlaces& places) { return ConfigHome(places) + "/kaccessrc"; }

struct Loaded {
  KeyFile file{nullptr, g_key_file_free};
  std::string why;  // empty when loaded
};

Loaded Load(const std::string& path) {
  Loaded loaded;
  loaded.file.reset(g_key_file_new());
  GError* error = nullptr;
  if (!g_key_file_load_from_file(loaded.file.get(), path.c_str(),
                                 static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS),
                                 &error)) {
    loaded.why = g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT)
                     ? "no KDE kaccessrc in " + path.substr(0, path.rfind('/'))
                     : "KDE kaccessrc cannot be read: " + std::string(error->message);
    g_error_free(error);
    loaded.file.reset();
  }
  return loaded;
}

// KConfig's own reading of a boolean: true, on, yes or 1 in any case; anything else, or no key, is off.
bool IsTrue(GKeyFile* file, const char* key) {
  gchar* value = g_key_file_get_value(file, kGroup, key, nullptr);
  if (value == nullptr) return false;
  g_strstrip(value);
  bool on = false;
  for (const char* yes : {"true", "on", "yes", "1"}) on = on || g_ascii_strcasecmp(value, yes) == 0;
  g_free(value);
  return on;
}

}  // namespace

FilterKeysSetting ReadKdeFilterKeys(const SourcePlaces& places) {
  FilterKeysSetting setting;
  const Loaded loaded = Load(KaccessrcOf(places));
  if (!loaded.file) {
    setting.where = loaded.why;
    return setting;
  }
  setting.where = "KDE kaccessrc";
  setting.slowKeys = IsTrue(loaded.file.get(), kSlowKeys);
  setting.bounceKeys = IsTrue(loaded.file.get(), kBounceKeys);
  setting.state = setting.slowKeys || setting.bounceKeys ? FilterKeysSetting::State::On : FilterKeysSetting::State::Off;
  return setting;
}

// The file is replaced by a new one beside it: the directory must take it.
FilterKeysWritable KdeFilterKeysWritable(const SourcePlaces& places) {
  return access(ConfigHome(places).c_str(), W_OK) == 0 ? FilterKeysWritable::Yes : FilterKeysWritable::NotPermitted;
}

bool TurnOffKdeFilterKeys(const SourcePlaces& places, const FilterKeysSetting& on) {
  const std::string path = KaccessrcOf(places);
  const Loaded loaded = Load(path);
  if (!loaded.file) return false;
  if (on.slowKeys) g_key_file_set_boolean(loaded.file.get(), kGroup, kSlowKeys, FALSE);
  if (on.bounceKeys) g_key_file_set_boolean(loaded.file.get(), kGroup, kBounceKeys, FALSE);
  gsize length = 0;
  gchar* text = g_key_file_to_data(loaded.file.get(), &length, nullptr);
  struct stat status {};
  const int mode = stat(path.c_str(), &status) == 0 ? static_cast<int>(status.st_mode & 07777) : 0600;
  // A temporary file beside it, flushed, then renamed over it: no reader sees half a file.
  const bool written = g_file_set_contents_full(path.c_str(), text, static_cast<gssize>(length),
                                                G_FILE_SET_CONTENTS_CONSISTENT, mode, nullptr);
  g_free(text);
  return written;
}

}  // namespace host::machine::linuxhost
