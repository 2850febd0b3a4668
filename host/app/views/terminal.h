#pragma once
// The terminal the commands print to: how wide it is and whether it shows colour. Output that goes
// to a pipe or a file has no width limit and no colour, unless COLUMNS says a width.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace app {

// $COLUMNS when it is a positive number, else the width of the terminal stdout is, else 0 (no limit).
size_t OutputColumns();
size_t ColumnsFrom(const char* columnsVariable, std::optional<size_t> terminalWidth);

// Colour when stdout is a terminal that shows it: NO_COLOR unset (or empty) and TERM not "dumb".
bool OutputInColour();
bool ColourFrom(bool terminal, const char* noColorVariable, const char* termVariable);

// How a verdict looks: each its own colour on a terminal that shows colour, plain text elsewhere.
enum class Tone { Plain, Normal, Notice, Fault, Busy };

// The text between the tone's SGR sequence and the reset; the text alone when not `colour`.
std::string Painted(std::string_view text, Tone tone, bool colour);

}  // namespace app
