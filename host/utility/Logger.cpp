#include "utility/Logger.h"

#include <fcntl.h>
#include <log4cplus/consoleappender.h>
#include <log4cplus/fileappender.h>
#include <log4cplus/helpers/loglog.h>
#include <log4cplus/initializer.h>
#include <log4cplus/layout.h>
#include <log4cplus/spi/loggingevent.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <string>

#include "machine/warnings.h"
#include "platform/data_files.h"
#include "platform/paths.h"

namespace {

constexpr const char* kPattern = "%D{%Y-%m-%d %H:%M:%S.%q} %-5p [%t] %b:%L %m%n";
constexpr long kMaxLogBytes = 1 << 20;  // then it rolls over to sysdiagnose.log.1

// log4cplus' rolling file, made private before log4cplus opens it, the new one after each roll
// included, and never opened through a link: log4cplus would make it as the umask says.
class PrivateRollingFile : public log4cplus::RollingFileAppender {
 public:
  explicit PrivateRollingFile(const std::string& file) : RollingFileAppender(file, kMaxLogBytes, 1, true) {}

 protected:
  void open(std::ios_base::openmode mode) override {
    const int fd = platform::OpenPrivateFile(filename, O_WRONLY | O_APPEND);
    if (fd < 0) return;  // no stream: log4cplus says so once, nothing is written
    ::close(fd);
    RollingFileAppender::open(mode);
  }
};

// Whether warnings go to stderr too, and the appender that writes them there once the logger is
// configured; EchoToStderr may come before or after that.
struct Echo {
  std::mutex lock;
  bool on = false;
  log4cplus::SharedAppenderPtr console;

  void Apply() {
    if (console) console->setThreshold(on ? log4cplus::WARN_LOG_LEVEL : log4cplus::OFF_LOG_LEVEL);
    // log4cplus's own complaints (a log file it cannot open) follow the same rule as ours.
    log4cplus::helpers::LogLog::getLogLog()->setQuietMode(!on);
  }
};

Echo& EchoState() {
  static Echo echo;
  return echo;
}

void Configure() {
  static log4cplus::Initializer initializer;
  log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("sysdiagnose"));
  logger.setLogLevel(log4cplus::TRACE_LOG_LEVEL);
  logger.setAdditivity(false);
  Echo& echo = EchoState();
  std::lock_guard guard(echo.lock);
  echo.Apply();

  // Made private before log4cplus opens it for appending, which would make it as the umask says.
  const std::string file = platform::DataFilePath(platform::kLogFile);
  if (const int fd = platform::OpenPrivateFile(file, O_WRONLY | O_APPEND); fd >= 0) {
    ::close(fd);
    log4cplus::SharedAppenderPtr fileAppender(new PrivateRollingFile(file));
    fileAppender->setLayout(std::make_unique<log4cplus::PatternLayout>(kPattern));
    logger.addAppender(fileAppender);
  }

  log4cplus::SharedAppenderPtr console(new log4cplus::ConsoleAppender(true /* stderr */));
  console->setLayout(std::make_unique<log4cplus::PatternLayout>("%p %b:%L %m%n"));
  echo.console = console;
  echo.Apply();
  logger.addAppender(console);
}

std::once_flag& Configured() {
  static std::once_flag once;
  return once;
}

// What the running machine could not read reaches the log once.
void WarnFromMachine(std::string_view text) {
  hostlog::Warn(text, "host::machine::LinuxMachine", "machine_linux", __LINE__, __func__);
}

const bool gMachineWarningsLogged = (host::machine::SetWarningSink(WarnFromMachine), true);

}  // namespace

log4cplus::Logger GetLogger() {
  std::call_once(Configured(), Configure);
  return log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("sysdiagnose"));
}

namespace hostlog {

void EchoToStderr(bool on) {
  Echo& echo = EchoState();
  std::lock_guard guard(echo.lock);
  echo.on = on;
  echo.Apply();
}

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
