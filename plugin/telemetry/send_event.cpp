#include "telemetry/send_event.h"

#include "DataReport/EventDataReport.h"

namespace zel::sysdiagnose {

void SendEvent(const std::string& eventId, const std::string& value) {
  tagLogInfo info = EventDataReport::Instance().GetMsg(eventId, value);
  EventDataReport::Instance().SendMsg(info);
}

}  // namespace zel::sysdiagnose
