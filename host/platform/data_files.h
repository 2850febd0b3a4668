#pragma once
// The data directory and its files are private to the user: the directory 0700 when it is
// created here, every file 0600, whatever the umask.
#include <string>

namespace platform {

// The files of the data directory, by the library that writes them.
inline constexpr const char* kHistoryFile = "history.db";         // DataManager (and its companions)
inline constexpr const char* kHistoryCompanions[] = {"-wal", "-shm", "-journal"};  // SQLite's, beside it
inline constexpr const char* kRegistryFile = "registry.json";     // DE::Registry (and its .lock, .tmp)
inline constexpr const char* kTelemetryFile = "telemetry.jsonl";  // EventDataReport (and its .1)
inline constexpr const char* kLogFile = "sysdiagnose.log";        // the host logger (and its .1)

// Creates `dir` (and its parents) when it is missing, the directory itself 0700. An existing
// directory is left as it is: it may be one the user shares on purpose. Empty text on success,
// else why it could not be made.
std::string CreatePrivateDirectory(const std::string& dir);

// Why the data directory `dir` cannot hold the data (there is none, it cannot be created, is no
// directory, belongs to another user or can be written by others, no file can be created in it,
// or a data file in it is a link or cannot be written), or an empty text.
std::string DataDirectoryProblem(const std::string& dir);

// open(2) of a data file, created when missing; the file is made 0600. A link is not followed and
// anything but a regular file is refused: -1 (errno set) on failure.
int OpenPrivateFile(const std::string& path, int flags);

// Makes an existing regular file 0600, never the target of a link; false when it cannot.
bool MakePrivate(const std::string& path);

}  // namespace platform
