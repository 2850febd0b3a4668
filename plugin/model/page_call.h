#pragma once
// A worker calls its page's callables through these. What such a callable throws is the page's
// fault, not the run's: it is logged and the run goes on, so that a run still ends exactly once
// and is stored once. The workers' own guard is left for the library calls.
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

namespace zel::sysdiagnose {

void LogPageCallableFailure(const char* callable, const char* what);

template <class Callable>
bool IsSet(const Callable& callable) {
  if constexpr (std::is_constructible_v<bool, const Callable&>) {
    return static_cast<bool>(callable);
  } else {
    return true;
  }
}

// Calls `callable` when it is set; false when it threw.
template <class Callable, class... Args>
bool CallPage(const Callable& callable, const char* name, Args&&... args) {
  if (!IsSet(callable)) return true;
  try {
    callable(std::forward<Args>(args)...);
    return true;
  } catch (const std::exception& error) {
    LogPageCallableFailure(name, error.what());
  } catch (...) {
    LogPageCallableFailure(name, "an exception of an unknown type");
  }
  return false;
}

// The callable wrapped the same way, for code that calls it itself; a callable that threw
// answers a default value.
template <class Result, class... Args>
std::function<Result(Args...)> Shielded(std::function<Result(Args...)> callable, const char* name) {
  if (!callable) return {};
  return [callable = std::move(callable), name](Args... args) -> Result {
    if constexpr (std::is_void_v<Result>) {
      CallPage(callable, name, std::forward<Args>(args)...);
    } else {
      Result result{};
      CallPage([&] { result = callable(std::forward<Args>(args)...); }, name);
      return result;
    }
  };
}

}  // namespace zel::sysdiagnose
