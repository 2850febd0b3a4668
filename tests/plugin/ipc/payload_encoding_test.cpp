// The payload codec: CIPCDataIO and the encoding of strings, vectors and records.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/ipc/inbox.h"
#include "ipc/doctor_module_info.h"
#include "ipc/doctor_result.h"
#include "ipc/ipc_data_io.h"
#include "ipc/ipc_serialize.h"
#include "support/golden_wire.h"

using namespace zel::sysdiagnose;
using testipc::Le32;

namespace {

std::vector<uint8_t> Encode(const std::function<void(IIPCDataIO&)>& write) {
  tagIPC_MESSAGE_ITEM buffer{};
  CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
  write(writer);
  return std::vector<uint8_t>(buffer.pData, buffer.pData + writer.Position());
}

void Read(std::vector<uint8_t> bytes, const std::function<void(IIPCDataIO&)>& read) {
  tagIPC_MESSAGE_ITEM message{};
  message.nDataLen = static_cast<uint32_t>(bytes.size());
  message.pData = bytes.data();
  CIPCDataIO reader(&message, CIPCDataIO::kReader);
  read(reader);
}

// The runtime error's text, or "" when the call did not throw.
std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "";
}

}  // namespace

TEST(PayloadEncoding, WideStringsAreCountedInUtf16CodeUnits) {
  // One letter and one character outside the basic plane: three code units.
  EXPECT_EQ(Encode([](IIPCDataIO& io) { WriteWString(io, u"a\U0001F600"); }),
            (std::vector<uint8_t>{3, 0, 0, 0, 'a', 0, 0x3D, 0xD8, 0x00, 0xDE}));
}

TEST(PayloadEncoding, WriterGrowsInStepsOf64BytesKeepingWhatItHolds) {
  tagIPC_MESSAGE_ITEM buffer{};
  CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
  for (int i = 0; i < 64; ++i) writer.WriteByte(static_cast<uint8_t>(i));
  EXPECT_EQ(buffer.nDataLen, 64u);

  writer.WriteByte(64);

  EXPECT_EQ(buffer.nDataLen, 128u);
  EXPECT_EQ(writer.Position(), 65u);
  for (int i = 0; i <= 64; ++i) ASSERT_EQ(buffer.pData[i], i);
}

TEST(PayloadEncoding, EachMisuseFailsWithItsOwnText) {
  tagIPC_MESSAGE_ITEM buffer{};
  CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
  uint32_t value = 0;
  const struct {
    const char* expected;
    std::function<void()> call;
  } cases[] = {
      {"Invalid Serialize ver", [] { Read(Le32({2}), [](IIPCDataIO& io) { ReadVersion(io); }); }},
      {"Data for unserialize too small", [&] { Read({1, 2, 3}, [&](IIPCDataIO& io) { io.ReadUInt32(value); }); }},
      {"Invalid serialize call type", [&] { writer.ReadUInt32(value); }},
      {"Invalid buffer size", [&] { writer.Reserve(0xFFFFFFFF); }},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.call), c.expected);
}

TEST(PayloadEncoding, ACountPromisingMoreThanTheBytesHoldFailsWithoutAllocatingForIt) {
  // Room for this many items would not be allocatable: trying would throw something else.
  std::vector<tagDoctorItem> items;
  EXPECT_EQ(ErrorOf([&] { Read(Le32({0xFFFFFFFF, 0}), [&](IIPCDataIO& io) { Unserialize(io, items); }); }),
            "Data for unserialize too small");
}

// The records of the hand-written wire bytes (support/golden_wire.h), which the host's reader of
// them is held to as well.
tagDoctorItem SampleItem() {
  tagDoctorItem item;
  item.strIcon = u"I";
  item.clrStatus = 0xFF68D568;
  item.strName = u"N\u00e4";
  item.strHardware = u"H";
  item.strResult = u"";
  item.nState = 3;
  item.nReserved1 = 0x11223344;
  item.strAction = u"A";
  item.clrAction = 0xFFFA2A2D;
  item.clrActionAlt = 0x01020304;
  item.strReserved = u"R";
  item.bReserved1 = 7;
  item.bReserved2 = 1;
  item.nReserved3 = 5;
  return item;
}

// Written and read back, the record and the bytes are one another.
template <typename Record>
void ExpectWireBytes(const Record& record, Record decoded, const std::vector<uint8_t>& bytes) {
  EXPECT_EQ(Encode([&](IIPCDataIO& io) { Serialize(io, record); }), bytes);
  Read(bytes, [&](IIPCDataIO& io) { Unserialize(io, decoded); });
  EXPECT_EQ(decoded, record);
}

TEST(PayloadEncoding, EachHealthCheckRecordIsItsWireBytes) {
  {
    SCOPED_TRACE("tagDoctorItem");
    ExpectWireBytes(SampleItem(), tagDoctorItem{}, golden::kRowBytes);
  }
  {
    SCOPED_TRACE("tagDoctorResult");
    tagDoctorResult result;
    result.nModuleId = 0x390000;
    result.strSummaryKey = u"K";
    result.nAbnormalCount = 2;
    result.strSummary = u"S";
    result.strDetail = u"D";
    result.vecItems = {SampleItem()};
    result.nTime = 1860000;
    result.bFinished = 0;
    result.bReserved = 9;
    const std::vector<uint8_t> bytes = golden::ReportBytes();
    tagDoctorResult decoded;
    decoded.vecItems.resize(3);  // replaced, not appended to
    ExpectWireBytes(result, decoded, bytes);
  }
  {
    SCOPED_TRACE("tagDoctorModuleInfo");
    tagDoctorModuleInfo info{u"i", u"m", u"k", 0x390000, 0x390020, 0x390021, 60000};
    ExpectWireBytes(info, tagDoctorModuleInfo{}, golden::kModuleInfoBytes);
  }
}
