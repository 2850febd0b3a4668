#pragma once
// CRenderEngine: text measuring. There is no screen, so DrawText only measures (DT_CALCRECT);
// without that flag it draws nothing.
//
// The font model: a font of the host's table (CPaintManagerUI::GetFontInfo) is a pixel size S
// (scaled by the DPI) and a weight. A character advances by a fixed fraction of S, close to a
// common sans-serif face: space 0.28; "ijl|!.,:;'`" 0.25; "ftrI()[]{}/\-\"" 0.33; "mwMW@%" 0.85;
// other capitals 0.70; digits 0.56; other small letters 0.55; East Asian wide characters 1.0;
// anything else 0.6. Bold is 10% wider. A line is ceil(S × 4/3) high. A text's width is the sum
// of its advances, rounded up. DT_WORDBREAK wraps at spaces (and between wide characters) to the
// rectangle's width, breaking a word that is wider than a line; "\n" always breaks.
#include <string_view>

#include "DuiLib/UIDefine.h"

namespace DuiLib {

class CPaintManagerUI;

class CRenderEngine {
 public:
  // With DT_CALCRECT: rc.right and rc.bottom become rc.left + text width and rc.top + text
  // height (wrapped to rc's width with DT_WORDBREAK, one line with DT_SINGLELINE).
  static void DrawText(CPaintManagerUI* manager, RECT& rc, std::u16string_view text, DWORD color, int font,
                       UINT style);
  static void DrawTextW(CPaintManagerUI* manager, RECT& rc, std::u16string_view text, DWORD color, int font,
                        UINT style) {
    DrawText(manager, rc, text, color, font, style);
  }
  // The same for a text in the rich-text markup (UITextMarkup.h).
  static void DrawHtmlText(CPaintManagerUI* manager, RECT& rc, std::u16string_view text, DWORD color, int font,
                           UINT style);
  // Size of a text on one line (or wrapped to `maxWidth` with DT_WORDBREAK).
  static SIZE GetTextSize(CPaintManagerUI* manager, std::u16string_view text, int font, UINT style, bool html = false,
                          int maxWidth = 9999);
};

}  // namespace DuiLib
