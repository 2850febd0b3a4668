#include "utility/DE.h"

#include <filesystem>
#include <system_error>

#include "platform/paths.h"

namespace DE {

std::u16string TrimSP(const std::u16string& text) {
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(platform::NativePath(path), ec);
}

}  // namespace DE
