#pragma once
// The hardware categories by the names a user gives them on the command line: the category's
// number, a short name ("storage"), or its name as the pages show it ("Storage", "存储"), in any
// language of the string tables and in any case.
#include <optional>
#include <string>
#include <string_view>

namespace app {

// The category (enmHardwareID) the text names, nullopt when none.
std::optional<int> CategoryNamed(std::string_view text);

// The name the pages show for the category, in the user's language.
std::string ShownCategoryName(int id);

// For --help: "CATEGORY: ..." listing the numbers, the short names and the pages' names.
std::string CategoryNamesHelp();

}  // namespace app
