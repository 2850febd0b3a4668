// Feeds arbitrary bytes as the payloads of the plug-in's decoded messages through their receivers
// (0x390021 repair request, 0x3C0002 log list) and through the health-check result decoder.
// The first input byte picks the message; the rest is the payload.
//
// Besides "no crash, no sanitizer report" it checks what a receiver promises: a payload that
// decodes reaches the handler exactly once with values whose encoding is the payload's prefix;
// one that does not decode reaches nothing.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "ipc/doctor_result.h"
#include "ipc/ipc_data_io.h"
#include "ipc/ipc_helper.h"
#include "ipc/ipc_messages.h"
#include "ipc/ipc_serialize.h"
#include "ipc/ipc_server_proc.h"
#include "utility/Logger.h"

using namespace zel::sysdiagnose;

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

template <typename T>
std::vector<uint8_t> EncodeWithVersion(const T& value) {
  tagIPC_MESSAGE_ITEM buffer{};
  CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
  WriteVersion(writer);
  Serialize(writer, value);
  return std::vector<uint8_t>(buffer.pData, buffer.pData + writer.Position());
}

bool IsPrefixOf(const std::vector<uint8_t>& prefix, const uint8_t* data, size_t size) {
  return prefix.size() <= size && (prefix.empty() || std::memcmp(prefix.data(), data, prefix.size()) == 0);
}

struct Harness {
  Harness() {
    // Every refused payload is logged as a warning; at fuzzing speed that would only fill the disk.
    GetLogger().setLogLevel(log4cplus::ERROR_LOG_LEVEL);
    // Handlers run on the calling thread here: the receivers are called directly, not by the bus.
    repairRegistration = helper.SetDoctorRepairHandler([this](const std::vector<int32_t>& items) {
      ++calls;
      repairItems = items;
    });
    logRegistration = helper.SetLogItemsHandler([this](const std::vector<SYSTEM_DETECT_LOG_ITEM>& items) {
      ++calls;
      logItems = items;
    });
  }

  IPCHelper helper;
  CIPCServerProc<IPCHelper, std::vector<int32_t>> repairReceiver{kMsgDoctorRepair, &helper, &IPCHelper::OnDoctorRepair};
  CIPCServerProc<IPCHelper, std::vector<SYSTEM_DETECT_LOG_ITEM>> logReceiver{kMsgLogList, &helper, &IPCHelper::OnLogItems};
  int calls = 0;
  std::vector<int32_t> repairItems;
  std::vector<SYSTEM_DETECT_LOG_ITEM> logItems;
  HandlerRegistration repairRegistration, logRegistration;
};

void FuzzReceiver(Harness& harness, uint8_t which, const uint8_t* payload, size_t size) {
  std::vector<uint8_t> bytes(payload, payload + size);  // exactly the payload: reads past it are caught
  tagIPC_MESSAGE_ITEM message = MakeIPCMessage(kSysdiagnoseModule, which ? kMsgLogList : kMsgDoctorRepair, kNoReply);
  message.nDataLen = static_cast<uint32_t>(bytes.size());
  message.pData = bytes.empty() ? nullptr : bytes.data();
  harness.calls = 0;

  const bool decoded = which ? harness.logReceiver.OnMessage(message) : harness.repairReceiver.OnMessage(message);

  Require(harness.calls == (decoded ? 1 : 0));
  if (decoded) {
    Require(IsPrefixOf(which ? EncodeWithVersion(harness.logItems) : EncodeWithVersion(harness.repairItems), payload, size));
  }
}

void FuzzDoctorResult(const uint8_t* payload, size_t size) {
  std::vector<uint8_t> bytes(payload, payload + size);
  tagIPC_MESSAGE_ITEM message{};
  message.nDataLen = static_cast<uint32_t>(bytes.size());
  message.pData = bytes.empty() ? nullptr : bytes.data();
  CIPCDataIO reader(&message, CIPCDataIO::kReader);
  tagDoctorResult result;
  try {
    ReadVersion(reader);
    Unserialize(reader, result);
  } catch (const std::runtime_error&) {
    return;
  }
  Require(IsPrefixOf(EncodeWithVersion(result), payload, size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness harness;
  if (size == 0) return 0;
  const uint8_t which = data[0] % 3;
  if (which == 2) {
    FuzzDoctorResult(data + 1, size - 1);
  } else {
    FuzzReceiver(harness, which, data + 1, size - 1);
  }
  return 0;
}
