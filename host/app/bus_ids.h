#pragma once
// The module and message ids of the host's bus that the reference host's modules use: the
// health-check module (0x200000), the log service (0x3B0000) and the hardware-diagnosis plug-in
// they talk to (0x390000).
#include <cstdint>

namespace app::bus {

inline constexpr uint32_t kPluginModule = 0x390000;
inline constexpr uint32_t kMsgDoctorStart = 0x390020;   // one byte: 1 start a detection, 0 stop only
inline constexpr uint32_t kMsgDoctorRepair = 0x390021;  // version 1, a list of item indexes

inline constexpr uint32_t kDoctorModule = 0x200000;
inline constexpr uint32_t kMsgModuleInfoQuery = 0x200009;
inline constexpr uint32_t kMsgModuleInfoAnswer = 0x20000A;
inline constexpr uint32_t kMsgDoctorResult = 0x20000B;

inline constexpr uint32_t kLogServiceModule = 0x3B0000;
inline constexpr uint32_t kMsgDetectStarted = 0x3B0001;
inline constexpr uint32_t kMsgLogListRequest = 0x3B0002;
inline constexpr uint32_t kMsgStartUpload = 0x3B0003;
inline constexpr uint32_t kMsgUploadDeclined = 0x3B0004;
inline constexpr uint32_t kMsgDetectReply = 0x3C0001;  // one byte: not 0 when the log upload is offered
inline constexpr uint32_t kMsgLogList = 0x3C0002;      // version 1, a list of (module, file name)

inline constexpr uint32_t kNoReply = 0xFFFFFFFF;
inline constexpr uint32_t kPayloadVersion = 1;

}  // namespace app::bus
