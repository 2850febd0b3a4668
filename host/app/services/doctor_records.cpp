#include "app/services/doctor_records.h"

#include "platform/encoding.h"

namespace app {
namespace {

// The reader's visitor of a record's wire fields.
struct FieldReader {
  PayloadReader& reader;
  void operator()(uint32_t& value) const { value = reader.U32(); }
  void operator()(uint16_t& value) const { value = reader.U16(); }
  void operator()(uint8_t& value) const { value = reader.Byte(); }
  void operator()(std::u16string& text) const { text = reader.WString(); }
  template <typename T>
  void operator()(std::vector<T>& items) const {
    items.clear();
    for (uint32_t i = 0, count = reader.Count(doctor::SmallestWireSize<T>()); i < count; ++i) {
      doctor::WireFields(items.emplace_back(), *this);
    }
  }
};

template <typename Record>
Record ReadRecord(PayloadReader& reader) {
  reader.Version(doctor::kPayloadVersion);
  Record record;
  doctor::WireFields(record, FieldReader{reader});
  return record;
}

}  // namespace

DoctorReport ReadDoctorReport(PayloadReader& reader) { return ReadRecord<DoctorReport>(reader); }
DoctorModuleInfo ReadDoctorModuleInfo(PayloadReader& reader) { return ReadRecord<DoctorModuleInfo>(reader); }

std::string PlainText(const std::u16string& rich) {
  std::string out;
  bool inTag = false;
  for (char c : platform::Utf16ToUtf8(rich)) {
    if (c == '{') {
      inTag = true;
    } else if (c == '}') {
      inTag = false;
    } else if (!inTag) {
      out += c;
    }
  }
  return out;
}

}  // namespace app
