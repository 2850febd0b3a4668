#pragma once
// Text as a terminal lays it out: measured in columns, cut and broken only between grapheme
// clusters (what the reader sees as one character), never inside a UTF-8 sequence. A cluster takes
// two columns when its base character is East Asian wide or fullwidth (or an emoji or a flag),
// none when it is a control or a lone combining mark or format character, one otherwise.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// Columns the text takes; text that is not UTF-8 is measured as replaced characters.
size_t DisplayWidth(std::string_view utf8);

// The text in at most `width` columns: whole when it fits, else cut at a cluster boundary with
// "~" as its last column.
std::string CutToWidth(std::string_view utf8, size_t width);

// The text followed by spaces up to `width` columns (a longer text is left as it is).
std::string PadToWidth(std::string_view utf8, size_t width);

// The text broken into lines of at most `width` columns where a line may break (between words,
// between ideographs, at a line feed), a word wider than a line between its clusters; no line
// ends in a space. Width 0: no limit, lines break only at line feeds. An empty text is one
// empty line.
std::vector<std::string> WrapToWidth(std::string_view utf8, size_t width);

// The text to follow a lead of `indent` columns on a line `width` wide: wrapped to what is left
// of the line, its later lines indented under its first (a line feed between them). Too little
// room left, or width 0: the text on one line.
std::string HangingText(std::string_view utf8, size_t indent, size_t width);

}  // namespace app
