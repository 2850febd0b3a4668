#include "utility/QueryShape.h"

#include <cctype>
#include <charconv>

namespace {

bool IsWordByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

// The end of the quoted text or comment that starts at `at`, or npos when it never ends.
size_t SkipQuoted(std::string_view sql, size_t at) {
  const char open = sql[at];
  if (open == '-') {
    const size_t end = sql.find('\n', at);
    return end == std::string_view::npos ? sql.size() : end;
  }
  if (open == '/') {
    const size_t end = sql.find("*/", at + 2);
    return end == std::string_view::npos ? end : end + 2;
  }
  const char close = open == '[' ? ']' : open;
  for (size_t i = at + 1; i < sql.size(); ++i) {
    if (sql[i] != close) continue;
    if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {  // a doubled quote stays inside
      ++i;
      continue;
    }
    return i + 1;
  }
  return std::string_view::npos;
}

bool StartsQuoted(std::string_view sql, size_t i) {
  const char c = sql[i];
  if (c == '\'' || c == '"' || c == '`' || c == '[') return true;
  const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
  return (c == '-' && next == '-') || (c == '/' && next == '*');
}

}  // namespace

std::optional<QueryShape> ShapeOf(std::string_view sql) {
  QueryShape shape;
  shape.sql.reserve(sql.size());
  char lastSignificant = '\0';  // the last byte outside blanks, of an operator or a word
  for (size_t i = 0; i < sql.size();) {
    const char c = sql[i];
    if (StartsQuoted(sql, i)) {
      const size_t end = SkipQuoted(sql, i);
      if (end == std::string_view::npos) return std::nullopt;
      shape.sql.append(sql.substr(i, end - i));
      lastSignificant = 'a';
      i = end;
      continue;
    }
    if (c == '?' || c == ':' || c == '@' || c == '$') return std::nullopt;
    if (IsWordByte(c)) {
      size_t end = i;
      while (end < sql.size() && (IsWordByte(sql[end]) || sql[end] == '.')) ++end;
      const std::string_view word = sql.substr(i, end - i);
      int64_t value = 0;
      const bool compared = lastSignificant == '=' || lastSignificant == '<' || lastSignificant == '>';
      const auto [rest, error] = std::from_chars(word.data(), word.data() + word.size(), value);
      if (compared && error == std::errc() && rest == word.data() + word.size()) {
        shape.values.push_back(value);
        shape.sql += '?';
        shape.sql += std::to_string(shape.values.size());
      } else {
        shape.sql.append(word);
      }
      lastSignificant = 'a';
      i = end;
      continue;
    }
    if (!std::isspace(static_cast<unsigned char>(c))) lastSignificant = c;
    shape.sql += c;
    ++i;
  }
  if (shape.values.empty()) return std::nullopt;
  return shape;
}
