#pragma once
// Sending one telemetry event, always the same way, on the calling thread.
#include <string>

namespace zel::sysdiagnose {

void SendEvent(const std::string& eventId, const std::string& value);

}  // namespace zel::sysdiagnose
