#pragma once
// Captures what is logged through the host logger while it lives.
#include <log4cplus/appender.h>
#include <log4cplus/loglevel.h>

#include <mutex>
#include <string>
#include <vector>

namespace testenv {

struct LoggedLine {
  log4cplus::LogLevel level;
  std::string message;
  std::string file;  // the source tag given to the logger
  int line;
  std::string function;
};

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<LoggedLine> Lines() const;
  // Lines at or above the level.
  std::vector<LoggedLine> LinesAtLeast(log4cplus::LogLevel level) const;

 private:
  class Appender;
  log4cplus::SharedAppenderPtr appender_;
  Appender* raw_;
};

}  // namespace testenv
