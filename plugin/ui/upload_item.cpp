#include "ui/upload_item.h"

#include <string_view>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UICulture.h"
#include "DuiLib/UIDlgBuilder.h"

namespace zel::sysdiagnose {

namespace {

constexpr std::u16string_view kLayout = u"layout\\sysdiagnose_upload_item.xml";
constexpr int kShownHeight = 20;

struct KindLook {
  std::u16string_view icon;
  std::u16string_view loadingKey;
};

constexpr KindLook kAppLogLook{u"file='drawable/hardware/icon_corvane.png'", u"IDS_HARDWARE_ITEM_LOG_GENERATE_APP"};
constexpr KindLook kOtherLogLook{u"file='drawable/hardware/icon_default.png'",
                                 u"IDS_HARDWARE_ITEM_LOG_GENERATE_DEFAULT"};

void ShowPart(DuiLib::CControlUI* part, bool shown) {
  if (!part) return;
  part->SetVisible(shown);
  part->SetFixedHeight(shown ? kShownHeight : 0);
}

// The file-name part of a path written either way.
std::u16string FileNameOf(const std::u16string& path) {
  const size_t slash = path.find_last_of(u"/\\");
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool UploadItem::Create() {
  DuiLib::CDialogBuilder builder;
  root = builder.Create(kLayout);
  auto* tree = dynamic_cast<DuiLib::CContainerUI*>(root);
  if (!tree) return root != nullptr;
  lytLoadding = tree->FindSubControl(u"lytLoadding");
  lytContent = tree->FindSubControl(u"lytContent");
  btnLoadding = dynamic_cast<DuiLib::CAnimPanelUI*>(tree->FindSubControl(u"btnLoadding"));
  lblLoadding = tree->FindSubControl(u"lblLoadding");
  ctlContent = tree->FindSubControl(u"ctlContent");
  lblContent = tree->FindSubControl(u"lblContent");
  return true;
}

void UploadItem::SetType(emDataType kind) {
  type = kind;
  const KindLook& look = kind == kAppLogType ? kAppLogLook : kOtherLogLook;
  if (ctlContent) ctlContent->SetBkImage(look.icon);
  if (lblLoadding) lblLoadding->SetText(UICulture::GetInstance().GetString(look.loadingKey));
}

void UploadItem::ShowLoading() {
  if (root) root->SetMouseEnabled(false);
  ShowPart(lytLoadding, true);
  ShowPart(lytContent, false);
  if (btnLoadding) btnLoadding->Play();
}

void UploadItem::ShowFile(const std::u16string& path) {
  if (root) root->SetMouseEnabled(true);
  ShowPart(lytLoadding, false);
  if (btnLoadding) btnLoadding->Stop();
  ShowPart(lytContent, true);
  if (lblContent) {
    lblContent->SetText(FileNameOf(path));
    lblContent->SetToolTip(path);
  }
  if (root) root->SetUserData(path);
}

}  // namespace zel::sysdiagnose
