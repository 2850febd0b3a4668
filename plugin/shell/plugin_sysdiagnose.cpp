#include "shell/plugin_sysdiagnose.h"

#include "DuiLib/UICulture.h"
#include "shell/interface_ids.h"
#include "shell/page_index.h"
#include "utility/CPKTSoftShelf.h"

namespace zel::sysdiagnose {

bool CPluginSysdiagnose::HasInterface(uint32_t iid) { return iid == IidIPKTUIPlugin() || iid == IidIPKTPlugin(); }

bool CPluginSysdiagnose::CreateUI(tagUIContext* context) {
  if (!CPKTSoftShelf::GetInstance().IsSupportPlugin(kFeatureName)) return true;
  if (context == nullptr) return false;
  return BuildUI(context->pPaintManager, context->pOwner, context);
}

bool CPluginSysdiagnose::BuildUI(DuiLib::CPaintManagerUI* paintManager, DuiLib::CNotifyPump* owner,
                                 tagUIContext* context) {
  const std::u16string title = UICulture::GetInstance().ParseBind(u"bind='IDS_HARDWARE_DETECT'");
  PageIndex& pageIndex = PageIndex::Instance();
  pageIndex.Create(paintManager, owner);
  if (pageIndex.GetRoot() != nullptr) {
    if (context != nullptr && context->fnAddPage) context->fnAddPage(1, title, pageIndex.GetRoot());
    pageIndex.Init();
  }
  return true;
}

}  // namespace zel::sysdiagnose
