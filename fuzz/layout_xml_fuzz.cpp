// Feeds arbitrary text to the UI library's layout builder as layout XML, and lays out what it
// builds in a window. A text that is no layout gives null and a reason; nothing else is promised.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "DuiLib/UIDlgBuilder.h"
#include "DuiLib/UIManager.h"
#include "platform/encoding.h"
#include "utility/Logger.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (GetLogger().setLogLevel(log4cplus::OFF_LOG_LEVEL), true);
  (void)quiet;
  // Layout text only: anything that does not begin with '<' would name a file to read.
  const std::u16string xml = platform::Utf8ToUtf16(std::string(reinterpret_cast<const char*>(data), size));
  if (xml.empty() || xml.front() != u'<') return 0;
  DuiLib::CPaintManagerUI window;
  DuiLib::CDialogBuilder builder;
  DuiLib::CControlUI* root = builder.Create(xml, {}, nullptr, &window);
  if (root == nullptr) {
    if (builder.GetLastErrorMessage().empty()) std::abort();
    return 0;
  }
  window.AttachDialog(root);
  window.UpdateLayout();
  return 0;
}
