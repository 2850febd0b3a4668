#pragma once
// The plug-in's one endpoint on the host's IPC bus (module 0x390000): answers the health-check
// module's query, decodes the requests and answers addressed to the plug-in and hands them to the
// handlers its users set, and posts the health-check results.
//
// Handlers. Each of the four handlers lives in a HandlerSlot: its user sets it with the matching
// Set...Handler and keeps the returned HandlerRegistration as a member declared after everything
// the handler touches. Setting, replacing and reading a slot are done under the slot's lock. When
// the registration is dropped (its owner going away) the handler is taken out of the slot, unless
// a newer one has replaced it, and any call of it running on a bus thread has ended first; so no
// handler ever runs once its owner is gone. A handler runs on a bus thread and must hand UI work to
// the UI thread itself; it may drop its own registration.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "IPCMessage/IPCMessageClient.h"
#include "ipc/doctor_module_info.h"
#include "ipc/doctor_result.h"
#include "ipc/handler_slot.h"
#include "ipc/ipc_server_proc_base.h"
#include "model/records.h"

namespace zel::sysdiagnose {

class IIPCDataIO;

class IPCHelper {
 public:
  using DoctorStartHandler = std::function<void(bool stopOnly)>;
  using DoctorRepairHandler = std::function<void(const std::vector<int32_t>& items)>;
  using DetectReplyHandler = std::function<void(uint8_t offerUpload)>;
  using LogItemsHandler = std::function<void(const std::vector<SYSTEM_DETECT_LOG_ITEM>& items)>;

  // The process's endpoint, built on first call (from any thread) and destroyed at process exit.
  static IPCHelper& Instance();

  // Registers module 0x390000 on the bus. The process has exactly one, through Instance(); a
  // separate instance serves tests that need a fresh endpoint.
  IPCHelper();
  ~IPCHelper();
  IPCHelper(const IPCHelper&) = delete;
  IPCHelper& operator=(const IPCHelper&) = delete;

  // The client through which pages post their fixed records.
  CIPCMessageClient& Client() { return m_client; }

  // Version 1 and the record, to 0x200000 under the message id, reply id 0xFFFFFFFF.
  void PostDoctorResult(uint32_t messageId, const tagDoctorResult& result);
  // Version 1 and the record, to the destination as 0x20000A, reply id 0xFFFFFFFF.
  void PostModuleInfo(uint32_t destination, const tagDoctorModuleInfo& info);
  // Completes the summary fields from the items and posts the record: mode 0 (health-check
  // detection) and 1 (health-check repair) as 0x20000B, 2 (interactive run) as 0x20000E; any other
  // mode posts nothing.
  void PostDoctorSummary(tagDoctorResult& result, int32_t mode);

  // Adds a receiver: 1, or -1 when its id is taken (the new receiver is then deleted and the first
  // one stays).
  int RegisterServerProc(std::unique_ptr<CIPCServerProcBase> proc);
  // Removes every receiver; their messages are dropped from then on.
  void UnregisterServerProcs();

  [[nodiscard]] HandlerRegistration SetDoctorStartHandler(DoctorStartHandler handler);
  [[nodiscard]] HandlerRegistration SetDoctorRepairHandler(DoctorRepairHandler handler);
  [[nodiscard]] HandlerRegistration SetDetectReplyHandler(DetectReplyHandler handler);
  [[nodiscard]] HandlerRegistration SetLogItemsHandler(LogItemsHandler handler);

  // The message handlers, as the bus calls them.
  void OnSubscribedMessage(const tagIPC_MESSAGE_ITEM& message);
  void OnDoctorStart(const tagIPC_MESSAGE_ITEM& message);
  void OnDetectReply(const tagIPC_MESSAGE_ITEM& message);
  void OnDoctorRepair(std::vector<int32_t> items);
  void OnLogItems(std::vector<SYSTEM_DETECT_LOG_ITEM> items);

 private:
  using Encoder = std::function<void(IIPCDataIO&)>;
  void PostEncoded(uint32_t destination, uint32_t messageId, const Encoder& encode);

  CIPCMessageClient m_client;

  // Receiver registry; the map owns the receivers (shared with the bus callbacks that call them).
  std::mutex m_registryMutex;
  std::map<int32_t, std::shared_ptr<CIPCServerProcBase>> m_serverProcs;

  const uint32_t m_nModuleId = 0x390000;

  HandlerSlot<bool> m_fnDoctorStart;
  HandlerSlot<const std::vector<int32_t>&> m_fnDoctorRepair;
  HandlerSlot<uint8_t> m_fnDetectReply;
  HandlerSlot<const std::vector<SYSTEM_DETECT_LOG_ITEM>&> m_fnLogItems;
};

}  // namespace zel::sysdiagnose
