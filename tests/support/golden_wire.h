#pragma once
// Health-check records as wire bytes, written by hand from the field order and the encoding:
// integers little-endian in their own width, a wide string as its u32 count of UTF-16 code units
// followed by the units. Every value differs from its neighbours, so a swapped field shows. The
// plug-in's encoder and the host's decoder are both held to these bytes.
#include <cstdint>
#include <vector>

namespace golden {

// A row: strIcon "I", clrStatus 0xFF68D568, strName "Nä", strHardware "H", strResult "", nState 3,
// nReserved1 0x11223344, strAction "A", clrAction 0xFFFA2A2D, clrActionAlt 0x01020304,
// strReserved "R", bReserved1 7, bReserved2 1, nReserved3 5.
inline const std::vector<uint8_t> kRowBytes = {
    0x01, 0, 0, 0, 'I', 0,              // strIcon
    0x68, 0xD5, 0x68, 0xFF,             // clrStatus
    0x02, 0, 0, 0, 'N', 0, 0xE4, 0x00,  // strName
    0x01, 0, 0, 0, 'H', 0,              // strHardware
    0x00, 0, 0, 0,                      // strResult, empty
    0x03, 0, 0, 0,                      // nState
    0x44, 0x33, 0x22, 0x11,             // nReserved1
    0x01, 0, 0, 0, 'A', 0,              // strAction
    0x2D, 0x2A, 0xFA, 0xFF,             // clrAction
    0x04, 0x03, 0x02, 0x01,             // clrActionAlt
    0x01, 0, 0, 0, 'R', 0,              // strReserved
    0x07,                               // bReserved1
    0x01,                               // bReserved2
    0x05, 0, 0, 0,                      // nReserved3
};

// A result: nModuleId 0x390000, strSummaryKey "K", nAbnormalCount 2, strSummary "S", strDetail "D",
// vecItems the row above, nTime 1860000, bFinished 0, bReserved 9.
inline std::vector<uint8_t> ReportBytes() {
  std::vector<uint8_t> bytes = {
      0x00, 0x00, 0x39, 0x00,  // nModuleId
      0x01, 0, 0, 0, 'K', 0,   // strSummaryKey
      0x02, 0, 0, 0,           // nAbnormalCount
      0x01, 0, 0, 0, 'S', 0,   // strSummary
      0x01, 0, 0, 0, 'D', 0,   // strDetail
      0x01, 0, 0, 0,           // vecItems: one item
  };
  bytes.insert(bytes.end(), kRowBytes.begin(), kRowBytes.end());
  bytes.insert(bytes.end(), {
                                0xA0, 0x61, 0x1C, 0x00,  // nTime
                                0x00,                    // bFinished
                                0x09,                    // bReserved
                            });
  return bytes;
}

// The module information: "i", "m", "k", 0x390000, 0x390020, 0x390021, usTime 60000.
inline const std::vector<uint8_t> kModuleInfoBytes = {
    0x01, 0, 0, 0, 'i', 0,   // strIcon
    0x01, 0, 0, 0, 'm', 0,   // strModuleIcon
    0x01, 0, 0, 0, 'k', 0,   // strNameKey
    0x00, 0x00, 0x39, 0x00,  // nModuleId
    0x20, 0x00, 0x39, 0x00,  // nStartMsgId
    0x21, 0x00, 0x39, 0x00,  // nRepairMsgId
    0x60, 0xEA,              // usTime
};

// A whole payload: the version word 1, then the record.
inline std::vector<uint8_t> Payload(const std::vector<uint8_t>& record) {
  std::vector<uint8_t> bytes = {0x01, 0, 0, 0};
  bytes.insert(bytes.end(), record.begin(), record.end());
  return bytes;
}

}  // namespace golden
