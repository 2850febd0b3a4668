#include "ipc/ipc_server_proc_base.h"

#include <cstdio>
#include <exception>
#include <string>

#include "ipc/ipc_data_io.h"
#include "utility/Logger.h"

namespace zel::sysdiagnose {

bool CIPCServerProcBase::OnMessage(const tagIPC_MESSAGE_ITEM& message) {
  tagIPC_MESSAGE_ITEM received = message;  // the reader reads through a record of its own
  CIPCDataIO reader(&received, CIPCDataIO::kReader);
  try {
    OnData(reader);
    return true;
  } catch (const std::exception& error) {
    char id[16];
    std::snprintf(id, sizeof id, "0x%X", m_nMessageId);
    hostlog::Warn(std::string("IPC message ") + id + " dropped: " + error.what(),
                  "zel::sysdiagnose::CIPCServerProcBase::OnMessage", "zel_ipc_helper", __LINE__,
                  __PRETTY_FUNCTION__);
    return false;
  }
}

}  // namespace zel::sysdiagnose
