// A sound card's mixer for the tests, as an alsa-lib control plugin: Master, Speaker and Headphone
// playback switches and volumes, kept in a small state file so that a change made through one
// handle (a repair) is what the next handle sees, in this process or another.
//
//   ctl_type.testmixer { lib "/abs/path/alsa_test_mixer.so" }
//   ctl.default { type testmixer state "/tmp/.../mixer" [readonly true] }
//
// State file: one line per control, "Master Playback Switch: 1 1", "Speaker Playback Volume: 0 0";
// a control it does not name keeps its default (switched on, volume 60 of 0..87).
#include <alsa/asoundlib.h>
#include <alsa/control_external.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr long kVolumeMax = 87;  // the range of a common HDA codec's Master
constexpr unsigned kChannels = 2;

struct Control {
  const char* name;
  bool isSwitch;
  std::array<long, kChannels> values;
};

struct Mixer {
  snd_ctl_ext_t ext{};
  std::string statePath;
  bool readOnly = false;
  std::array<Control, 6> controls{{
      {"Master Playback Switch", true, {1, 1}},
      {"Master Playback Volume", false, {60, 60}},
      {"Speaker Playback Switch", true, {1, 1}},
      {"Speaker Playback Volume", false, {60, 60}},
      {"Headphone Playback Switch", true, {1, 1}},
      {"Headphone Playback Volume", false, {60, 60}},
  }};
};

Mixer& Of(snd_ctl_ext_t* ext) { return *static_cast<Mixer*>(ext->private_data); }

void Load(Mixer& mixer) {
  std::ifstream in(mixer.statePath);
  for (std::string line; std::getline(in, line);) {
    const size_t colon = line.rfind(':');
    if (colon == std::string::npos) continue;
    for (Control& control : mixer.controls) {
      if (line.compare(0, colon, control.name) != 0) continue;
      std::istringstream values(line.substr(colon + 1));
      for (long& value : control.values) values >> value;
    }
  }
}

// Whole or not at all: a reader in another process never sees half a state.
bool Save(const Mixer& mixer) {
  const std::string temporary = mixer.statePath + ".new";
  std::FILE* out = std::fopen(temporary.c_str(), "w");
  if (out == nullptr) return false;
  for (const Control& control : mixer.controls) {
    std::fprintf(out, "%s:", control.name);
    for (long value : control.values) std::fprintf(out, " %ld", value);
    std::fprintf(out, "\n");
  }
  const bool written = std::fflush(out) == 0 && fsync(fileno(out)) == 0;
  return std::fclose(out) == 0 && written && std::rename(temporary.c_str(), mixer.statePath.c_str()) == 0;
}

void Close(snd_ctl_ext_t* ext) { delete &Of(ext); }

int ElemCount(snd_ctl_ext_t* ext) { return static_cast<int>(Of(ext).controls.size()); }

int ElemList(snd_ctl_ext_t* ext, unsigned int offset, snd_ctl_elem_id_t* id) {
  snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
  snd_ctl_elem_id_set_name(id, Of(ext).controls.at(offset).name);
  return 0;
}

snd_ctl_ext_key_t FindElem(snd_ctl_ext_t* ext, const snd_ctl_elem_id_t* id) {
  const char* name = snd_ctl_elem_id_get_name(id);
  const auto& controls = Of(ext).controls;
  for (size_t i = 0; i < controls.size(); ++i) {
    if (std::strcmp(controls[i].name, name) == 0) return i;
  }
  return SND_CTL_EXT_KEY_NOT_FOUND;
}

int GetAttribute(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, int* type, unsigned int* access, unsigned int* count) {
  const Mixer& mixer = Of(ext);
  *type = mixer.controls.at(key).isSwitch ? SND_CTL_ELEM_TYPE_BOOLEAN : SND_CTL_ELEM_TYPE_INTEGER;
  *access = mixer.readOnly ? SND_CTL_EXT_ACCESS_READ : SND_CTL_EXT_ACCESS_READWRITE;
  *count = kChannels;
  return 0;
}

int GetIntegerInfo(snd_ctl_ext_t*, snd_ctl_ext_key_t, long* minimum, long* maximum, long* step) {
  *minimum = 0;
  *maximum = kVolumeMax;
  *step = 1;
  return 0;
}

int ReadInteger(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* values) {
  const Control& control = Of(ext).controls.at(key);
  std::copy(control.values.begin(), control.values.end(), values);
  return 0;
}

int WriteInteger(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* values) {
  Mixer& mixer = Of(ext);
  if (mixer.readOnly) return -EPERM;
  Control& control = mixer.controls.at(key);
  if (std::equal(control.values.begin(), control.values.end(), values)) return 0;
  std::copy(values, values + kChannels, control.values.begin());
  return Save(mixer) ? 1 : -EIO;
}

int ReadEvent(snd_ctl_ext_t*, snd_ctl_elem_id_t*, unsigned int*) { return -EAGAIN; }

constexpr snd_ctl_ext_callback_t kCallbacks = [] {
  snd_ctl_ext_callback_t callbacks{};
  callbacks.close = Close;
  callbacks.elem_count = ElemCount;
  callbacks.elem_list = ElemList;
  callbacks.find_elem = FindElem;
  callbacks.get_attribute = GetAttribute;
  callbacks.get_integer_info = GetIntegerInfo;
  callbacks.read_integer = ReadInteger;
  callbacks.write_integer = WriteInteger;
  callbacks.read_event = ReadEvent;
  return callbacks;
}();

}  // namespace

extern "C" {

SND_CTL_PLUGIN_DEFINE_FUNC(testmixer) {
  (void)root;
  auto* mixer = new Mixer();
  snd_config_iterator_t i, next;
  snd_config_for_each(i, next, conf) {
    snd_config_t* entry = snd_config_iterator_entry(i);
    const char* id = nullptr;
    if (snd_config_get_id(entry, &id) < 0) continue;
    const char* text = nullptr;
    if (std::strcmp(id, "state") == 0 && snd_config_get_string(entry, &text) == 0) {
      mixer->statePath = text;
    } else if (std::strcmp(id, "readonly") == 0) {
      mixer->readOnly = snd_config_get_bool(entry) > 0;
    } else if (std::strcmp(id, "comment") != 0 && std::strcmp(id, "type") != 0) {
      SNDERR("testmixer: unknown field %s", id);
      delete mixer;
      return -EINVAL;
    }
  }
  if (mixer->statePath.empty()) {
    SNDERR("testmixer: no state file");
    delete mixer;
    return -EINVAL;
  }
  Load(*mixer);

  snd_ctl_ext_t& ext = mixer->ext;
  ext.version = SND_CTL_EXT_VERSION;
  ext.card_idx = 0;
  std::snprintf(ext.id, sizeof ext.id, "TestMixer");
  std::snprintf(ext.driver, sizeof ext.driver, "testmixer");
  std::snprintf(ext.name, sizeof ext.name, "Test Mixer");
  std::snprintf(ext.longname, sizeof ext.longname, "Test Mixer for sysdiagnose");
  std::snprintf(ext.mixername, sizeof ext.mixername, "Test Mixer");
  ext.poll_fd = -1;
  ext.callback = &kCallbacks;
  ext.private_data = mixer;
  const int error = snd_ctl_ext_create(&ext, name, mode);
  if (error < 0) {
    delete mixer;
    return error;
  }
  *handlep = ext.handle;
  return 0;
}

SND_CTL_PLUGIN_SYMBOL(testmixer)

}  // extern "C"
