// The payload codec: CIPCDataIO and the encoding of strings and vectors (the records: doctor_protocol_test).
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

// A count promising more items than the bytes hold must fail before room for them is asked for:
// that room would not be allocatable, and trying would throw something else.
TEST(PayloadEncoding, EachMisuseFailsWithItsOwnText) {
  tagIPC_MESSAGE_ITEM buffer{};
  CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
  uint32_t value = 0;
  std::vector<tagDoctorItem> items;
  const struct {
    const char* expected;
    std::function<void()> call;
  } cases[] = {
      {"Invalid Serialize ver", [] { Read(Le32({2}), [](IIPCDataIO& io) { ReadVersion(io); }); }},
      {"Data for unserialize too small", [&] { Read({1, 2, 3}, [&](IIPCDataIO& io) { io.ReadUInt32(value); }); }},
      {"Data for unserialize too small",
       [&] { Read(Le32({0xFFFFFFFF, 0}), [&](IIPCDataIO& io) { Unserialize(io, items); }); }},
      {"Invalid serialize call type", [&] { writer.ReadUInt32(value); }},
      {"Invalid buffer size", [&] { writer.Reserve(0xFFFFFFFF); }},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no error, expected " << c.expected;
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), c.expected);
    }
  }
}
