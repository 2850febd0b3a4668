#include "platform/encoding.h"

#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include <limits>

namespace platform {
namespace {

// ICU takes lengths as int32_t and reads a negative one as "NUL-terminated": a text too long
// for int32_t must be refused, not truncated into a read past its end.
bool FitsIcuLength(size_t size) { return size <= static_cast<size_t>(std::numeric_limits<int32_t>::max()); }

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  if (utf8.empty() || !FitsIcuLength(utf8.size())) return {};
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8(nullptr, 0, &length, utf8.data(), static_cast<int32_t>(utf8.size()), &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return {};
  std::u16string out(static_cast<size_t>(length), u'\0');
  status = U_ZERO_ERROR;
  u_strFromUTF8(out.data(), length, nullptr, utf8.data(), static_cast<int32_t>(utf8.size()), &status);
  if (U_FAILURE(status)) return {};
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  if (utf16.empty() || !FitsIcuLength(utf16.size())) return {};
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strToUTF8(nullptr, 0, &length, utf16.data(), static_cast<int32_t>(utf16.size()), &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return {};
  std::string out(static_cast<size_t>(length), '\0');
  status = U_ZERO_ERROR;
  u_strToUTF8(out.data(), length, nullptr, utf16.data(), static_cast<int32_t>(utf16.size()), &status);
  if (U_FAILURE(status)) return {};
  return out;
}

}  // namespace platform
