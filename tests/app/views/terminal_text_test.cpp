// Text laid out for a terminal: widths in columns by grapheme cluster and East Asian width, cuts
// and line breaks that never split a character, tables that fit a width, and when colour is used.
#include <gmock/gmock.h>

#include <numeric>

#include "app/views/terminal.h"
#include "app/views/text_table.h"
#include "app/views/text_width.h"
#include "platform/encoding.h"

namespace {

using namespace app;

// Whole UTF-8: it converts to UTF-16 and back unchanged.
bool IsUtf8(const std::string& text) { return platform::Utf16ToUtf8(platform::Utf8ToUtf16(text)) == text; }

std::string Joined(const std::vector<std::string>& lines, const std::string& between) {
  std::string joined;
  for (const std::string& line : lines) joined += (joined.empty() ? "" : between) + line;
  return joined;
}

std::string WithoutSgr(std::string text) {
  for (size_t at; (at = text.find('\033')) != std::string::npos;) text.erase(at, text.find('m', at) - at + 1);
  return text;
}

TEST(TextWidth, CountsColumnsByClusterWideCharactersTwoMarksAndControlsNone) {
  const struct {
    const char* text;
    size_t columns;
  } cases[] = {
      {"", 0},
      {"Memory", 6},
      {"内存", 4},                          // wide
      {"Ａ1", 3},                           // fullwidth, then narrow
      {"ｶﾅ", 2},                            // halfwidth katakana
      {"e\u0301te\u0301", 3},               // combining acute accents
      {"한국어", 6},                        // Hangul syllables
      {"\u1100\u1161\u11A8", 2},            // one syllable of conjoining jamo
      {"\U0001F44D", 2},                    // an emoji
      {"\u2764\uFE0F", 2},                  // a text-style character shown as an emoji
      {"\U0001F1E8\U0001F1F3", 2},          // a flag
      {"\U0001F468\u200D\U0001F469\u200D\U0001F467", 2},  // a family joined into one picture
      {"a\u200Bb", 2},                      // a zero-width space
      {"\033[2Jab", 5},                     // the escape itself dropped, its text printed
      {"\xff", 1},                          // not UTF-8: one replacement character
  };
  for (const auto& c : cases) EXPECT_EQ(DisplayWidth(c.text), c.columns) << c.text;
}

TEST(TextWidth, CutsAndPadsBetweenClustersToTheColumn) {
  const struct {
    const char* text;
    size_t width;
    const char* cut;
  } cases[] = {
      {"Processor", 20, "Processor"},
      {"Processor", 9, "Processor"},
      {"Processor", 5, "Proc~"},
      {"处理器型号", 6, "处理~"},   // a wide character never split
      {"处理器型号", 7, "处理器~"},
      {"e\u0301e\u0301e\u0301", 2, "e\u0301~"},  // an accent stays with its letter
      {"\U0001F468\u200D\U0001F469\u200D\U0001F467 family", 4, "\U0001F468\u200D\U0001F469\u200D\U0001F467 ~"},
      {"abc", 0, ""},
      {"a\033[31mb", 10, "a[31mb"},
  };
  for (const auto& c : cases) {
    const std::string cut = CutToWidth(c.text, c.width);
    EXPECT_EQ(cut, c.cut) << c.text << " in " << c.width;
    EXPECT_LE(DisplayWidth(cut), c.width);
    EXPECT_TRUE(IsUtf8(cut)) << cut;
  }
  EXPECT_EQ(PadToWidth("内存", 6), "内存  ");
  EXPECT_EQ(PadToWidth("Memory", 3), "Memory");
}

TEST(TextWidth, WrapsAtLineBreaksAndSplitsOnlyWordsWiderThanTheLine) {
  const struct {
    const char* text;
    size_t width;
    std::vector<std::string> lines;
  } cases[] = {
      {"The wireless network adapter is not working properly.", 20,
       {"The wireless network", "adapter is not", "working properly."}},
      {"QCA9377-Wireless-Network", 10, {"QCA9377-", "Wireless-", "Network"}},
      {"ABCDEFGHIJKLMNO", 6, {"ABCDEF", "GHIJKL", "MNO"}},
      {"one\ntwo  \n\nthree", 0, {"one", "two", "", "three"}},
      {"one\ntwo", 20, {"one", "two"}},
      {"", 10, {""}},
  };
  for (const auto& c : cases) EXPECT_EQ(WrapToWidth(c.text, c.width), c.lines) << c.text;

  // Between ideographs, but a full stop never begins a line; nothing is lost.
  const std::string chinese = "无线网卡工作异常。请检查驱动，然后再试一次。";
  for (size_t width : {4u, 8u, 9u, 15u}) {
    const auto lines = WrapToWidth(chinese, width);
    for (const std::string& line : lines) {
      EXPECT_LE(DisplayWidth(line), width) << line;
      EXPECT_TRUE(IsUtf8(line));
      EXPECT_FALSE(line.starts_with("。") || line.starts_with("，")) << line;
    }
    EXPECT_EQ(Joined(lines, ""), chinese) << width;
  }
  EXPECT_EQ(HangingText("Filter Keys is on, so brief keystrokes are ignored.", 10, 40),
            "Filter Keys is on, so brief\n          keystrokes are ignored.");
  EXPECT_EQ(HangingText("Filter Keys is on.", 10, 0), "Filter Keys is on.");
}

// The part of a line from display column `column` on.
std::string FromColumn(const std::string& line, size_t column) {
  for (size_t at = 0; at <= line.size(); ++at) {
    if ((at == line.size() || (line[at] & 0xC0) != 0x80) && DisplayWidth(line.substr(0, at)) >= column) {
      return line.substr(at);
    }
  }
  return {};
}

TEST(TextTable, LinesUpColumnsByDisplayWidthAndWrapsOnlyWhatMayWrapToFitTheWidth) {
  const std::string finding = "无线网卡无法工作，请检查无线开关。";
  TextTable table({{"硬件"}, {"型号", true, 8, 1}, {"状态"}, {"结果", true, 10, 2}});
  table.AddRow({{"网卡"}, {"Qualcomm Atheros QCA9377"}, {"异常", Tone::Fault}, {finding}});
  table.AddRow({{"Fingerprint Reader"}, {"ELAN"}, {"Normal", Tone::Normal}, {""}});

  for (size_t width : {0u, 90u, 60u, 50u, 44u}) {
    const auto lines = table.Render(width, false);
    std::vector<size_t> stateAt;
    std::string result;
    const size_t resultAt = DisplayWidth(lines[0].substr(0, lines[0].find("结果")));
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      for (const char* state : {"状态", "异常", "Normal"}) {
        if (const size_t at = line.find(state); at != std::string::npos) stateAt.push_back(DisplayWidth(line.substr(0, at)));
      }
      if (i > 0 && !line.starts_with("Fingerprint")) result += FromColumn(line, resultAt);
      if (width != 0) {
        EXPECT_LE(DisplayWidth(line), width) << line;
      }
      EXPECT_TRUE(line.empty() || line.back() != ' ');
    }
    ASSERT_EQ(stateAt.size(), 3u) << width;
    EXPECT_EQ(stateAt[1], stateAt[0]) << "the state under its header at " << width;
    EXPECT_EQ(stateAt[2], stateAt[0]) << width;
    EXPECT_EQ(result, finding) << "the finding is whole at " << width;
    EXPECT_EQ(lines.size() == 3, width == 0 || width == 90) << "rows wrap only below their natural width " << width;
  }

  const auto painted = table.Render(50, true);
  EXPECT_THAT(painted[1], ::testing::HasSubstr("\033[1;31m异常\033[0m"));
  std::vector<std::string> plain;
  for (const std::string& line : painted) plain.push_back(WithoutSgr(line));
  EXPECT_EQ(plain, table.Render(50, false)) << "colour takes no room";
}

TEST(Terminal, TheWidthIsColumnsWhenItIsANumberElseTheTerminals) {
  const struct {
    const char* columns;
    std::optional<size_t> terminal;
    size_t width;
  } widths[] = {
      {"100", 80, 100}, {nullptr, 80, 80}, {"wide", 80, 80}, {"0", 80, 80},
      {"-5", std::nullopt, 0}, {nullptr, std::nullopt, 0}, {"72", std::nullopt, 72},
  };
  for (const auto& c : widths) EXPECT_EQ(ColumnsFrom(c.columns, c.terminal), c.width) << (c.columns ? c.columns : "unset");
}

TEST(Terminal, ColourOnlyOnATerminalThatShowsIt) {
  const struct {
    bool terminal;
    const char *noColor, *term;
    bool colour;
  } colours[] = {
      {true, nullptr, "xterm-256color", true}, {true, "", "xterm", true},     {true, "1", "xterm", false},
      {true, nullptr, "dumb", false},          {true, nullptr, nullptr, true}, {false, nullptr, "xterm", false},
  };
  for (const auto& c : colours) {
    EXPECT_EQ(ColourFrom(c.terminal, c.noColor, c.term), c.colour)
        << c.terminal << " NO_COLOR=" << (c.noColor ? c.noColor : "unset") << " TERM=" << (c.term ? c.term : "unset");
  }
  EXPECT_EQ(Painted("Normal", Tone::Normal, false), "Normal");
  EXPECT_EQ(Painted("", Tone::Fault, true), "");
}

}  // namespace
