#include "app/views/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace app {
namespace {

std::optional<size_t> TerminalWidth() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return std::nullopt;
  return size.ws_col;
}

const char* SgrOf(Tone tone) {
  switch (tone) {
    case Tone::Normal: return "\033[32m";  // green
    case Tone::Notice: return "\033[33m";  // yellow
    case Tone::Fault: return "\033[1;31m";  // bold red
    case Tone::Busy: return "\033[2m";     // faint
    case Tone::Plain: break;
  }
  return nullptr;
}

}  // namespace

size_t ColumnsFrom(const char* columnsVariable, std::optional<size_t> terminalWidth) {
  if (columnsVariable != nullptr) {
    const std::string text = columnsVariable;
    const bool digits = !text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos;
    if (digits && std::stoul(text) > 0) return std::stoul(text);
  }
  return terminalWidth.value_or(0);
}

size_t OutputColumns() { return ColumnsFrom(std::getenv("COLUMNS"), TerminalWidth()); }

bool ColourFrom(bool terminal, const char* noColorVariable, const char* termVariable) {
  const bool noColor = noColorVariable != nullptr && *noColorVariable != '\0';
  const bool dumb = termVariable != nullptr && std::string_view(termVariable) == "dumb";
  return terminal && !noColor && !dumb;
}

bool OutputInColour() { return ColourFrom(isatty(STDOUT_FILENO) == 1, std::getenv("NO_COLOR"), std::getenv("TERM")); }

std::string Painted(std::string_view text, Tone tone, bool colour) {
  const char* sgr = colour && !text.empty() ? SgrOf(tone) : nullptr;
  if (sgr == nullptr) return std::string(text);
  return sgr + std::string(text) + "\033[0m";
}

}  // namespace app
