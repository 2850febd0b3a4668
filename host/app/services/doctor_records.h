#pragma once
// The health-check module's records as the host reads them off the bus: the plug-in's module
// information (0x20000A) and its result reports (0x20000B), each after the version word. The
// records and their wire order are the protocol's (IPCMessage/DoctorProtocol.h).
#include <string>

#include "IPCMessage/DoctorProtocol.h"
#include "app/services/payload_codec.h"

namespace app {

using DoctorRow = doctor::tagDoctorItem;
using DoctorReport = doctor::tagDoctorResult;
using DoctorModuleInfo = doctor::tagDoctorModuleInfo;
using doctor::kDoctorStateAbnormal;
using doctor::kDoctorStateBusy;
using doctor::kDoctorStateNormal;

// A whole payload, version word first; std::runtime_error when it is not one.
DoctorReport ReadDoctorReport(PayloadReader& reader);
DoctorModuleInfo ReadDoctorModuleInfo(PayloadReader& reader);

// "{f 16}{c #7F7F7F}Model{/f}{/c}" -> "Model": a row's rich text without the tags of the host's list.
std::string PlainText(const std::u16string& rich);

}  // namespace app
