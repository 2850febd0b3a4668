#pragma once
// UploadItem: one log file of the upload window, a row built from
// "layout\sysdiagnose_upload_item.xml" that the window's list owns once it is added. While the
// log service still generates the file the row shows a busy animation and a text; once the file
// exists, the log kind's icon and the file name, with the full path kept as the row's user data.
// UI thread.
#include <cstdint>
#include <string>

#include "DuiLib/UIControl.h"

namespace DuiLib {
class CAnimPanelUI;
}

namespace zel::sysdiagnose {

// pkt::sd::emDataType, the log kind of a SYSTEM_DETECT_LOG_ITEM.
using emDataType = int32_t;
inline constexpr emDataType kAppLogType = 4;

class UploadItem {
 public:
  // Builds the row; false when the layout cannot be built.
  bool Create();
  DuiLib::CControlUI* GetRoot() const { return root; }
  emDataType GetType() const { return type; }

  // The log kind's icon and loading text.
  void SetType(emDataType kind);
  // While the file is being generated: no mouse input, the busy animation.
  void ShowLoading();
  // The file exists: its name, and its full path as the row's user data.
  void ShowFile(const std::u16string& path);

 private:
  DuiLib::CControlUI* root = nullptr;
  DuiLib::CControlUI* lytLoadding = nullptr;
  DuiLib::CControlUI* lytContent = nullptr;
  DuiLib::CAnimPanelUI* btnLoadding = nullptr;
  DuiLib::CControlUI* lblLoadding = nullptr;
  DuiLib::CControlUI* ctlContent = nullptr;
  DuiLib::CControlUI* lblContent = nullptr;
  emDataType type = kAppLogType;
};

}  // namespace zel::sysdiagnose
