#pragma once
// A table as the commands print it on a terminal: columns measured in display columns (text_width.h),
// two spaces apart. When the table is wider than the terminal, the columns that may wrap give up
// room and their cells are broken into lines; the others keep their width. A wrapping column keeps
// its least width (on a terminal narrower still, they share what is left in proportion to it), and
// the room left goes to the wrapping columns in proportion to what each lacks times its weight.
// Tones are painted after the padding, so colour never counts as width.
#include <cstddef>
#include <string>
#include <vector>

#include "app/views/terminal.h"

namespace app {

class TextTable {
 public:
  struct Column {
    std::string header;
    bool wraps = false;
    size_t least = 0;   // the width a wrapping column keeps however narrow the terminal
    size_t weight = 1;  // a wrapping column's claim on the room left
  };
  struct Cell {
    std::string text;
    Tone tone = Tone::Plain;
  };

  explicit TextTable(std::vector<Column> columns);
  void AddRow(std::vector<Cell> cells);

  // The lines of the table in at most `width` columns (0: as wide as it needs), headers first
  // (none when every header is empty); no line ends in a space.
  std::vector<std::string> Render(size_t width, bool colour) const;

 private:
  std::vector<size_t> Widths(size_t width) const;
  std::vector<size_t> Squeezed(std::vector<size_t> widths, size_t room) const;

  std::vector<Column> columns_;
  std::vector<std::vector<Cell>> rows_;
};

}  // namespace app
