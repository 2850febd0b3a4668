#pragma once
// The receiver of one message id whose payload is version 1 and one argument of type Arg; the
// decoded argument goes, as a copy, to a member function of the owner.
#include <cstdint>

#include "ipc/ipc_serialize.h"
#include "ipc/ipc_server_proc_base.h"

namespace zel::sysdiagnose {

template <typename Owner, typename Arg>
class CIPCServerProc : public CIPCServerProcBase {
 public:
  using Member = void (Owner::*)(Arg);

  CIPCServerProc(uint32_t messageId, Owner* owner, Member member)
      : CIPCServerProcBase(messageId), m_pOwner(owner), m_pfnMember(member) {}

  void OnData(IIPCDataIO& reader) override {
    ReadVersion(reader);
    Arg argument{};
    Unserialize(reader, argument);
    (m_pOwner->*m_pfnMember)(argument);
  }

 private:
  Owner* m_pOwner;
  Member m_pfnMember;
};

}  // namespace zel::sysdiagnose
