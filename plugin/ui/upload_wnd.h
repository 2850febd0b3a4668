#pragma once
// UploadWnd: the modal window in which the user sees the diagnosis logs the host's log service
// (0x3B0000) collected, opens the folder of any of them, and confirms or declines their upload.
// It asks the service for the list, shows one row per log kind, and tells it the answer; it never
// touches the files. The "AppLogUpload" feature switch adds the application log, whose row waits
// until the service has generated it; the upload button is usable once the files are there.
//
// UI thread, except OnRecvSample (the bus's thread), which only posts to the UI queue. The
// window's list handler leaves IPCHelper when the window goes, and rows posted for a window
// that is gone are dropped.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DuiLib/WindowImplBase.h"
#include "ipc/handler_registration.h"
#include "model/records.h"
#include "ui/alive_token.h"
#include "ui/upload_item.h"

namespace zel::sysdiagnose {

class UploadWnd : public DuiLib::WindowImplBase {
 public:
  // Answers of OnNcHitTest.
  static constexpr LRESULT kHitClient = 1;
  static constexpr LRESULT kHitCaption = 2;

  UploadWnd() = default;
  ~UploadWnd() override = default;

  void Notify(DuiLib::TNotifyUI& msg) override;
  void OnClick(DuiLib::TNotifyUI& msg) override;
  // The window has no frame: it is dragged by its title bar (any point of "lytCaption" that is
  // not a button); everything else is client area.
  LRESULT OnNcHitTest(POINT client);

  // The log service's list (bus thread).
  void OnRecvSample(const std::vector<SYSTEM_DETECT_LOG_ITEM>& items);
  // Adds a row for a log kind: loading without content, else finished with the file.
  void AddUploadFileList(emDataType type, bool bHasContent, std::u16string strFilename);
  // Turns the row of a log kind into a finished row; a kind without a row is ignored.
  void SetUploadFileList(emDataType type, std::u16string strFilename);

 protected:
  std::u16string GetWindowClassName() const override { return u"SysdiagnoseUploadWnd"; }
  std::u16string GetSkinFile() override { return u"layout/sysdiagnose_upload.xml"; }
  std::u16string GetSkinFolder() override { return u"res/"; }
  void InitWindow() override;

 private:
  void ShowReceivedFile(emDataType type, const std::u16string& name);
  void EnableUpload();
  void OpenFolderOf(const DuiLib::CControlUI* row);

  std::map<emDataType, UploadItem> m_items;
  AliveToken alive_;
  HandlerRegistration logItemsRegistration_;  // last: leaves IPCHelper before the rest goes
};

}  // namespace zel::sysdiagnose
