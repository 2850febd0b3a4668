#include "ui/upload_wnd.h"

#include <string_view>

#include "DuiLib/UIButton.h"
#include "DuiLib/UICulture.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UITree.h"
#include "ipc/ipc_helper.h"
#include "ipc/ipc_messages.h"
#include "platform/encoding.h"
#include "platform/shell_folder.h"
#include "utility/CPKTSoftShelf.h"
#include "utility/Logger.h"

namespace zel::sysdiagnose {

using DuiLib::CControlUI;

namespace {

constexpr const char* kSourceTag = "zel_wnd_upload";
constexpr std::u16string_view kOpenFolderFailKey = u"IDS_HARDWARE_UPLOAD_OPEN_FOLDER_FAIL";

void Log(const std::string& message, std::string_view function, int line, const char* signature) {
  hostlog::Warn(message, function, kSourceTag, line, signature);
}

bool AppLogUploadSupported() { return CPKTSoftShelf::GetInstance().IsSupportPlugin("AppLogUpload"); }

std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

// The upload window's answers to the log service carry a length of 1 and no bytes.
void PostDecision(uint32_t messageId) {
  tagIPC_MESSAGE_ITEM message = MakeIPCMessage(kLogServiceModule, messageId, 0);
  message.nDataLen = 1;
  IPCHelper::Instance().Client().PostIPCMessage(message);
}

}  // namespace

void UploadWnd::InitWindow() {
  logItemsRegistration_ = IPCHelper::Instance().SetLogItemsHandler(
      [this](const std::vector<SYSTEM_DETECT_LOG_ITEM>& items) { OnRecvSample(items); });
  IPCHelper::Instance().Client().PostIPCMessage(MakeIPCMessage(kLogServiceModule, kMsgLogListRequest, kMsgLogList));
  if (AppLogUploadSupported()) AddUploadFileList(kAppLogType, false, u"");
  if (CControlUI* upload = m_pm.FindControl(u"btnUpload")) upload->SetEnabled(false);
}

void UploadWnd::OnRecvSample(const std::vector<SYSTEM_DETECT_LOG_ITEM>& items) {
  constexpr std::string_view kName = "zel::sysdiagnose::UploadWnd::OnRecvSample";
  Log("OnRecvSample enter", kName, __LINE__, __PRETTY_FUNCTION__);
  Log("OnRecvSample items.size():" + std::to_string(items.size()), kName, __LINE__, __PRETTY_FUNCTION__);
  const AliveToken::Weak alive = alive_.GetWeak();
  for (const SYSTEM_DETECT_LOG_ITEM& item : items) {
    const std::u16string name = platform::Utf8ToUtf16(item.strLogName);
    Log("OnRecvSample l.iModule:" + std::to_string(item.iModule) + " l.strLogName:" + Utf8(name), kName, __LINE__,
        __PRETTY_FUNCTION__);
    alive.Post([this, type = item.iModule, name] { ShowReceivedFile(type, name); });
  }
}

void UploadWnd::ShowReceivedFile(emDataType type, const std::u16string& name) {
  // With the application log in the upload, the button waits for that log; without it, the
  // first file of any kind is enough.
  if (type != kAppLogType) {
    AddUploadFileList(type, true, name);
    if (!AppLogUploadSupported()) EnableUpload();
  } else {
    SetUploadFileList(kAppLogType, name);
    if (AppLogUploadSupported()) EnableUpload();
  }
}

void UploadWnd::EnableUpload() {
  if (CControlUI* upload = m_pm.FindControl(u"btnUpload")) upload->SetEnabled(true);
}

void UploadWnd::AddUploadFileList(emDataType type, bool bHasContent, std::u16string strFilename) {
  constexpr std::string_view kName = "zel::sysdiagnose::UploadWnd::AddUploadFileList";
  Log("AddUploadFileList enter", kName, __LINE__, __PRETTY_FUNCTION__);
  Log("enmDeviceModule" + std::to_string(type) + "bHasContent" + std::to_string(bHasContent) + "strFilename" +
          Utf8(strFilename),
      kName, __LINE__, __PRETTY_FUNCTION__);
  auto* list = dynamic_cast<DuiLib::CListUI*>(m_pm.FindControl(u"lstUploadItems"));
  if (!list) return;
  UploadItem row;
  if (!row.Create()) return;
  list->Add(row.GetRoot());
  row.SetType(type);
  if (bHasContent) {
    row.ShowFile(strFilename);
  } else {
    row.ShowLoading();
  }
  m_items.insert_or_assign(type, row);
}

void UploadWnd::SetUploadFileList(emDataType type, std::u16string strFilename) {
  constexpr std::string_view kName = "zel::sysdiagnose::UploadWnd::SetUploadFileList";
  Log("SetUploadFileList enter", kName, __LINE__, __PRETTY_FUNCTION__);
  Log("enmDeviceModule" + std::to_string(type) + "strFilename" + Utf8(strFilename), kName, __LINE__,
      __PRETTY_FUNCTION__);
  const auto it = m_items.find(type);
  if (it == m_items.end()) return;
  it->second.ShowFile(strFilename);
}

void UploadWnd::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == DuiLib::DUI_MSGTYPE_ITEMACTIVATE) OpenFolderOf(msg.pSender);
  WindowImplBase::Notify(msg);
}

void UploadWnd::OpenFolderOf(const CControlUI* row) {
  if (!row || row->GetUserData().empty()) return;
  const std::string failure = platform::OpenContainingFolder(Utf8(row->GetUserData()));
  if (failure.empty()) return;
  Log("the folder of " + Utf8(row->GetUserData()) + " was not opened: " + failure,
      "zel::sysdiagnose::UploadWnd::OpenFolderOf", __LINE__, __PRETTY_FUNCTION__);
  if (CControlUI* message = m_pm.FindControl(u"lblUploadMessage")) {
    message->SetText(UICulture::GetInstance().GetString(kOpenFolderFailKey));
    message->SetToolTip(platform::Utf8ToUtf16(failure));
  }
}

void UploadWnd::OnClick(DuiLib::TNotifyUI& msg) {
  if (!msg.pSender) return;
  const std::u16string& name = msg.pSender->GetName();
  if (name == u"btnClose" || name == u"btnCancel") {
    PostDecision(kMsgUploadDeclined);
    Close(0);
  } else if (name == u"btnUpload") {
    PostDecision(kMsgStartUpload);
    Close(1);
  }
}

LRESULT UploadWnd::OnNcHitTest(POINT client) {
  const CControlUI* hit = m_pm.FindControl(client);
  const CControlUI* caption = m_pm.FindControl(u"lytCaption");
  if (!hit || !caption || !DuiLib::IsInTree(caption, hit)) return kHitClient;
  return dynamic_cast<const DuiLib::CButtonUI*>(hit) ? kHitClient : kHitCaption;
}

}  // namespace zel::sysdiagnose
