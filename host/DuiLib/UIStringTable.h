#pragma once
// One string table of the host (resources/lang/<language>.json): a flat JSON object of key -> text,
// and how a text with arguments is formatted. UICulture reads the tables through these.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>

using UIStringTable = std::map<std::string, std::u16string, std::less<>>;

// The table `text` holds. Text that cannot be parsed is an empty table and an entry whose text is
// not a string is left out; each is logged, naming `source`.
UIStringTable ParseStringTable(std::string_view text, const std::string& source);

// `pattern` (the text of `key`) formatted with ICU MessageFormat ({0}, {1}, ...) for `language`
// and the arguments; a pattern ICU refuses is given back as it stands (logged), so the fault shows.
std::u16string FormatStringTableText(std::u16string_view key, const std::u16string& pattern, const std::string& language,
                                     std::initializer_list<int64_t> args);
