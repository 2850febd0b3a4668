#include "machine/profile_reader.h"

#include "platform/encoding.h"

namespace host::machine::profile {
namespace {

// An error line keeps this much of its beginning and of its end.
constexpr size_t kMaxQuotedBytes = 100;

}  // namespace

std::string Child(std::string_view parent, std::string_view key) {
  std::string path(parent);
  if (!path.empty()) path += '.';
  path += key;
  return path;
}

std::string Element(std::string_view parent, size_t index) {
  return std::string(parent) + "[" + std::to_string(index) + "]";
}

std::string Printable(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.size() > 2 * kMaxQuotedBytes && i == kMaxQuotedBytes) {
      out += "...";
      i = text.size() - kMaxQuotedBytes;
    }
    const auto byte = static_cast<unsigned char>(text[i]);
    out += byte < 0x20 || byte >= 0x7F ? '?' : text[i];
  }
  return out;
}

void Errors::Add(const std::string& message) {
  if (first_.empty()) first_ = Printable(message);
}

void Errors::WrongType(const std::string& path, std::string_view expected) {
  Add("'" + path + "' must be " + std::string(expected));
}

void ReadText(const json& value, const std::string& path, Errors& errors, std::string& out) {
  if (!value.is_string()) return errors.WrongType(path, "a string");
  const auto& text = value.get_ref<const std::string&>();
  if (text.size() > kMaxTextBytes) {
    return errors.Add("'" + path + "' is longer than " + std::to_string(kMaxTextBytes) + " bytes");
  }
  out = text;
}

void ReadText(const json& value, const std::string& path, Errors& errors, std::u16string& out) {
  std::string utf8;
  ReadText(value, path, errors, utf8);
  out = platform::Utf8ToUtf16(utf8);
}

void ReadTextList(const json& value, const std::string& path, Errors& errors, std::vector<std::u16string>& out) {
  if (!value.is_array()) return errors.WrongType(path, "an array");
  if (!FewEnough(value, path, errors)) return;
  for (size_t i = 0; i < value.size(); ++i) ReadText(value[i], Element(path, i), errors, out.emplace_back());
}

void ReadBool(const json& value, const std::string& path, Errors& errors, bool& out) {
  if (!value.is_boolean()) return errors.WrongType(path, "true or false");
  out = value.get<bool>();
}

bool ReadInteger(const json& value, const std::string& path, Errors& errors, int64_t low, uint64_t high,
                 const std::string& expected, int64_t& out) {
  const bool fits = (value.is_number_unsigned() && value.get<uint64_t>() <= high) ||
                    (value.is_number_integer() && !value.is_number_unsigned() && value.get<int64_t>() >= low &&
                     (value.get<int64_t>() < 0 || static_cast<uint64_t>(value.get<int64_t>()) <= high));
  if (!fits) {
    errors.WrongType(path, expected);
    return false;
  }
  out = value.is_number_unsigned() ? static_cast<int64_t>(value.get<uint64_t>()) : value.get<int64_t>();
  return true;
}

void ReadDelay(const json& value, const std::string& path, Errors& errors, uint32_t& out) {
  ReadUnsigned<uint32_t, kMaxDelayMs>(value, path, errors, out);
}

// Only numbers that fit 32 bits either way are accepted, so a stray digit is caught.
void ReadCode(const json& value, const std::string& path, Errors& errors, uint32_t& out) {
  int64_t number = 0;
  if (ReadInteger(value, path, errors, std::numeric_limits<int32_t>::min(), std::numeric_limits<uint32_t>::max(),
                  "a 32-bit code from -2147483648 to 4294967295", number)) {
    out = static_cast<uint32_t>(number);
  }
}

bool FewEnough(const json& value, const std::string& path, Errors& errors) {
  if (value.size() <= kMaxEntries) return true;
  errors.Add("'" + path + "' holds more than " + std::to_string(kMaxEntries) + " entries");
  return false;
}

ObjectReader::ObjectReader(const json* value, std::string path, Errors& errors)
    : object_(value), path_(std::move(path)), errors_(errors) {
  if (object_ && !object_->is_object()) {
    errors_.WrongType(path_, "an object");
    object_ = nullptr;
  }
}

ObjectReader::~ObjectReader() {
  if (!object_) return;
  for (const auto& item : object_->items()) {
    if (!asked_.contains(item.key())) errors_.Add("unknown key '" + PathOf(item.key()) + "'");
  }
}

const json* ObjectReader::Find(std::string_view key) {
  asked_.emplace(key);
  if (!object_) return nullptr;
  const auto it = object_->find(key);
  return it == object_->end() ? nullptr : &*it;
}

}  // namespace host::machine::profile
