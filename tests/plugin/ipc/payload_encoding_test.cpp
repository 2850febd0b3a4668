// The payload encoding of strings, vectors and the records exchanged with the host.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ipc/doctor_module_info.h"
#include "ipc/doctor_result.h"
#include "ipc/ipc_data_io.h"
#include "ipc/ipc_serialize.h"
#include "plugin/ipc/wire_bytes.h"

using namespace zel::sysdiagnose;
using testipc::WireBytes;

namespace {

std::vector<uint8_t> Encode(const std::function<void(IIPCDataIO&)>& write) {
  tagIPC_MESSAGE_ITEM buffer{};
  CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
  write(writer);
  return std::vector<uint8_t>(buffer.pData, buffer.pData + writer.Position());
}

// Runs `read` over the bytes; the runtime error's text, or "" on success.
std::string Decode(std::vector<uint8_t> bytes, const std::function<void(IIPCDataIO&)>& read) {
  tagIPC_MESSAGE_ITEM message{};
  message.nDataLen = static_cast<uint32_t>(bytes.size());
  message.pData = bytes.data();
  CIPCDataIO reader(&message, CIPCDataIO::kReader);
  try {
    read(reader);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "";
}

tagDoctorItem SampleItem(uint32_t n) {
  tagDoctorItem item;
  item.strIcon = u"file='icon.png'";
  item.clrStatus = kDoctorColorAbnormal;
  item.strName = u"Memory";
  item.strHardware = u"{f 16}{c #7F7F7F}DDR4 16 GB{/f}{/c}";
  item.strResult = u"Fehler \u00e4";
  item.nState = kDoctorStateAbnormal;
  item.nReserved1 = n;
  item.strAction = u"Repair";
  item.clrAction = 0x11223344;
  item.clrActionAlt = 0x55667788;
  item.strReserved = u"r";
  item.bReserved1 = 7;
  item.bReserved2 = 1;
  item.nReserved3 = 5;
  return item;
}

WireBytes& AppendItem(WireBytes& wire, const tagDoctorItem& item) {
  return wire.Wide(item.strIcon).U32(item.clrStatus).Wide(item.strName).Wide(item.strHardware)
      .Wide(item.strResult).U32(item.nState).U32(item.nReserved1).Wide(item.strAction)
      .U32(item.clrAction).U32(item.clrActionAlt).Wide(item.strReserved).U8(item.bReserved1)
      .U8(item.bReserved2).U32(item.nReserved3);
}

}  // namespace

TEST(PayloadEncoding, WideStringsAreCountedInUtf16CodeUnits) {
  EXPECT_EQ(Encode([](IIPCDataIO& io) { WriteWString(io, u"abc"); }).size(), 4u + 6u);
  EXPECT_EQ(Encode([](IIPCDataIO& io) { WriteWString(io, u""); }), (std::vector<uint8_t>{0, 0, 0, 0}));
  // One letter and one character outside the basic plane: three code units.
  EXPECT_EQ(Encode([](IIPCDataIO& io) { WriteWString(io, u"a\U0001F600"); }),
            (std::vector<uint8_t>{3, 0, 0, 0, 'a', 0, 0x3D, 0xD8, 0x00, 0xDE}));
}

TEST(PayloadEncoding, NarrowStringsAreCountedInBytes) {
  EXPECT_EQ(Encode([](IIPCDataIO& io) { WriteString(io, "\xC3\xA9!"); }),
            (std::vector<uint8_t>{3, 0, 0, 0, 0xC3, 0xA9, '!'}));
}

TEST(PayloadEncoding, AVersionOtherThanOneIsRefused) {
  EXPECT_EQ(Decode(WireBytes().U32(2), [](IIPCDataIO& io) { ReadVersion(io); }), "Invalid Serialize ver");
  EXPECT_EQ(Decode(WireBytes().U32(1), [](IIPCDataIO& io) { ReadVersion(io); }), "");
}

TEST(PayloadEncoding, ACountPromisingMoreThanTheBytesHoldFails) {
  std::vector<int32_t> items;
  EXPECT_EQ(Decode(WireBytes().U32(5).U32(1).U32(2), [&](IIPCDataIO& io) { Unserialize(io, items); }),
            "Data for unserialize too small");
  // Counts near the 32-bit limit fail the same way, without trying to allocate for them.
  EXPECT_EQ(Decode(WireBytes().U32(0xFFFFFFFF), [&](IIPCDataIO& io) { Unserialize(io, items); }),
            "Data for unserialize too small");
  std::string name;
  EXPECT_EQ(Decode(WireBytes().U32(0xFFFFFFF0).U8('x'), [&](IIPCDataIO& io) { ReadString(io, name); }),
            "Data for unserialize too small");
  std::u16string wide;
  EXPECT_EQ(Decode(WireBytes().U32(0x7FFFFFFF), [&](IIPCDataIO& io) { ReadWString(io, wide); }),
            "Data for unserialize too small");
}

TEST(PayloadEncoding, LogItemsAreModuleThenNarrowName) {
  const std::vector<SYSTEM_DETECT_LOG_ITEM> items{{4, "app.log"}, {-2, ""}};
  const std::vector<uint8_t> expected = WireBytes().U32(2).U32(4).Narrow("app.log").U32(0xFFFFFFFE).Narrow("");

  EXPECT_EQ(Encode([&](IIPCDataIO& io) { Serialize(io, items); }), expected);
  std::vector<SYSTEM_DETECT_LOG_ITEM> decoded;
  EXPECT_EQ(Decode(expected, [&](IIPCDataIO& io) { Unserialize(io, decoded); }), "");
  EXPECT_EQ(decoded, items);
}

TEST(PayloadEncoding, ModuleInfoOfThePluginInWireOrder) {
  const std::vector<uint8_t> expected = WireBytes()
                                            .Wide(u"file='drawable/hardware/index_hardware.png'")
                                            .Wide(u"file='drawable/hardware/doctor_module.png'")
                                            .Wide(u"IDS_HARDWARE_DETECT")
                                            .U32(0x390000)
                                            .U32(0x390020)
                                            .U32(0x390021)
                                            .U16(60000);

  EXPECT_EQ(Encode([](IIPCDataIO& io) { Serialize(io, SysdiagnoseModuleInfo()); }), expected);
}

TEST(PayloadEncoding, DoctorResultInWireOrderAndBack) {
  tagDoctorResult result;
  result.nModuleId = 0x390000;
  result.strSummaryKey = u"KEY";
  result.nAbnormalCount = 2;
  result.strSummary = u"Two problems";
  result.strDetail = u"Detail";
  result.vecItems = {SampleItem(1), SampleItem(2)};
  result.nTime = 1860000;
  result.bFinished = 0;
  result.bReserved = 9;
  WireBytes wire;
  wire.U32(0x390000).Wide(u"KEY").U32(2).Wide(u"Two problems").Wide(u"Detail").U32(2);
  AppendItem(wire, result.vecItems[0]);
  AppendItem(wire, result.vecItems[1]);
  wire.U32(1860000).U8(0).U8(9);

  const auto bytes = Encode([&](IIPCDataIO& io) { Serialize(io, result); });
  EXPECT_EQ(bytes, wire.bytes());
  tagDoctorResult decoded;
  decoded.vecItems = {SampleItem(7)};  // replaced, not appended to
  EXPECT_EQ(Decode(bytes, [&](IIPCDataIO& io) { Unserialize(io, decoded); }), "");
  EXPECT_EQ(decoded, result);
}
