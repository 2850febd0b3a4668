#include "DuiLib/UIAnimPanel.h"

#include <string>

#include "DuiLib/UIAttribute.h"
#include "DuiLib/UIManager.h"

namespace DuiLib {

std::u16string_view CAnimPanelUI::GetClass() const { return u"AnimPanel"; }

void CAnimPanelUI::Play() {
  m_bPlaying = true;
  m_nCurrentFrame = m_nFirstFrame;
  StartTimer();
}

void CAnimPanelUI::Stop() {
  m_bPlaying = false;
  m_nCurrentFrame = 0;
  if (m_pManager) m_pManager->KillTimer(this, kFrameTimerId);
}

void CAnimPanelUI::StartTimer() {
  if (m_bPlaying && m_pManager) m_pManager->SetTimer(this, kFrameTimerId, m_uElapse);
}

std::u16string CAnimPanelUI::GetCurrentFrameImage() const {
  return m_nCurrentFrame > 0 ? FrameImage(m_sFrameImage, m_nCurrentFrame) : std::u16string();
}

std::u16string CAnimPanelUI::FrameImage(std::u16string_view image, int frame) {
  // The extension of the file name: the last dot of the "file='...'" value, or of the whole text.
  size_t end = image.size();
  size_t begin = 0;
  if (const size_t file = image.find(u"file='"); file != std::u16string_view::npos) {
    begin = file + 6;
    const size_t close = image.find(u'\'', begin);
    end = close == std::u16string_view::npos ? image.size() : close;
  }
  const size_t dot = image.substr(begin, end - begin).rfind(u'.');
  const size_t at = dot == std::u16string_view::npos ? end : begin + dot;
  const std::string number = std::to_string(frame);
  std::u16string result(image.substr(0, at));
  result.append(number.begin(), number.end());
  result += image.substr(at);
  return result;
}

void CAnimPanelUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
  const bool joined = manager && manager != m_pManager;
  COptionUI::SetManager(manager, parent);
  if (joined) StartTimer();
}

void CAnimPanelUI::DoEvent(TEventUI& event) {
  if (event.Type != UIEventType::Timer || event.wParam != kFrameTimerId) {
    COptionUI::DoEvent(event);
    return;
  }
  if (!m_bPlaying) return;
  if (m_nCurrentFrame < m_nLastFrame) {
    ++m_nCurrentFrame;
  } else if (m_bLoop) {
    m_nCurrentFrame = m_nFirstFrame;
  } else {
    m_bPlaying = false;
    if (m_pManager) m_pManager->KillTimer(this, kFrameTimerId);
  }
}

void CAnimPanelUI::SetAttribute(std::u16string_view name, std::u16string_view value) {
  using Value = std::u16string_view;
  static constexpr attr::Setter<CAnimPanelUI> kAttributes[] = {
      {u"frameimage", [](CAnimPanelUI& c, Value v) { c.SetFrameImage(v); }},
      {u"firstframe", [](CAnimPanelUI& c, Value v) { c.SetFirstFrame(attr::ToInt(v)); }},
      {u"lastframe", [](CAnimPanelUI& c, Value v) { c.SetLastFrame(attr::ToInt(v)); }},
      {u"loop", [](CAnimPanelUI& c, Value v) { c.SetLoop(attr::ToBool(v)); }},
      {u"elapse", [](CAnimPanelUI& c, Value v) { c.SetElapse(static_cast<UINT>(attr::ToInt(v))); }},
      {u"autoplay", [](CAnimPanelUI& c, Value v) { if (attr::ToBool(v)) c.Play(); }},
  };
  if (!attr::Apply(kAttributes, *this, name, value)) COptionUI::SetAttribute(name, value);
}

}  // namespace DuiLib
