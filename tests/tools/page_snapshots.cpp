// page-snapshots MACHINE OUTDIR: drives the scan page and the archive page on a machine profile
// the way the tests do (the real scan thread, the UI loop on its virtual clock) and writes what
// they show as HTML: scan-scanning.html (mid-scan), scan-ready.html, and archive.html and
// archive-summary.html (after a run yesterday and one today; the second scrolled to the end),
// detect-running.html, detect-result.html, upload-window.html and detect-repaired.html (a
// diagnosis of every category, the log-upload window over its result, the repair run).
// scripts/page-screenshots.sh turns them into docs/*.png.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "DuiLib/UIDlgBuilder.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIText.h"
#include "DuiLib/UIWindowWnd.h"
#include "DuiLib/UIDriver.h"
#include "app/services/log_service.h"
#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UITabLayout.h"
#include "DuiLib/UITreeHtml.h"
#include "history/diagnose_history.h"
#include "machine/machine.h"
#include "model/hardware_catalog.h"
#include "model/hardware_state.h"
#include "platform/clock.h"
#include "support/page_window.h"
#include "support/ui_pump.h"
#include "ui/page_archievement.h"
#include "ui/page_detect.h"
#include "ui/page_scan.h"

namespace {

using namespace zel::sysdiagnose;
namespace fs = std::filesystem;

// One page in the index layout's tab layout, as the page host shows it.
template <class Page>
struct ShownPage {
  ShownPage() {
    DuiLib::CDialogBuilder builder;
    manager.AttachDialog(builder.Create(u"layout\\sysdiagnose_index.xml", {}, nullptr, &manager));
    manager.AddNotifier(&host);
    page.Create(&manager, &host);
    auto* tabs = dynamic_cast<DuiLib::CTabLayoutUI*>(manager.FindControl(u"tblSysdiagnoseContent"));
    if (tabs && page.GetRoot()) tabs->Add(page.GetRoot());
    page.Init();
  }
  bool Write(const fs::path& file, std::string_view title) { return WriteHtml(manager, file, title); }
  static bool WriteHtml(DuiLib::CPaintManagerUI& window, const fs::path& file, std::string_view title) {
    std::ofstream out(file);
    out << DuiLib::RenderHtmlDocument(window, title);
    return static_cast<bool>(out);
  }

  DuiLib::CPaintManagerUI manager;
  testenv::HostPump host;
  Page page;
};

bool SnapshotScan(const fs::path& out) {
  ShownPage<PageScan> shown;
  auto* list = dynamic_cast<DuiLib::CListUI*>(shown.manager.FindControl(u"lstSysdiagnoseScanItems"));
  if (!list) return false;
  const auto animating = [&] {
    return shown.manager.HasTimer(list, PageScan::kRowGrowthTimer) || shown.manager.HasTimer(list, PageScan::kBackToTopTimer);
  };
  shown.page.StartScan();
  // Mid-scan: the fifth category is showing its second row.
  const bool midway = testenv::PumpUntil(
      [&] {
        const auto* items = list->GetCount() == 5 ? dynamic_cast<DuiLib::CContainerUI*>(
                                                        shown.manager.FindSubControlByName(list->GetItemAt(4), u"lytItems"))
                                                  : nullptr;
        return items && items->GetCount() >= 2;
      },
      animating);
  if (!midway || !shown.Write(out / "scan-scanning.html", "Scan page, scanning")) return false;
  const bool ready = testenv::PumpUntil(
      [&] { return shown.manager.FindControl(u"lytScanExecute")->IsVisible() && !animating() && !shown.page.IsScanRunning(); },
      animating);
  return ready && shown.Write(out / "scan-ready.html", "Scan page, ready");
}

// Runs of the notebook with faults: yesterday's before any repair, today's after the Wi-Fi
// switch and the filter keys were repaired.
void SeedTwoDays(int64_t today) {
  const auto save = [](int64_t at, std::initializer_list<enmHardwareID> abnormal) {
    tagDiagnoseRecord record = ResetDiagnoseRecord();
    for (const auto& item : GetHardwareCatalog().Items()) {
      if (int64_t* state = StateOf(record, item.id)) *state = 0;
    }
    for (enmHardwareID id : abnormal) *StateOf(record, id) = 1;
    platform::SetClockForTesting([at] { return at; });
    DiagnoseHistory::SaveDiagnoseRecord(record);
  };
  save(today - 86400 + 10 * 3600 + 12 * 60,
       {HARDWARE_MEMORY, HARDWARE_DISK, HARDWARE_NETCARD, HARDWARE_BATTERY, HARDWARE_KEYBOARD, HARDWARE_BLUETOOTH});
  save(today + 9 * 3600 + 41 * 60, {HARDWARE_MEMORY, HARDWARE_DISK, HARDWARE_BATTERY, HARDWARE_BLUETOOTH});
}

bool SnapshotArchive(const fs::path& out) {
  // A fixed day in a zone without daylight saving, so that the snapshot is the same every time.
  platform::SetTimeZoneForTesting("UTC");
  const int64_t today = 1773014400;  // 2026-03-09 00:00 UTC
  SeedTwoDays(today);
  platform::SetClockForTesting([today] { return today + 15 * 3600; });
  for (const auto& item : GetHardwareCatalog().Items()) GetHardwareCatalog().RefreshModelName(item.id);

  ShownPage<PageArchievement> shown;
  DuiLib::CControlUI* list = shown.manager.FindControl(u"lstSysdiagnoseArchieve");
  DuiLib::CControlUI* track = shown.manager.FindControl(u"lyt_hardware_norm_state");
  if (!list || !track) return false;
  const int layoutWidth = track->GetFixedWidth();
  const auto animating = [&] {
    return shown.manager.HasTimer(list, PageArchievement::kDayBarTimer) ||
           shown.manager.HasTimer(list, PageArchievement::kSummaryTimer);
  };
  const bool settled =
      UIMessageLoop::Instance().RunUntil([&] { return track->GetFixedWidth() != layoutWidth; }, std::chrono::seconds(10)) &&
      testenv::PumpUntil([&] { return !animating(); }, animating);
  platform::SetClockForTesting({});
  if (!settled || !shown.Write(out / "archive.html", "Archive page")) return false;
  // The summary bar and its legend lie below the category lines.
  if (auto* scrolling = dynamic_cast<DuiLib::CListUI*>(list)) scrolling->EndDown();
  return shown.Write(out / "archive-summary.html", "Archive page, summary");
}

bool SnapshotDetect(const fs::path& out) {
  app::LogService logService;  // answers the detect-start message and lists the log files
  logService.Start();
  platform::SetSleepForTesting([](std::chrono::milliseconds) {});
  ShownPage<PageDetect> shown;
  DuiLib::CControlUI* list = shown.manager.FindControl(u"lstSysdiagnoseDetectItems");
  if (!list) return false;
  const auto animating = [&] {
    return shown.manager.HasTimer(list, PageDetect::kLineGrowthTimer) ||
           shown.manager.HasTimer(list, PageDetect::kBackToTopTimer) ||
           shown.manager.HasTimer(list, PageDetect::kScrollToItemTimer);
  };
  const auto settledIn = [&](PageDetect::State state) {
    return testenv::PumpUntil([&] { return shown.page.GetPageState() == state && !shown.page.IsRunning() && !animating(); },
                              animating);
  };
  std::vector<enmHardwareID> all;
  for (const tagDetectItem& item : GetHardwareCatalog().Items()) all.push_back(static_cast<enmHardwareID>(item.id));
  shown.page.StartDetect(all);

  // During the run: audio's loop-back test in progress.
  const bool midway = testenv::PumpUntil(
      [&] { return shown.page.GetItem(HARDWARE_AUDIO) && shown.page.GetItem(HARDWARE_AUDIO)->GetLineCount() == 2; },
      animating);
  if (!midway || !shown.Write(out / "detect-running.html", "Detect page, running")) return false;
  if (!settledIn(PageDetect::State::kResult) || !shown.Write(out / "detect-result.html", "Detect page, result")) return false;

  // The upload window over the result, once both log files are listed.
  bool uploadWritten = false;
  UIMainQueue::getInstance().dispatch([&] {
    DuiLib::CWindowWnd* window = DuiLib::CWindowWnd::TopModalWindow();
    if (!window) return;
    DuiLib::CPaintManagerUI& pm = *window->GetPaintManager();
    auto* files = dynamic_cast<DuiLib::CContainerUI*>(pm.FindControl(u"lstUploadItems"));
    UIMessageLoop::Instance().RunUntil(
        [&] { return files && files->GetCount() == 2 && pm.FindControl(u"btnUpload")->IsEnabled(); },
        std::chrono::seconds(10));
    uploadWritten = ShownPage<PageDetect>::WriteHtml(pm, out / "upload-window.html", "Upload window");
    DuiLib::UIDriver(pm).Click(u"btnCancel");
  });
  DuiLib::UIDriver driver(shown.manager);
  if (!driver.FollowLink(shown.manager.FindControl(u"txtSysdiagnoseDetectSecondTitle"), 0) || !uploadWritten) {
    return false;
  }

  driver.Click(u"btnSysdiagnoseDetectComplete");
  const bool repaired = settledIn(PageDetect::State::kRepairFailed) &&
                        shown.Write(out / "detect-repaired.html", "Detect page, after the repair");
  platform::SetSleepForTesting(nullptr);
  return repaired;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: page-snapshots MACHINE.json OUTDIR\n";
    return 2;
  }
  const fs::path out = argv[2];
  std::error_code ec;
  fs::create_directories(out, ec);
  char dataTemplate[] = "/tmp/page-snapshots-XXXXXX";
  if (!mkdtemp(dataTemplate)) {
    std::cerr << "page-snapshots: cannot make a data directory\n";
    return 2;
  }
  setenv("SYSDIAGNOSE_DATA_DIR", dataTemplate, 1);
  auto loaded = host::machine::Machine::Instance().LoadFile(argv[1]);
  if (!loaded) {
    std::cerr << "page-snapshots: " << loaded.error << "\n";
    return 2;
  }
  UIMessageLoop::Instance().UseVirtualClock(true);
  const bool ok = SnapshotScan(out) && SnapshotArchive(out) && SnapshotDetect(out);
  fs::remove_all(dataTemplate, ec);
  if (!ok) {
    std::cerr << "page-snapshots: a page did not reach the state to show\n";
    return 1;
  }
  return 0;
}
