#include "platform/xml_depth.h"

#include <algorithm>

namespace platform {
namespace {

constexpr size_t kEnd = std::string_view::npos;

// The position after `closing`, searched from `from`; kEnd when the text ends first.
size_t After(std::string_view text, size_t from, std::string_view closing) {
  const size_t at = text.find(closing, from);
  return at == kEnd ? kEnd : at + closing.size();
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A document type declaration ends at the '>' outside its internal subset's brackets.
size_t AfterDoctype(std::string_view text, size_t from) {
  int brackets = 0;
  for (size_t i = from; i < text.size(); ++i) {
    if (text[i] == '[') ++brackets;
    if (text[i] == ']' && brackets > 0) --brackets;
    if (text[i] == '>' && brackets == 0) return i + 1;
  }
  return kEnd;
}

// The '>' that ends a start tag, past quoted attribute values.
size_t TagEnd(std::string_view text, size_t from) {
  char quote = 0;
  for (size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i;
    }
  }
  return kEnd;
}

}  // namespace

size_t XmlNestingDepth(std::string_view text, size_t limit) {
  size_t depth = 0, deepest = 0;
  for (size_t at = text.find('<'); at != kEnd; at = at == kEnd ? kEnd : text.find('<', at)) {
    const std::string_view rest = text.substr(at);
    if (rest.starts_with("<!--")) {
      at = After(text, at + 4, "-->");
    } else if (rest.starts_with("<![CDATA[")) {
      at = After(text, at + 9, "]]>");
    } else if (rest.starts_with("<?")) {
      at = After(text, at + 2, "?>");
    } else if (rest.starts_with("<!DOCTYPE") && rest.size() > 9 && IsBlank(rest[9])) {
      at = AfterDoctype(text, at + 9);
    } else if (rest.starts_with("<!")) {
      at = After(text, at + 2, ">");
    } else if (rest.starts_with("</")) {
      depth -= depth > 0 ? 1 : 0;
      at = After(text, at + 2, ">");
    } else {
      deepest = std::max(deepest, ++depth);
      if (deepest > limit) return deepest;
      const size_t end = TagEnd(text, at + 1);
      if (end == kEnd) break;
      if (text[end - 1] == '/') --depth;  // an empty element
      at = end + 1;
    }
  }
  return deepest;
}

}  // namespace platform
