// Feeds arbitrary bytes to the machine-profile reader. Besides "no crash, no sanitizer report" it
// checks what the reader promises: a profile, or one line that says what is wrong with the text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "machine/machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const host::machine::LoadResult result = host::machine::ParseProfile(text, "fuzz.json");
  const bool oneLine = !result.error.empty() && result.error.find('\n') == std::string::npos;
  if (result.profile ? !result.error.empty() : !oneLine) std::abort();
  return 0;
}
