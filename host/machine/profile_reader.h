#pragma once
// Reading the JSON of a machine profile: every value with its key path, so that an error names
// where it is, and every object refusing the keys nobody asked for, so a typo never reads as
// "absent".
#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace host::machine::profile {

using nlohmann::json;

// What a profile may give, far beyond any notebook, so that a profile cannot make the machine
// loop, wait or lay out text for ever.
constexpr size_t kMaxTextBytes = 4096;
constexpr size_t kMaxEntries = 64;  // of every list, and of host.features
constexpr uint32_t kMaxDelayMs = 600000;

std::string Child(std::string_view parent, std::string_view key);
std::string Element(std::string_view parent, size_t index);

// An error fit for one line: bytes other than printable ASCII shown as '?', a long one cut in the
// middle so that its reason at the end stays.
std::string Printable(std::string_view text);

// The first error wins; reading goes on harmlessly after it so that the code stays straight.
class Errors {
 public:
  void Add(const std::string& message);
  void WrongType(const std::string& path, std::string_view expected);
  bool Any() const { return !first_.empty(); }
  const std::string& First() const { return first_; }

 private:
  std::string first_;
};

void ReadText(const json& value, const std::string& path, Errors& errors, std::string& out);
void ReadText(const json& value, const std::string& path, Errors& errors, std::u16string& out);
void ReadTextList(const json& value, const std::string& path, Errors& errors, std::vector<std::u16string>& out);
void ReadBool(const json& value, const std::string& path, Errors& errors, bool& out);
void ReadDelay(const json& value, const std::string& path, Errors& errors, uint32_t& out);
// Library codes are unsigned 32-bit; a negative number is taken modulo 2^32 (-5 is 4294967291).
void ReadCode(const json& value, const std::string& path, Errors& errors, uint32_t& out);

// An integer within [low, high]; floats and out-of-range numbers are refused.
bool ReadInteger(const json& value, const std::string& path, Errors& errors, int64_t low, uint64_t high,
                 const std::string& expected, int64_t& out);

template <class Unsigned, uint64_t high = std::numeric_limits<Unsigned>::max()>
void ReadUnsigned(const json& value, const std::string& path, Errors& errors, Unsigned& out) {
  const std::string expected = "an integer from 0 to " + std::to_string(high);
  int64_t number = 0;
  if (ReadInteger(value, path, errors, 0, high, expected, number)) out = static_cast<Unsigned>(number);
}

template <int32_t high = std::numeric_limits<int32_t>::max()>
void ReadSigned(const json& value, const std::string& path, Errors& errors, int32_t& out) {
  constexpr int32_t low = std::numeric_limits<int32_t>::min();
  int64_t number = 0;
  if (ReadInteger(value, path, errors, low, high,
                  "an integer from " + std::to_string(low) + " to " + std::to_string(high), number)) {
    out = static_cast<int32_t>(number);
  }
}

// A list (or an object of names) of at most kMaxEntries.
bool FewEnough(const json& value, const std::string& path, Errors& errors);

// One JSON object of the profile. Keys are asked for by name; when the reader goes out of scope
// every key nobody asked for is refused as unknown.
class ObjectReader {
 public:
  ObjectReader(const json* value, std::string path, Errors& errors);
  ObjectReader(const ObjectReader&) = delete;
  ObjectReader& operator=(const ObjectReader&) = delete;
  ~ObjectReader();

  bool Present() const { return object_ != nullptr; }
  std::string PathOf(std::string_view key) const { return Child(path_, key); }
  const json* Find(std::string_view key);
  ObjectReader Object(std::string_view key) { return ObjectReader(Find(key), PathOf(key), errors_); }

  // Calls each(element, path) for every element of the array under key.
  template <class Each>
  void Array(std::string_view key, Each each) {
    const json* value = Find(key);
    if (!value) return;
    if (!value->is_array()) return errors_.WrongType(PathOf(key), "an array");
    if (!FewEnough(*value, PathOf(key), errors_)) return;
    for (size_t i = 0; i < value->size(); ++i) each((*value)[i], Element(PathOf(key), i));
  }

  Errors& errors() { return errors_; }

 private:
  const json* object_;
  std::string path_;
  Errors& errors_;
  std::set<std::string, std::less<>> asked_;
};

}  // namespace host::machine::profile
