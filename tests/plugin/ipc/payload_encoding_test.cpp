// The payload codec: CIPCDataIO and the encoding of strings, vectors and records.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/ipc/inbox.h"
#include "ipc/doctor_result.h"
#include "ipc/ipc_data_io.h"
#include "ipc/ipc_serialize.h"

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
  EXPECT_EQ(Encode([](IIPCDataIO& io) { WriteWString(io, u"abc"); }).size(), 4u + 6u);
  EXPECT_EQ(Encode([](IIPCDataIO& io) { WriteWString(io, u""); }), Le32({0}));
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

TEST(PayloadEncoding, ADoctorResultWithItemsComesBackAsItWas) {
  tagDoctorResult result;
  result.nModuleId = 0x390000;
  result.strSummaryKey = u"KEY";
  result.nAbnormalCount = 2;
  result.strSummary = u"Zwei Fehler \u00e4";
  for (uint32_t n : {1u, 2u}) {
    tagDoctorItem item;
    item.strName = u"Memory";
    item.strHardware = u"{f 16}DDR4 16 GB{/f}";
    item.nState = kDoctorStateAbnormal;
    item.nReserved1 = n;
    item.clrAction = 0x11223344;
    item.bReserved2 = 1;
    result.vecItems.push_back(item);
  }
  result.nTime = 1860000;
  result.bReserved = 9;
  const auto bytes = Encode([&](IIPCDataIO& io) { Serialize(io, result); });

  tagDoctorResult decoded;
  decoded.vecItems.resize(1);  // replaced, not appended to
  Read(bytes, [&](IIPCDataIO& io) { Unserialize(io, decoded); });

  EXPECT_EQ(decoded, result);
}
