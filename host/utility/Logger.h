#pragma once
// The host's logger: log4cplus, a file in the data directory (at most 1 MiB, the lines before in
// sysdiagnose.log.1); warnings and worse also on stderr
// when asked for (the command line's --verbose).
#include <log4cplus/logger.h>
#include <log4cplus/loglevel.h>

#include <string_view>

log4cplus::Logger GetLogger();

namespace hostlog {

// Warnings and errors go to the log file always, and to stderr as well while this is on (off
// from the start).
void EchoToStderr(bool on);

// Logs the host's way: the message followed by "(" qualifiedName ")", with the source tag
// (e.g. "zel_model_xml"), the line and the function signature. Formats nothing when the logger
// is not enabled for the level.
void Log(log4cplus::LogLevel level, std::string_view message, std::string_view qualifiedName,
         const char* sourceTag, int line, const char* signature);

inline void Warn(std::string_view message, std::string_view qualifiedName, const char* sourceTag,
                 int line, const char* signature) {
  Log(log4cplus::WARN_LOG_LEVEL, message, qualifiedName, sourceTag, line, signature);
}
inline void Error(std::string_view message, std::string_view qualifiedName, const char* sourceTag,
                  int line, const char* signature) {
  Log(log4cplus::ERROR_LOG_LEVEL, message, qualifiedName, sourceTag, line, signature);
}

}  // namespace hostlog
