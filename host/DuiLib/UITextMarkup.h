#pragma once
// The rich-text markup of texts shown with showhtml: {b}..{/b} bold, {i}..{/i} italic,
// {u}..{/u} underline, {c #AARRGGBB}..{/c} colour, {f N}..{/f} font N of the host's table,
// {a}..{/a} a link (numbered from 0 in text order), {n} a line break. Tags nest; a brace that
// starts no known tag is plain text; an unclosed tag lasts to the end of the text.
#include <string>
#include <string_view>
#include <vector>

#include "DuiLib/UIDefine.h"

namespace DuiLib {

struct TTextRun {
  std::u16string text;
  int font = -1;      // -1: the control's font
  DWORD color = 0;    // 0: the control's colour
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int link = -1;      // index of the link the run belongs to, -1 for none
  bool lineBreak = false;  // a {n}: the run has no text
};

std::vector<TTextRun> ParseTextMarkup(std::u16string_view text);
// The text without its tags.
std::u16string StripTextMarkup(std::u16string_view text);
int CountTextLinks(std::u16string_view text);

}  // namespace DuiLib
