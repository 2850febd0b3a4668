#include "app/views/text_table.h"

#include <algorithm>
#include <numeric>

#include "app/views/text_width.h"

namespace app {
namespace {

constexpr size_t kGap = 2;
constexpr size_t kWidestCharacter = 2;

}  // namespace

TextTable::TextTable(std::vector<Column> columns) : columns_(std::move(columns)) {}

void TextTable::AddRow(std::vector<Cell> cells) {
  cells.resize(columns_.size());
  rows_.push_back(std::move(cells));
}

// Narrower than the wrapping columns' least widths: they share what is left in proportion to them,
// each keeping room for a wide character.
std::vector<size_t> TextTable::Squeezed(std::vector<size_t> widths, size_t room) const {
  size_t least = 0;
  for (size_t i = 0; i < columns_.size(); ++i) least += columns_[i].wraps ? widths[i] : 0;
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i].wraps) widths[i] = std::max(kWidestCharacter, least == 0 ? 0 : room * widths[i] / least);
  }
  return widths;
}

std::vector<size_t> TextTable::Widths(size_t width) const {
  std::vector<size_t> natural(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i) {
    natural[i] = DisplayWidth(columns_[i].header);
    for (const auto& row : rows_) natural[i] = std::max(natural[i], DisplayWidth(row[i].text));
  }
  const size_t gaps = columns_.empty() ? 0 : kGap * (columns_.size() - 1);
  if (width == 0 || std::accumulate(natural.begin(), natural.end(), gaps) <= width) return natural;

  std::vector<size_t> widths = natural;
  size_t fixed = gaps, kept = 0, lacking = 0;
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (!columns_[i].wraps) {
      fixed += natural[i];
      continue;
    }
    widths[i] = std::min(natural[i], std::max<size_t>(columns_[i].least, 1));
    kept += widths[i];
    lacking += (natural[i] - widths[i]) * columns_[i].weight;
  }
  if (width < fixed + kept) return Squeezed(std::move(widths), width > fixed ? width - fixed : 0);
  const size_t room = width - fixed - kept;
  if (room == 0 || lacking == 0) return widths;
  // The rounding goes to the first that still lacks room.
  size_t given = 0;
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (!columns_[i].wraps) continue;
    const size_t share = std::min(natural[i] - widths[i], room * (natural[i] - widths[i]) * columns_[i].weight / lacking);
    widths[i] += share;
    given += share;
  }
  for (bool lacks = true; lacks && given < room;) {
    lacks = false;
    for (size_t i = 0; i < columns_.size() && given < room; ++i) {
      if (!columns_[i].wraps || widths[i] >= natural[i]) continue;
      ++widths[i];
      ++given;
      lacks = true;
    }
  }
  return widths;
}

std::vector<std::string> TextTable::Render(size_t width, bool colour) const {
  const std::vector<size_t> widths = Widths(width);
  std::vector<std::vector<Cell>> rows;
  std::vector<Cell> headers;
  for (const Column& column : columns_) headers.push_back({column.header});
  if (std::any_of(headers.begin(), headers.end(), [](const Cell& cell) { return !cell.text.empty(); })) {
    rows.push_back(std::move(headers));
  }
  rows.insert(rows.end(), rows_.begin(), rows_.end());

  std::vector<std::string> out;
  for (const auto& row : rows) {
    std::vector<std::vector<std::string>> cellLines(columns_.size());
    size_t height = 1;
    for (size_t i = 0; i < columns_.size(); ++i) {
      cellLines[i] = WrapToWidth(row[i].text, columns_[i].wraps ? widths[i] : 0);
      height = std::max(height, cellLines[i].size());
    }
    for (size_t k = 0; k < height; ++k) {
      const auto piece = [&](size_t i) { return k < cellLines[i].size() ? cellLines[i][k] : std::string(); };
      size_t last = 0;
      for (size_t i = 0; i < columns_.size(); ++i) {
        if (!piece(i).empty()) last = i;
      }
      std::string line;
      for (size_t i = 0; i <= last && i < columns_.size(); ++i) {
        const std::string text = piece(i);
        line += Painted(text, row[i].tone, colour);
        if (i < last) line += std::string(widths[i] - std::min(widths[i], DisplayWidth(text)) + kGap, ' ');
      }
      out.push_back(std::move(line));
    }
  }
  return out;
}

}  // namespace app
