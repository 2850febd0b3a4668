#include "app/views/text_width.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <limits>
#include <memory>

namespace app {
namespace {

using icu::UnicodeString;

// A terminal prints text, never the controls in it: a tab is a space, other controls but the line
// feed are dropped (a name in a profile must not move the cursor or change colours).
UnicodeString Printable(std::string_view utf8) {
  constexpr size_t kMost = std::numeric_limits<int32_t>::max();
  const auto length = static_cast<int32_t>(std::min(utf8.size(), kMost));
  const UnicodeString text = UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), length));
  UnicodeString printable;
  for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
    const UChar32 c = text.char32At(i);
    if (c == u'\t') {
      printable.append(u' ');
    } else if (c == u'\n' || u_charType(c) != U_CONTROL_CHAR) {
      printable.append(c);
    }
  }
  return printable;
}

std::string Utf8(const UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}

size_t ColumnsOf(UChar32 c) {
  switch (u_charType(c)) {
    case U_CONTROL_CHAR:
    case U_NON_SPACING_MARK:
    case U_ENCLOSING_MARK:
    case U_FORMAT_CHAR: return 0;
    default: break;
  }
  const int width = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
  if (width == U_EA_WIDE || width == U_EA_FULLWIDTH) return 2;
  return u_hasBinaryProperty(c, UCHAR_EMOJI_PRESENTATION) || u_hasBinaryProperty(c, UCHAR_REGIONAL_INDICATOR) ? 2 : 1;
}

struct Cluster {
  int32_t start, end;
  size_t columns;
};

// A cluster is as wide as its base character; a text-style emoji asked to show as a picture (U+FE0F) is two.
size_t ClusterColumns(const UnicodeString& text, int32_t start, int32_t end) {
  const UChar32 base = text.char32At(start);
  const size_t columns = ColumnsOf(base);
  constexpr char16_t kEmojiStyle = 0xFE0F;
  if (columns == 1 && u_hasBinaryProperty(base, UCHAR_EMOJI) && text.indexOf(kEmojiStyle, start, end - start) >= 0) {
    return 2;
  }
  return columns;
}

std::unique_ptr<icu::BreakIterator> Iterator(bool lines, const UnicodeString& text) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Locale& root = icu::Locale::getRoot();
  std::unique_ptr<icu::BreakIterator> it(lines ? icu::BreakIterator::createLineInstance(root, status)
                                               : icu::BreakIterator::createCharacterInstance(root, status));
  if (U_FAILURE(status)) return nullptr;
  it->setText(text);
  return it;
}

std::vector<Cluster> ClustersOf(const UnicodeString& text) {
  std::vector<Cluster> clusters;
  auto it = Iterator(false, text);
  if (!it) {  // without ICU's data every code point stands alone
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
      clusters.push_back({i, text.moveIndex32(i, 1), ColumnsOf(text.char32At(i))});
    }
    return clusters;
  }
  for (int32_t start = it->first(), end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next()) {
    clusters.push_back({start, end, ClusterColumns(text, start, end)});
  }
  return clusters;
}

size_t Columns(const UnicodeString& text) {
  size_t columns = 0;
  for (const Cluster& cluster : ClustersOf(text)) columns += cluster.columns;
  return columns;
}

bool IsLineEnd(UChar32 c) { return c == u'\n' || c == u'\r' || c == 0x85 || c == 0x2028 || c == 0x2029; }

UnicodeString WithoutTrailingSpace(UnicodeString text) {
  int32_t end = text.length();
  while (end > 0 && (u_isUWhiteSpace(text.charAt(end - 1)) || IsLineEnd(text.charAt(end - 1)))) --end;
  text.truncate(end);
  return text;
}

// Lines of at most `width` columns, filled one piece at a time.
class LineFiller {
 public:
  explicit LineFiller(size_t width) : width_(width) {}

  void Add(const UnicodeString& piece) {
    const size_t visible = Columns(WithoutTrailingSpace(piece));
    if (columns_ + visible > width_ && columns_ > 0) Flush();
    if (visible <= width_) {
      Append(piece, Columns(piece));
      return;
    }
    for (const Cluster& cluster : ClustersOf(piece)) {  // a word wider than a line
      if (columns_ + cluster.columns > width_ && columns_ > 0) Flush();
      Append(piece.tempSubStringBetween(cluster.start, cluster.end), cluster.columns);
    }
  }

  void Flush() {
    lines_.push_back(Utf8(WithoutTrailingSpace(line_)));
    line_.remove();
    columns_ = 0;
  }

  std::vector<std::string> Lines() {
    if (!line_.isEmpty() || lines_.empty()) Flush();
    return std::move(lines_);
  }

 private:
  void Append(const UnicodeString& text, size_t columns) {
    line_.append(text);
    columns_ += columns;
  }

  size_t width_;
  UnicodeString line_;
  size_t columns_ = 0;
  std::vector<std::string> lines_;
};

std::vector<std::string> SplitAtLineFeeds(const UnicodeString& text) {
  std::vector<std::string> lines;
  int32_t start = 0;
  for (int32_t end; (end = text.indexOf(u'\n', start)) >= 0; start = end + 1) {
    lines.push_back(Utf8(WithoutTrailingSpace(text.tempSubStringBetween(start, end))));
  }
  lines.push_back(Utf8(WithoutTrailingSpace(text.tempSubStringBetween(start))));
  return lines;
}

}  // namespace

size_t DisplayWidth(std::string_view utf8) { return Columns(Printable(utf8)); }

std::string CutToWidth(std::string_view utf8, size_t width) {
  const UnicodeString text = Printable(utf8);
  const std::vector<Cluster> clusters = ClustersOf(text);
  size_t total = 0;
  for (const Cluster& cluster : clusters) total += cluster.columns;
  if (total <= width) return Utf8(text);
  if (width == 0) return {};
  size_t columns = 0;
  int32_t end = 0;
  for (const Cluster& cluster : clusters) {
    if (columns + cluster.columns > width - 1) break;
    columns += cluster.columns;
    end = cluster.end;
  }
  return Utf8(text.tempSubStringBetween(0, end)) + "~";
}

std::string PadToWidth(std::string_view utf8, size_t width) {
  const UnicodeString text = Printable(utf8);
  const size_t columns = Columns(text);
  return Utf8(text) + std::string(columns < width ? width - columns : 0, ' ');
}

std::vector<std::string> WrapToWidth(std::string_view utf8, size_t width) {
  const UnicodeString text = Printable(utf8);
  if (width == 0) return SplitAtLineFeeds(text);
  auto it = Iterator(true, text);
  if (!it) return SplitAtLineFeeds(text);
  LineFiller filler(width);
  for (int32_t start = it->first(), end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next()) {
    filler.Add(text.tempSubStringBetween(start, end));
    if (it->getRuleStatus() >= UBRK_LINE_HARD && end < text.length()) filler.Flush();
  }
  return filler.Lines();
}

std::string HangingText(std::string_view utf8, size_t indent, size_t width) {
  // Below this a wrapped text is harder to read than one the terminal breaks itself.
  constexpr size_t kLeastRoom = 16;
  const bool room = width >= indent + kLeastRoom;
  std::string text;
  for (const std::string& line : WrapToWidth(utf8, room ? width - indent : 0)) {
    if (!text.empty()) text += "\n" + std::string(indent, ' ');
    text += line;
  }
  return text;
}

}  // namespace app
