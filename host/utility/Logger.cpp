#include "utility/Logger.h"

#include <log4cplus/consoleappender.h>
#include <log4cplus/fileappender.h>
#include <log4cplus/initializer.h>
#include <log4cplus/layout.h>
#include <log4cplus/spi/loggingevent.h>

#include <memory>
#include <mutex>
#include <string>

#include "machine/warnings.h"
#include "platform/paths.h"

namespace {

constexpr const char* kPattern = "%D{%Y-%m-%d %H:%M:%S.%q} %-5p [%t] %b:%L %m%n";

void Configure() {
  static log4cplus::Initializer initializer;
  log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("sysdiagnose"));
  logger.setLogLevel(log4cplus::TRACE_LOG_LEVEL);
  logger.setAdditivity(false);

  const std::string file = platform::DataDirectory() + "/sysdiagnose.log";
  log4cplus::SharedAppenderPtr fileAppender(new log4cplus::FileAppender(file, std::ios::app));
  fileAppender->setLayout(std::make_unique<log4cplus::PatternLayout>(kPattern));
  logger.addAppender(fileAppender);

  log4cplus::SharedAppenderPtr console(new log4cplus::ConsoleAppender(true /* stderr */));
  console->setLayout(std::make_unique<log4cplus::PatternLayout>("%p %b:%L %m%n"));
  console->setThreshold(log4cplus::WARN_LOG_LEVEL);
  logger.addAppender(console);
}

// What the running machine could not read reaches the log once.
void WarnFromMachine(std::string_view text) {
  hostlog::Warn(text, "host::machine::LinuxMachine", "machine_linux", __LINE__, __func__);
}

const bool gMachineWarningsLogged = (host::machine::SetWarningSink(WarnFromMachine), true);

}  // namespace

log4cplus::Logger GetLogger() {
  static std::once_flag once;
  std::call_once(once, Configure);
  return log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("sysdiagnose"));
}

namespace hostlog {

void Log(log4cplus::LogLevel level, std::string_view message, std::string_view qualifiedName,
         const char* sourceTag, int line, const char* signature) {
  log4cplus::Logger logger = GetLogger();
  if (!logger.isEnabledFor(level)) return;
  std::string text(message);
  text += '(';
  text += qualifiedName;
  text += ')';
  logger.forcedLog(level, text, sourceTag, line, signature);
}

}  // namespace hostlog
