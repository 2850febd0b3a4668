#pragma once
// UTF-8 <-> UTF-16 conversion. Invalid input gives the empty text, as a failed
// MultiByteToWideChar does on the host.
#include <string>
#include <string_view>

namespace platform {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace platform
