// The host's reading of the health-check records off the bus, held to the same hand-written bytes
// as the plug-in's writing of them.
#include "app/doctor_records.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/payload_codec.h"
#include "support/golden_wire.h"

namespace {

using namespace app;

DoctorRow GoldenRow() {
  return {u"I", 0xFF68D568, u"N\u00e4", u"H", u"", 3, 0x11223344, u"A", 0xFFFA2A2D, 0x01020304, u"R", 7, 1, 5};
}

template <typename Record>
Record Read(const std::vector<uint8_t>& bytes, Record (*read)(PayloadReader&)) {
  PayloadReader reader(bytes.data(), bytes.size());
  Record record = read(reader);
  EXPECT_EQ(reader.Left(), 0u);
  return record;
}

TEST(DoctorRecords, TheHostReadsTheWireBytesOfEachRecord) {
  const DoctorReport report = Read(golden::Payload(golden::ReportBytes()), &ReadDoctorReport);
  EXPECT_EQ(report, (DoctorReport{0x390000, u"K", 2, u"S", u"D", {GoldenRow()}, 1860000, 0, 9}));

  const DoctorModuleInfo info = Read(golden::Payload(golden::kModuleInfoBytes), &ReadDoctorModuleInfo);
  EXPECT_EQ(info, (DoctorModuleInfo{u"i", u"m", u"k", 0x390000, 0x390020, 0x390021, 60000}));
}

TEST(DoctorRecords, APayloadCutShortAnywhereOrClaimingMoreThanItHoldsIsAnErrorNotACrash) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> cases = {
      {"version 2", {0x02, 0, 0, 0}},
      {"a summary key of four billion units", {0x01, 0, 0, 0, 0, 0, 0x39, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"a million rows in a few bytes",
       {0x01, 0, 0, 0, 0, 0, 0x39, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x42, 0x0F, 0}},
  };
  const std::vector<uint8_t> whole = golden::Payload(golden::ReportBytes());
  for (size_t length = 0; length < whole.size(); ++length) {
    cases.emplace_back("cut at " + std::to_string(length), std::vector<uint8_t>(whole.begin(), whole.begin() + length));
  }
  for (const auto& [what, bytes] : cases) EXPECT_THROW(Read(bytes, &ReadDoctorReport), std::runtime_error) << what;
}

TEST(PayloadWriter, NumbersAndNarrowStringsAsTheWireHasThem) {
  PayloadWriter writer;
  writer.U32(0x390021);
  writer.Byte(7);
  writer.String("ab");
  EXPECT_EQ(writer.Bytes(), (std::vector<uint8_t>{0x21, 0x00, 0x39, 0x00, 7, 2, 0, 0, 0, 'a', 'b'}));
}

}  // namespace
