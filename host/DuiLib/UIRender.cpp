#include "DuiLib/UIRender.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "DuiLib/UIManager.h"
#include "DuiLib/UIResourceManager.h"
#include "DuiLib/UITextMarkup.h"

namespace DuiLib {
namespace {

constexpr std::u16string_view kNarrow = u"ijl|!.,:;'`";
constexpr std::u16string_view kSlim = u"ftrI()[]{}/\\-\"";
constexpr std::u16string_view kBroad = u"mwMW@%";

bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// Advance of a character in hundredths of the font size.
int Advance(char32_t c) {
  if (c < 0x20) return 0;
  if (c == U' ') return 28;
  if (c < 0x80) {
    const char16_t ascii = static_cast<char16_t>(c);
    if (kNarrow.find(ascii) != std::u16string_view::npos) return 25;
    if (kSlim.find(ascii) != std::u16string_view::npos) return 33;
    if (kBroad.find(ascii) != std::u16string_view::npos) return 85;
    if (c >= U'A' && c <= U'Z') return 70;
    if (c >= U'0' && c <= U'9') return 56;
    if (c >= U'a' && c <= U'z') return 55;
  }
  return IsWide(c) ? 100 : 60;
}

// One character with the font it is drawn in.
struct Glyph {
  char32_t c;
  double advance;  // pixels
  int lineHeight;
};

struct Face {
  int size;
  bool bold;
};

Face FaceOf(int font, bool bold) {
  const TFontInfo& info = CPaintManagerUI::GetFontInfo(font);
  return Face{CResourceManager::Scale(info.size), info.bold || bold};
}

void AppendGlyphs(std::vector<Glyph>& glyphs, std::u16string_view text, Face face) {
  const int lineHeight = (face.size * 4 + 2) / 3;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    double advance = Advance(c) * face.size / 100.0;
    if (face.bold) advance *= 1.10;
    glyphs.push_back(Glyph{c, advance, lineHeight});
  }
}

std::vector<Glyph> Glyphs(std::u16string_view text, int font, bool html) {
  std::vector<Glyph> glyphs;
  if (!html) {
    AppendGlyphs(glyphs, text, FaceOf(font, false));
    return glyphs;
  }
  for (const TTextRun& run : ParseTextMarkup(text)) {
    if (run.lineBreak) {
      AppendGlyphs(glyphs, u"\n", FaceOf(font, false));
    } else {
      AppendGlyphs(glyphs, run.text, FaceOf(run.font >= 0 ? run.font : font, run.bold));
    }
  }
  return glyphs;
}

bool BreaksAfter(const Glyph& g) { return g.c == U' ' || IsWide(g.c); }

// Lays the glyphs out in lines no wider than `width` (when wrapping) and measures them.
SIZE Measure(const std::vector<Glyph>& glyphs, bool wrap, int width, int emptyLineHeight) {
  double widest = 0;
  int height = 0;
  size_t start = 0;
  while (start <= glyphs.size()) {
    // Find the end of this line.
    double lineWidth = 0;
    int lineHeight = 0;
    size_t end = start;
    size_t lastBreak = std::string::npos;
    double widthAtBreak = 0;
    bool hardBreak = false;
    while (end < glyphs.size()) {
      const Glyph& g = glyphs[end];
      if (g.c == U'\n') {
        hardBreak = true;
        break;
      }
      if (wrap && end > start && lineWidth + g.advance > width && g.c != U' ') {
        if (lastBreak != std::string::npos) {
          end = lastBreak + 1;
          lineWidth = widthAtBreak;
        }
        break;
      }
      lineWidth += g.advance;
      if (BreaksAfter(g)) {
        lastBreak = end;
        widthAtBreak = lineWidth;
      }
      ++end;
    }
    for (size_t i = start; i < end; ++i) lineHeight = std::max(lineHeight, glyphs[i].lineHeight);
    if (lineHeight == 0) lineHeight = emptyLineHeight;
    // Spaces that end a wrapped line take no room.
    double trimmed = lineWidth;
    for (size_t i = end; i > start && glyphs[i - 1].c == U' ' && !hardBreak; --i) trimmed -= glyphs[i - 1].advance;
    widest = std::max(widest, wrap ? std::max(trimmed, 0.0) : lineWidth);
    height += lineHeight;
    if (end >= glyphs.size()) break;
    start = hardBreak ? end + 1 : end;
    if (hardBreak && start == glyphs.size()) {
      height += emptyLineHeight;
      break;
    }
  }
  return SIZE{static_cast<int>(std::ceil(widest - 1e-9)), height};
}

void CalcRect(RECT& rc, std::u16string_view text, int font, UINT style, bool html) {
  if ((style & DT_CALCRECT) == 0) return;
  const bool wrap = (style & DT_WORDBREAK) != 0 && (style & DT_SINGLELINE) == 0;
  const SIZE size = CRenderEngine::GetTextSize(nullptr, text, font, style, html, rc.right - rc.left);
  rc.right = rc.left + (wrap ? std::min(size.cx, rc.right - rc.left) : size.cx);
  rc.bottom = rc.top + size.cy;
}

}  // namespace

void CRenderEngine::DrawText(CPaintManagerUI*, RECT& rc, std::u16string_view text, DWORD, int font, UINT style) {
  CalcRect(rc, text, font, style, false);
}

void CRenderEngine::DrawHtmlText(CPaintManagerUI*, RECT& rc, std::u16string_view text, DWORD, int font, UINT style) {
  CalcRect(rc, text, font, style, true);
}

SIZE CRenderEngine::GetTextSize(CPaintManagerUI*, std::u16string_view text, int font, UINT style, bool html,
                                int maxWidth) {
  const bool wrap = (style & DT_WORDBREAK) != 0 && (style & DT_SINGLELINE) == 0;
  return Measure(Glyphs(text, font, html), wrap, std::max(maxWidth, 1), CPaintManagerUI::GetFontHeight(font));
}

}  // namespace DuiLib
