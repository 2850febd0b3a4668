#include "support/log_capture.h"

#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>

#include "utility/Logger.h"

namespace testenv {

class LogCapture::Appender : public log4cplus::Appender {
 public:
  ~Appender() override { destructorImpl(); }
  void close() override {}

  std::vector<LoggedLine> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 protected:
  void append(const log4cplus::spi::InternalLoggingEvent& event) override {
    std::lock_guard lock(mutex_);
    lines_.push_back({event.getLogLevel(), event.getMessage(), event.getFile(), event.getLine(),
                      event.getFunction()});
  }

 private:
  mutable std::mutex mutex_;
  std::vector<LoggedLine> lines_;
};

LogCapture::LogCapture() : raw_(new Appender) {
  appender_ = log4cplus::SharedAppenderPtr(raw_);
  appender_->setName("test-capture");
  GetLogger().addAppender(appender_);
}

LogCapture::~LogCapture() { GetLogger().removeAppender(appender_); }

std::vector<LoggedLine> LogCapture::Lines() const { return raw_->Lines(); }

std::vector<LoggedLine> LogCapture::LinesAtLeast(log4cplus::LogLevel level) const {
  std::vector<LoggedLine> out;
  for (auto& line : raw_->Lines()) {
    if (line.level >= level) out.push_back(line);
  }
  return out;
}

}  // namespace testenv
