#pragma once
// Small helpers of the host utility library.
#include <string>

namespace DE {

// The text without leading and trailing blanks (spaces, tabs, line ends).
std::u16string TrimSP(const std::u16string& text);

// True when the file exists. The path may be written Windows-style.
bool FileExists(const std::string& path);

}  // namespace DE
