#pragma once
// Warnings of the machine model (what the running machine could not read), each said once. The
// host's logger installs the sink; until then, and besides it, they are kept for the caller.
#include <string>
#include <string_view>
#include <vector>

namespace host::machine {

using WarningSink = void (*)(std::string_view text);
void SetWarningSink(WarningSink sink);

// Says `text` through the sink unless it was said before in this process.
void WarnOnce(std::string_view text);

}  // namespace host::machine
