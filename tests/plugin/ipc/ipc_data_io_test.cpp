// CIPCDataIO: the growing writer and the bounded reader.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "ipc/ipc_data_io.h"

using namespace zel::sysdiagnose;

namespace {

// The runtime error's text, or "" when the call did not throw.
template <typename F>
std::string ErrorOf(F&& call) {
  try {
    call();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "";
}

tagIPC_MESSAGE_ITEM Received(std::vector<uint8_t>& bytes) {
  tagIPC_MESSAGE_ITEM message{};
  message.nDataLen = static_cast<uint32_t>(bytes.size());
  message.pData = bytes.data();
  return message;
}

}  // namespace

TEST(CIPCDataIO, WriterGrowsInStepsOf64Bytes) {
  tagIPC_MESSAGE_ITEM buffer{};
  CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);

  writer.WriteByte(1);
  EXPECT_EQ(buffer.nDataLen, 64u);
  for (int i = 1; i < 64; ++i) writer.WriteByte(static_cast<uint8_t>(i));
  EXPECT_EQ(buffer.nDataLen, 64u);
  writer.WriteByte(65);

  EXPECT_EQ(buffer.nDataLen, 128u);
  EXPECT_EQ(writer.Position(), 65u);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(buffer.pData[i], i == 0 ? 1 : i) << i;  // kept across growth
  EXPECT_EQ(buffer.pData[64], 65);
}

TEST(CIPCDataIO, ReserveRoundsPositionPlusCountUpToTheGranularity) {
  tagIPC_MESSAGE_ITEM buffer{};
  CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
  writer.WriteUInt32(7);

  writer.Reserve(125);  // 4 + 125 = 129
  EXPECT_EQ(buffer.nDataLen, 192u);
  writer.Reserve(188);  // fits exactly: nothing changes
  EXPECT_EQ(buffer.nDataLen, 192u);
  EXPECT_EQ(writer.Position(), 4u);
}

TEST(CIPCDataIO, WriterRefusesToGrowBeyondTheLimit) {
  tagIPC_MESSAGE_ITEM buffer{};
  CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
  writer.WriteByte(0);

  EXPECT_EQ(ErrorOf([&] { writer.Reserve(0x0FFFFFFF); }), "Invalid buffer size");      // 1 + limit
  EXPECT_EQ(ErrorOf([&] { writer.Reserve(0xFFFFFFFF); }), "Invalid buffer size");      // no wrap-around
  EXPECT_EQ(buffer.nDataLen, 64u);
  EXPECT_EQ(writer.Position(), 1u);
}

TEST(CIPCDataIO, WritesIntegersLittleEndian) {
  tagIPC_MESSAGE_ITEM buffer{};
  CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
  writer.WriteUInt32(0x0A0B0C0D);
  writer.WriteByte(0xEE);

  ASSERT_EQ(writer.Position(), 5u);
  EXPECT_EQ(std::vector<uint8_t>(buffer.pData, buffer.pData + 5), (std::vector<uint8_t>{0x0D, 0x0C, 0x0B, 0x0A, 0xEE}));
}

TEST(CIPCDataIO, ReaderReadsWhatTheBytesSayAndAdvances) {
  std::vector<uint8_t> bytes{0x0D, 0x0C, 0x0B, 0x0A, 0xEE, 1, 2};
  tagIPC_MESSAGE_ITEM message = Received(bytes);
  CIPCDataIO reader(&message, CIPCDataIO::kReader);

  uint32_t value = 0;
  uint8_t byte = 0;
  uint8_t pair[2] = {};
  reader.ReadUInt32(value);
  reader.ReadByte(byte);
  reader.ReadBytes(pair, 2);

  EXPECT_EQ(value, 0x0A0B0C0Du);
  EXPECT_EQ(byte, 0xEE);
  EXPECT_EQ(pair[1], 2);
  EXPECT_EQ(reader.Position(), 7u);
}

TEST(CIPCDataIO, ReadingPastThePayloadFailsAndKeepsThePosition) {
  std::vector<uint8_t> bytes{1, 2, 3};
  tagIPC_MESSAGE_ITEM message = Received(bytes);
  CIPCDataIO reader(&message, CIPCDataIO::kReader);
  uint32_t value = 0;

  EXPECT_EQ(ErrorOf([&] { reader.ReadUInt32(value); }), "Data for unserialize too small");
  EXPECT_EQ(reader.Position(), 0u);
}

TEST(CIPCDataIO, ALengthWithoutDataHasNothingToRead) {
  tagIPC_MESSAGE_ITEM message{};
  message.nDataLen = 1;  // as the upload window's messages carry it
  CIPCDataIO reader(&message, CIPCDataIO::kReader);
  uint8_t byte = 0;

  EXPECT_EQ(ErrorOf([&] { reader.ReadByte(byte); }), "Data for unserialize too small");
}

TEST(CIPCDataIO, WritingOnAReaderOrReadingOnAWriterIsTheWrongCallType) {
  std::vector<uint8_t> bytes{1, 2, 3, 4};
  tagIPC_MESSAGE_ITEM message = Received(bytes);
  CIPCDataIO reader(&message, CIPCDataIO::kReader);
  tagIPC_MESSAGE_ITEM buffer{};
  CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
  uint32_t value = 0;

  EXPECT_EQ(ErrorOf([&] { reader.WriteUInt32(1); }), "Invalid serialize call type");
  EXPECT_EQ(ErrorOf([&] { reader.Reserve(1); }), "Invalid serialize call type");
  EXPECT_EQ(ErrorOf([&] { writer.ReadUInt32(value); }), "Invalid serialize call type");
  EXPECT_EQ(ErrorOf([&] { writer.ReadBytes(&value, 0); }), "Invalid serialize call type");
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(CIPCDataIO, WriterFreesItsBlockAndEmptiesTheRecord) {
  tagIPC_MESSAGE_ITEM buffer{};
  {
    CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
    writer.WriteUInt32(1);
    ASSERT_NE(buffer.pData, nullptr);
  }
  EXPECT_EQ(buffer.pData, nullptr);  // under ASan a leak or double free would show here
  EXPECT_EQ(buffer.nDataLen, 0u);
}
