#include "DuiLib/UITextMarkup.h"

#include <algorithm>

#include "DuiLib/UIAttribute.h"

namespace DuiLib {
namespace {

struct Style {
  int font = -1;
  DWORD color = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int link = -1;
  char16_t tag = 0;  // the tag that opened this style
};

class Parser {
 public:
  std::vector<TTextRun> Parse(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size()) {
      if (text[i] == u'{') {
        const size_t close = text.find(u'}', i);
        if (close != std::u16string_view::npos && Tag(text.substr(i + 1, close - i - 1))) {
          i = close + 1;
          continue;
        }
      }
      pending_ += text[i++];
    }
    Flush();
    return std::move(runs_);
  }

 private:
  // Applies one tag; false when the text between the braces is no tag.
  bool Tag(std::u16string_view tag) {
    if (tag == u"n") {
      Flush();
      TTextRun run;
      run.lineBreak = true;
      runs_.push_back(run);
      return true;
    }
    if (tag.size() == 2 && tag[0] == u'/') return Close(tag[1]);
    if (tag.empty()) return false;
    const char16_t kind = tag[0];
    const std::u16string_view argument = tag.size() > 1 && tag[1] == u' ' ? tag.substr(2) : std::u16string_view();
    if (tag.size() > 1 && tag[1] != u' ') return false;
    Style next = Current();
    next.tag = kind;
    switch (kind) {
      case u'b': next.bold = true; break;
      case u'i': next.italic = true; break;
      case u'u': next.underline = true; break;
      case u'c': next.color = attr::ToColor(argument); break;
      case u'f': next.font = attr::ToInt(argument); break;
      case u'a': next.link = links_++; break;
      default: return false;
    }
    Flush();
    stack_.push_back(next);
    return true;
  }

  bool Close(char16_t kind) {
    for (size_t i = stack_.size(); i-- > 0;) {
      if (stack_[i].tag != kind) continue;
      Flush();
      stack_.resize(i);
      return true;
    }
    return false;
  }

  Style Current() const { return stack_.empty() ? Style{} : stack_.back(); }

  void Flush() {
    if (pending_.empty()) return;
    const Style s = Current();
    runs_.push_back(TTextRun{std::move(pending_), s.font, s.color, s.bold, s.italic, s.underline, s.link, false});
    pending_.clear();
  }

  std::vector<TTextRun> runs_;
  std::vector<Style> stack_;
  std::u16string pending_;
  int links_ = 0;
};

}  // namespace

std::vector<TTextRun> ParseTextMarkup(std::u16string_view text) { return Parser().Parse(text); }

std::u16string StripTextMarkup(std::u16string_view text) {
  std::u16string plain;
  for (const TTextRun& run : ParseTextMarkup(text)) plain += run.lineBreak ? std::u16string(u"\n") : run.text;
  return plain;
}

int CountTextLinks(std::u16string_view text) {
  int count = 0;
  for (const TTextRun& run : ParseTextMarkup(text)) count = std::max(count, run.link + 1);
  return count;
}

}  // namespace DuiLib
