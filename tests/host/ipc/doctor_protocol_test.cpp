// The health-check protocol's records held to wire bytes written by hand from the field order and
// the encoding: the plug-in writes exactly these bytes and reads them back, and the host's module
// reads the same bytes into the same record. Every value differs from its neighbours, so a
// swapped field shows.
#include "IPCMessage/DoctorProtocol.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/services/doctor_records.h"
#include "ipc/doctor_result.h"
#include "ipc/ipc_data_io.h"

namespace {

using namespace doctor;
using Bytes = std::vector<uint8_t>;

const tagDoctorItem kRow{u"I", 0xFF68D568, u"N\u00e4", u"H", u"", 3, 0x11223344, u"A", 0xFFFA2A2D, 0x01020304, u"R", 7,
                         1,    5};
const Bytes kRowBytes = {
    0x01, 0, 0, 0, 'I', 0,              // strIcon
    0x68, 0xD5, 0x68, 0xFF,             // clrStatus
    0x02, 0, 0, 0, 'N', 0, 0xE4, 0x00,  // strName: UTF-16 units
    0x01, 0, 0, 0, 'H', 0,              // strHardware
    0x00, 0, 0, 0,                      // strResult, empty
    0x03, 0, 0, 0,                      // nState
    0x44, 0x33, 0x22, 0x11,             // nReserved1
    0x01, 0, 0, 0, 'A', 0,              // strAction
    0x2D, 0x2A, 0xFA, 0xFF,             // clrAction
    0x04, 0x03, 0x02, 0x01,             // clrActionAlt
    0x01, 0, 0, 0, 'R', 0,              // strReserved
    0x07, 0x01,                         // bReserved1, bReserved2
    0x05, 0, 0, 0,                      // nReserved3
};

const tagDoctorResult kReport{0x390000, u"K", 2, u"S", u"D", {kRow}, 1860000, 0, 9};
Bytes ReportBytes() {
  Bytes bytes = {
      0x00, 0x00, 0x39, 0x00,                                             // nModuleId
      0x01, 0, 0, 0, 'K', 0,                                              // strSummaryKey
      0x02, 0, 0, 0,                                                      // nAbnormalCount
      0x01, 0, 0, 0, 'S', 0, 0x01, 0, 0, 0, 'D', 0,                       // strSummary, strDetail
      0x01, 0, 0, 0,                                                      // vecItems: one row
  };
  bytes.insert(bytes.end(), kRowBytes.begin(), kRowBytes.end());
  bytes.insert(bytes.end(), {0xA0, 0x61, 0x1C, 0x00, 0x00, 0x09});  // nTime, bFinished, bReserved
  return bytes;
}

const tagDoctorModuleInfo kModuleInfo{u"i", u"m", u"k", 0x390000, 0x390020, 0x390021, 60000};
const Bytes kModuleInfoBytes = {
    0x01, 0, 0, 0, 'i', 0, 0x01, 0, 0, 0, 'm', 0, 0x01, 0, 0, 0, 'k', 0,  // strIcon, strModuleIcon, strNameKey
    0x00, 0x00, 0x39, 0x00, 0x20, 0x00, 0x39, 0x00, 0x21, 0x00, 0x39, 0x00,  // module, start and repair ids
    0x60, 0xEA,                                                             // usTime
};

// A whole payload as the bus carries it: the version word, then the record.
Bytes Payload(const Bytes& record) {
  Bytes bytes = {0x01, 0, 0, 0};
  bytes.insert(bytes.end(), record.begin(), record.end());
  return bytes;
}

template <typename Record>
Bytes PluginWrites(const Record& record) {
  tagIPC_MESSAGE_ITEM buffer{};
  zel::sysdiagnose::CIPCDataIO writer(&buffer, zel::sysdiagnose::CIPCDataIO::kWriter);
  zel::sysdiagnose::Serialize(writer, record);
  return Bytes(buffer.pData, buffer.pData + writer.Position());
}

template <typename Record>
Record PluginReads(Bytes bytes, Record into) {
  tagIPC_MESSAGE_ITEM message{};
  message.nDataLen = static_cast<uint32_t>(bytes.size());
  message.pData = bytes.data();
  zel::sysdiagnose::CIPCDataIO reader(&message, zel::sysdiagnose::CIPCDataIO::kReader);
  zel::sysdiagnose::Unserialize(reader, into);
  EXPECT_EQ(reader.Position(), bytes.size());
  return into;
}

template <typename Record>
Record HostReads(const Bytes& bytes, Record (*read)(app::PayloadReader&)) {
  app::PayloadReader reader(bytes.data(), bytes.size());
  Record record = read(reader);
  EXPECT_EQ(reader.Left(), 0u);
  return record;
}

TEST(DoctorProtocol, EachRecordIsItsWireBytesAtBothEnds) {
  {
    SCOPED_TRACE("a result, with its row");
    tagDoctorResult stale;
    stale.vecItems.resize(3);  // replaced, not appended to
    EXPECT_EQ(PluginWrites(kReport), ReportBytes());
    EXPECT_EQ(PluginReads(ReportBytes(), stale), kReport);
    EXPECT_EQ(HostReads(Payload(ReportBytes()), &app::ReadDoctorReport), kReport);
  }
  {
    SCOPED_TRACE("the module information");
    EXPECT_EQ(PluginWrites(kModuleInfo), kModuleInfoBytes);
    EXPECT_EQ(PluginReads(kModuleInfoBytes, tagDoctorModuleInfo{}), kModuleInfo);
    EXPECT_EQ(HostReads(Payload(kModuleInfoBytes), &app::ReadDoctorModuleInfo), kModuleInfo);
  }
}

TEST(DoctorProtocol, TheHostRefusesAPayloadCutShortOrClaimingMoreThanItHolds) {
  std::vector<std::pair<std::string, Bytes>> cases = {
      {"version 2", {0x02, 0, 0, 0}},
      {"a summary key of four billion units", {0x01, 0, 0, 0, 0, 0, 0x39, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"a million rows in a few bytes",
       {0x01, 0, 0, 0, 0, 0, 0x39, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x42, 0x0F, 0}},
  };
  const Bytes whole = Payload(ReportBytes());
  for (size_t length = 0; length < whole.size(); ++length) {
    cases.emplace_back("cut at " + std::to_string(length), Bytes(whole.begin(), whole.begin() + length));
  }
  for (const auto& [what, bytes] : cases) {
    app::PayloadReader reader(bytes.data(), bytes.size());
    EXPECT_THROW(app::ReadDoctorReport(reader), std::runtime_error) << what;
  }
}

}  // namespace
