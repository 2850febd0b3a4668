#include "app/doctor_records.h"

#include "app/bus_ids.h"
#include "platform/encoding.h"

namespace app {
namespace {

// The smallest a row can be on the wire: five empty strings, six numbers, two bytes.
constexpr size_t kMinRowSize = 5 * 4 + 6 * 4 + 2;

DoctorRow ReadRow(PayloadReader& reader) {
  DoctorRow row;
  row.strIcon = reader.WString();
  row.clrStatus = reader.U32();
  row.strName = reader.WString();
  row.strHardware = reader.WString();
  row.strResult = reader.WString();
  row.nState = reader.U32();
  row.nReserved1 = reader.U32();
  row.strAction = reader.WString();
  row.clrAction = reader.U32();
  row.clrActionAlt = reader.U32();
  row.strReserved = reader.WString();
  row.bReserved1 = reader.Byte();
  row.bReserved2 = reader.Byte();
  row.nReserved3 = reader.U32();
  return row;
}

}  // namespace

DoctorReport ReadDoctorReport(PayloadReader& reader) {
  reader.Version(bus::kPayloadVersion);
  DoctorReport report;
  report.nModuleId = reader.U32();
  report.strSummaryKey = reader.WString();
  report.nAbnormalCount = reader.U32();
  report.strSummary = reader.WString();
  report.strDetail = reader.WString();
  for (uint32_t i = 0, count = reader.Count(kMinRowSize); i < count; ++i) report.vecItems.push_back(ReadRow(reader));
  report.nTime = reader.U32();
  report.bFinished = reader.Byte();
  report.bReserved = reader.Byte();
  return report;
}

DoctorModuleInfo ReadDoctorModuleInfo(PayloadReader& reader) {
  reader.Version(bus::kPayloadVersion);
  DoctorModuleInfo info;
  info.strIcon = reader.WString();
  info.strModuleIcon = reader.WString();
  info.strNameKey = reader.WString();
  info.nModuleId = reader.U32();
  info.nStartMsgId = reader.U32();
  info.nRepairMsgId = reader.U32();
  info.usTime = reader.U16();
  return info;
}

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
