#include "ipc/handler_registration.h"

#include <utility>

namespace zel::sysdiagnose {

HandlerRegistration::HandlerRegistration(HandlerRegistration&& other) noexcept
    : release_(std::exchange(other.release_, nullptr)) {}

HandlerRegistration& HandlerRegistration::operator=(HandlerRegistration&& other) noexcept {
  if (this != &other) {
    Reset();
    release_ = std::exchange(other.release_, nullptr);
  }
  return *this;
}

void HandlerRegistration::Reset() {
  if (auto release = std::exchange(release_, nullptr)) release();
}

}  // namespace zel::sysdiagnose
