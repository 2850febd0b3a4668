#include "model/page_call.h"

#include <string>

#include "utility/Logger.h"

namespace zel::sysdiagnose {

void LogPageCallableFailure(const char* callable, const char* what) {
  hostlog::Error(std::string("the page's ") + callable + " threw: " + what + "; the run goes on",
                 "zel::sysdiagnose::CallPage", "zel_page_call", __LINE__, __PRETTY_FUNCTION__);
}

}  // namespace zel::sysdiagnose
