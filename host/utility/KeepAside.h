#pragma once
// Naming for files that are kept aside instead of deleted (a database or registry file that
// cannot be read is renamed, never thrown away).
#include <string>
#include <system_error>
#include <string_view>

namespace hostfiles {

// A name beside `path` that no file has yet: path.<why>-YYYYMMDD-HHMMSS (local time), with
// ".1", ".2", ... appended when that one is taken.
std::string AsideName(const std::string& path, std::string_view why);

// Renames `path` to its AsideName and keeps the copy private (0600). Returns the new name, or an
// empty text with `error` set when the rename failed.
std::string MoveAside(const std::string& path, std::string_view why, std::error_code& error);

}  // namespace hostfiles
