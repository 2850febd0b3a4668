#pragma once
// Files that appear whole: written to a temporary file in the same directory, flushed to disk and
// renamed over the old one, so a reader sees the old file or the new one and never half of one.
// The temporary file is a hidden name that no "*.ext" pattern matches.
#include <sys/types.h>

#include <string>
#include <string_view>

namespace platform {

// Why no whole file could be written at `path` (its directory is missing, is not a directory or
// takes no new file, or `path` is a directory), or an empty text. Creates and removes a probe file.
std::string WholeFileProblem(const std::string& path);

// Writes `text` as the whole file `path` with exactly `mode`, whatever the umask. An existing file
// or symbolic link at `path` is replaced, never written through. Empty text on success, else why
// not; nothing is left behind then.
std::string WriteWholeFile(const std::string& path, std::string_view text, mode_t mode);

}  // namespace platform
