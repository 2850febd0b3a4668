#include "machine/linux/proc_parsers.h"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "machine/linux/sysfs_root.h"

namespace host::machine::linuxhost {
namespace {

// Splits "key<sep>value" once; both sides trimmed.
bool SplitField(std::string_view line, char separator, std::string_view& key, std::string_view& value) {
  const size_t at = line.find(separator);
  if (at == std::string_view::npos) return false;
  key = Trim(line.substr(0, at));
  value = Trim(line.substr(at + 1));
  return true;
}

template <class Each>
void ForEachLine(std::string_view text, Each each) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    each(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

uint64_t ReadUnsigned(std::string_view text, int base = 10) {
  uint64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value, base);
  return value;
}

// A bitmap printed as space-separated hexadecimal words of 64 bits, highest first; lowest first here.
std::vector<uint64_t> BitmapWords(std::string_view bitmap) {
  std::vector<uint64_t> words;
  std::istringstream fields{std::string(bitmap)};
  for (std::string word; fields >> word;) words.push_back(ReadUnsigned(word, 16));
  std::reverse(words.begin(), words.end());
  return words;
}

}  // namespace

CpuInfo ParseCpuInfo(std::string_view text) {
  CpuInfo info;
  std::set<std::pair<std::string, std::string>> cores;  // (physical id, core id)
  std::string physicalId;
  uint32_t coresPerPackage = 0;
  ForEachLine(text, [&](std::string_view line) {
    std::string_view key, value;
    if (!SplitField(line, ':', key, value)) return;
    if (key == "processor") {
      ++info.threads;
    } else if (key == "model name" && info.model.empty()) {
      info.model = value;
    } else if (key == "vendor_id" && info.vendor.empty()) {
      info.vendor = value;
    } else if (key == "physical id") {
      physicalId = value;
    } else if (key == "core id") {
      cores.emplace(physicalId, std::string(value));
    } else if (key == "cpu cores" && coresPerPackage == 0) {
      coresPerPackage = static_cast<uint32_t>(ReadUnsigned(value));
    } else if (key == "cpu MHz" && info.mhz == 0) {
      double mhz = 0;
      std::from_chars(value.data(), value.data() + value.size(), mhz);
      if (mhz >= 0.5 && mhz < 1e6) info.mhz = static_cast<uint32_t>(mhz + 0.5);
    } else if (key == "flags" && info.flags.empty()) {
      std::istringstream words{std::string(value)};
      for (std::string flag; words >> flag;) info.flags.insert(flag);
    }
  });
  // Processors without topology lines (some virtual machines, other architectures) count one
  // core per thread.
  info.cores = !cores.empty() ? static_cast<uint32_t>(cores.size()) : coresPerPackage != 0 ? coresPerPackage : info.threads;
  return info;
}

uint64_t ParseMemTotalKiB(std::string_view text) {
  uint64_t total = 0;
  ForEachLine(text, [&](std::string_view line) {
    std::string_view key, value;
    if (SplitField(line, ':', key, value) && key == "MemTotal") total = ReadUnsigned(value);
  });
  return total;
}

// Each card is two lines:
//  0 [PCH            ]: HDA-Intel - HDA Intel PCH
//                       HDA Intel PCH at 0xf1610000 irq 147
std::vector<SoundCard> ParseSoundCards(std::string_view text) {
  std::vector<SoundCard> cards;
  bool expectLongName = false;
  ForEachLine(text, [&](std::string_view line) {
    const std::string_view trimmed = Trim(line);
    const size_t open = trimmed.find('[');
    const size_t close = trimmed.find("]:");
    if (!trimmed.empty() && trimmed[0] >= '0' && trimmed[0] <= '9' && open != std::string_view::npos &&
        close != std::string_view::npos && open < close) {
      SoundCard card;
      card.index = static_cast<uint32_t>(ReadUnsigned(trimmed));
      card.id = Trim(trimmed.substr(open + 1, close - open - 1));
      const std::string_view rest = Trim(trimmed.substr(close + 2));
      const size_t dash = rest.find(" - ");
      card.driver = Trim(rest.substr(0, dash));
      card.name = dash == std::string_view::npos ? std::string() : std::string(Trim(rest.substr(dash + 3)));
      cards.push_back(std::move(card));
      expectLongName = true;
    } else if (expectLongName && !trimmed.empty()) {
      cards.back().longName = trimmed;
      expectLongName = false;
    }
  });
  return cards;
}

std::vector<PcmDevice> ParsePcmDevices(std::string_view text) {
  std::vector<PcmDevice> devices;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const auto card = ParseNumber(Trim(line.substr(0, line.find('-'))));
    if (!card || line.find(':') == std::string_view::npos) continue;
    devices.push_back({static_cast<uint32_t>(*card), line.find(" : playback ") != std::string_view::npos,
                       line.find(" : capture ") != std::string_view::npos});
  }
  return devices;
}

std::vector<InputDevice> ParseInputDevices(std::string_view text) {
  std::vector<InputDevice> devices;
  InputDevice current;
  bool open = false;
  auto finish = [&] {
    if (open) devices.push_back(current);
    current = InputDevice{};
    open = false;
  };
  ForEachLine(text, [&](std::string_view line) {
    if (Trim(line).empty()) return finish();
    if (line.size() < 3 || line[1] != ':') return;
    open = true;
    const char kind = line[0];
    const std::string_view body = Trim(line.substr(2));
    std::string_view key, value;
    if (kind == 'I') {
      const size_t at = body.find("Bus=");
      if (at != std::string_view::npos) current.bus = static_cast<uint32_t>(ReadUnsigned(body.substr(at + 4, 4), 16));
    } else if (kind == 'N' && SplitField(body, '=', key, value)) {
      current.name = value.size() >= 2 && value.front() == '"' ? value.substr(1, value.size() - 2) : value;
    } else if (kind == 'H' && SplitField(body, '=', key, value)) {
      current.handlers = value;
    } else if (kind == 'B' && SplitField(body, '=', key, value)) {
      const std::vector<uint64_t> words = BitmapWords(value);
      if (key == "EV") current.events = words.empty() ? 0 : words.front();
      if (key == "KEY") current.keys = words;
    }
  });
  finish();
  return devices;
}

bool IsKeyboard(const InputDevice& device) {
  constexpr uint64_t kEvKey = 1u << 1, kEvRepeat = 1u << 20;
  // KEY_ESC (1) to KEY_D (32): escape, the digit row and the first letters.
  constexpr uint64_t kTypingKeys = 0x1FFFFFFFEull;
  const uint64_t lowKeys = device.keys.empty() ? 0 : device.keys.front();
  return (device.events & kEvKey) && (device.events & kEvRepeat) && (lowKeys & kTypingKeys) == kTypingKeys;
}

bool ReportsKey(const InputDevice& device, uint32_t code) {
  const size_t word = code / 64;
  return word < device.keys.size() && (device.keys[word] >> (code % 64) & 1) != 0;
}

// Inter-|sta-|   Quality        |   Discarded packets               | Missed | WE
//  face | tus | link level noise |  nwid  crypt   frag  retry   misc | beacon | 22
// wlan0: 0000   54.  -56.  -256        0      0      0      0     12        0
std::map<std::string, int32_t> ParseWirelessLevels(std::string_view text) {
  std::map<std::string, int32_t> levels;
  ForEachLine(text, [&](std::string_view line) {
    std::string_view name, rest;
    if (!SplitField(line, ':', name, rest) || name.find(' ') != std::string_view::npos || name.find('|') != std::string_view::npos) {
      return;
    }
    std::istringstream fields{std::string(rest)};
    std::string status, link, level;
    if (!(fields >> status >> link >> level)) return;
    if (level.ends_with('.')) level.pop_back();
    int32_t dbm = 0;
    const auto [end, ec] = std::from_chars(level.data(), level.data() + level.size(), dbm);
    if (ec == std::errc()) levels[std::string(name)] = dbm;
  });
  return levels;
}

std::map<std::string, std::string> ParseUevent(std::string_view text) {
  std::map<std::string, std::string> values;
  ForEachLine(text, [&](std::string_view line) {
    std::string_view key, value;
    if (SplitField(line, '=', key, value) && !key.empty()) values[std::string(key)] = value;
  });
  return values;
}

std::vector<uint32_t> ParseCpuList(std::string_view text) {
  std::vector<uint32_t> cpus;
  text = Trim(text);
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view range = text.substr(0, comma);
    const size_t dash = range.find('-');
    const uint64_t first = ReadUnsigned(range.substr(0, dash));
    const uint64_t last = dash == std::string_view::npos ? first : ReadUnsigned(range.substr(dash + 1));
    for (uint64_t cpu = first; cpu <= last && cpu - first < 65536; ++cpu) cpus.push_back(static_cast<uint32_t>(cpu));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return cpus;
}

uint64_t ParseCacheSizeKiB(std::string_view text) {
  text = Trim(text);
  const uint64_t value = ReadUnsigned(text);
  if (text.ends_with('M')) return value * 1024;
  if (text.ends_with('G')) return value * 1024 * 1024;
  return value;
}

}  // namespace host::machine::linuxhost
