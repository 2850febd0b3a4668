#include "app/views/detect_page_view.h"

#include <array>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UITextMarkup.h"
#include "platform/encoding.h"

namespace app {
namespace {

struct LookImage {
  std::u16string_view image;
  LineLook look;
};

constexpr std::array kLookImages{
    LookImage{u"ico_right.png", LineLook::Passed},
    LookImage{u"ic_unusual.png", LineLook::Failed},
    LookImage{u"ic_restart.png", LineLook::NeedsRestart},
    LookImage{u"ic_turnoff.png", LineLook::NeedsShutdown},
};

struct VerdictColour {
  DWORD colour;
  Verdict verdict;
};

constexpr std::array kVerdictColours{
    VerdictColour{0xFF68D568, Verdict::Normal},
    VerdictColour{0xFFFF9800, Verdict::Notice},
    VerdictColour{0xFFFA2A2D, Verdict::Abnormal},
};

LineLook LookOf(const DuiLib::CControlUI* status) {
  const auto* panel = dynamic_cast<const DuiLib::CAnimPanelUI*>(status);
  if (panel == nullptr) return LineLook::Other;
  if (panel->IsPlaying()) return LineLook::Running;
  for (const LookImage& known : kLookImages) {
    if (panel->GetBkImage().find(known.image) != std::u16string::npos) return known.look;
  }
  return LineLook::Other;
}

Verdict VerdictOf(const DuiLib::CControlUI* icon) {
  if (icon == nullptr) return Verdict::None;
  for (const VerdictColour& known : kVerdictColours) {
    if (icon->GetBkColor() == known.colour) return known.verdict;
  }
  return Verdict::None;
}

// The text without its links and their words, and without the blanks left before them.
std::string Unlinked(std::u16string_view marked) {
  std::u16string text;
  for (const DuiLib::TTextRun& run : DuiLib::ParseTextMarkup(marked)) {
    if (run.link < 0) text += run.lineBreak ? u"\n" : run.text;
  }
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\n')) text.pop_back();
  return platform::Utf16ToUtf8(text);
}

DetectLineView ReadLine(const PageDriver& page, DuiLib::CControlUI* line) {
  DetectLineView view;
  view.title = page.TextOf(page.Find(line, u"txtTitle"));
  view.look = LookOf(page.Find(line, u"optChoose"));
  if (view.look != LineLook::Passed) view.detail = page.TextOf(page.Find(line, u"txtDetail"));
  if (page.Shown(page.Find(line, u"txtResult"))) view.action = page.TextOf(page.Find(line, u"txtResult"));
  if (page.Shown(page.Find(line, u"lytSuggest"))) {
    view.suggestion = page.TextOf(page.Find(line, u"txtSuggest"));
    view.look = LineLook::Notice;  // a mild finding: its advice stands where a mark would
  }
  return view;
}

}  // namespace

DetectPageView ReadDetectPage(const PageDriver& page) {
  DetectPageView view;
  view.firstTitle = page.Text(u"txtSysdiagnosedDetectFirstTitle");
  view.secondTitle = page.Text(u"txtSysdiagnoseDetectSecondTitle");
  if (const DuiLib::CControlUI* second = page.Find(u"txtSysdiagnoseDetectSecondTitle")) {
    view.uploadOffered = DuiLib::CountTextLinks(second->GetText()) > 0;
    view.secondTitleUnlinked = view.uploadOffered ? Unlinked(second->GetText()) : view.secondTitle;
  }
  view.busy = page.Shown(u"lytDetectCancel");
  view.finished = page.Shown(u"lytDetectExecute");
  view.completeButton = page.Text(u"btnSysdiagnoseDetectComplete");
  if (page.Shown(u"btnSysdiagnoseDetectBack")) view.backButton = page.Text(u"btnSysdiagnoseDetectBack");
  for (DuiLib::CControlUI* root : PageDriver::Children(page.Find(u"lstSysdiagnoseDetectItems"))) {
    DetectItemView item;
    item.name = page.TextOf(page.Find(root, u"txtName"));
    item.description = page.TextOf(page.Find(root, u"txtDescription"));
    item.verdict = VerdictOf(page.Find(root, u"ctlBigIcon"));
    for (DuiLib::CControlUI* line : PageDriver::Children(page.Find(root, u"lytItems"))) {
      item.lines.push_back(ReadLine(page, line));
    }
    view.items.push_back(std::move(item));
  }
  return view;
}

const char* LookText(LineLook look) {
  switch (look) {
    case LineLook::Running: return "running";
    case LineLook::Passed: return "passed";
    case LineLook::Failed: return "failed";
    case LineLook::Notice: return "notice";
    case LineLook::NeedsRestart: return "restart needed";
    case LineLook::NeedsShutdown: return "shutdown needed";
    case LineLook::Other: break;
  }
  return "";
}

const char* VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::Normal: return "normal";
    case Verdict::Notice: return "notice";
    case Verdict::Abnormal: return "abnormal";
    case Verdict::None: break;
  }
  return "";
}

}  // namespace app
