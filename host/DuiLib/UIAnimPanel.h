#pragma once
// CAnimPanelUI: an option that can also play a frame animation (the busy indicator of the
// items). The frames are numbered files: frame N of "file='drawable/hardware/Loading/loading_.png'"
// is "file='drawable/hardware/Loading/loading_N.png'" (N inserted before the file's extension;
// a plain file name works the same way). Play shows the first frame and moves one frame every
// elapse milliseconds on the window's timer (so on the UI loop's clock), back to the first after
// the last when looping, else stopping on the last. Stop ends the animation and hides the frame.
// Playing starts when the panel is in a window; one that leaves its window stops moving.
#include "DuiLib/UIOption.h"

namespace DuiLib {

class CAnimPanelUI : public COptionUI {
 public:
  // The panel's own timer; it never reaches the pages as a "timer" notification.
  static constexpr UINT kFrameTimerId = 100;

  std::u16string_view GetClass() const override;

  const std::u16string& GetFrameImage() const { return m_sFrameImage; }
  void SetFrameImage(std::u16string_view image) { m_sFrameImage = image; }
  int GetFirstFrame() const { return m_nFirstFrame; }
  void SetFirstFrame(int frame) { m_nFirstFrame = frame; }
  int GetLastFrame() const { return m_nLastFrame; }
  void SetLastFrame(int frame) { m_nLastFrame = frame; }
  bool IsLoop() const { return m_bLoop; }
  void SetLoop(bool loop) { m_bLoop = loop; }
  UINT GetElapse() const { return m_uElapse; }
  void SetElapse(UINT milliseconds) { m_uElapse = milliseconds; }

  void Play();
  void Stop();
  bool IsPlaying() const { return m_bPlaying; }
  int GetCurrentFrame() const { return m_nCurrentFrame; }  // 0 when no frame is shown
  // Image description of the frame shown, empty when none.
  std::u16string GetCurrentFrameImage() const;
  static std::u16string FrameImage(std::u16string_view image, int frame);

  void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
  void DoEvent(TEventUI& event) override;
  void SetAttribute(std::u16string_view name, std::u16string_view value) override;

 private:
  void StartTimer();

  std::u16string m_sFrameImage;
  int m_nFirstFrame = 1;
  int m_nLastFrame = 1;
  bool m_bLoop = true;
  UINT m_uElapse = 100;
  bool m_bPlaying = false;
  int m_nCurrentFrame = 0;
};

}  // namespace DuiLib
