#pragma once
// Showing a file in the desktop's file manager, as the shell's "open the folder and select the
// item" does on the host: on Linux the folder that holds the file is handed to xdg-open, started
// directly (no shell). Tests replace the opening with their own function.
#include <functional>
#include <string>

namespace platform {

// Opens the folder of `file` (its parent; "." for a bare name). Returns an empty text when the
// file manager was started, else why it could not be (e.g. xdg-open is not installed).
std::string OpenContainingFolder(const std::string& file);

// Test hook: `open` receives the folder and answers as OpenContainingFolder does; an empty
// function restores the real opening.
void SetOpenFolderForTesting(std::function<std::string(const std::string& folder)> open);

}  // namespace platform
