#pragma once
// PageIndex: the page host, the one container page the host embeds into its window. Its tab
// layout "tblSysdiagnoseContent" holds the history, scan and detect pages at the tabs of their
// enumPageType values; SwitchPage prepares a page and shows it, and the scan page's selection is
// remembered here for the detect page. The health-check service lives inside it, so it comes to
// life with the user interface. One instance per process, made on first use; UI thread.
#include <vector>

#include "DuiLib/UITabLayout.h"
#include "ipc/detect_query4doctor.h"
#include "model/records.h"
#include "shell/sysdiagnose_page.h"
#include "ui/page_archievement.h"
#include "ui/page_detect.h"
#include "ui/page_scan.h"

namespace zel::sysdiagnose {

class PageIndex : public SysdiagnosePage {
 public:
  static constexpr std::u16string_view kContentTabs = u"tblSysdiagnoseContent";
  // The host's control whose coming into view refreshes the history page.
  static constexpr std::u16string_view kHostMainControl = u"SysdiagnoseUIMain";

  static PageIndex& Instance();

  PageIndex();
  PageIndex(const PageIndex&) = delete;
  PageIndex& operator=(const PageIndex&) = delete;

  void Init() override;
  void OnTabSelect(DuiLib::TNotifyUI& msg) override;

  void SwitchPage(enumPageType page);
  void SetSelectedHardware(const std::vector<enmHardwareID>& categories);

  const std::vector<enmHardwareID>& SelectedHardware() const { return m_selectedHardware; }

 private:
  DuiLib::CTabLayoutUI* ContentTabs() const;

  PageArchievement m_pageArchievement;
  PageScan m_pageScan;
  PageDetect m_pageDetect;
  std::vector<enmHardwareID> m_selectedHardware;
  DetectQuery4Doctor m_detectQuery4Doctor;
};

}  // namespace zel::sysdiagnose
