#pragma once
// What the machine measures beside its checks' verdicts, for the monitoring views of a run: the
// battery's health and voltage and the memory tests' buffer. Only the running (or a recorded)
// Linux machine measures; a described machine has none of them, and every value is absent.
#include <cstddef>
#include <optional>

namespace host::machine {

struct Measurements {
  std::optional<double> batteryHealthRatio;  // full charge capacity over design capacity
  std::optional<double> batteryVolts;        // the voltage now
  std::optional<size_t> memoryTestBytes;     // the buffer each memory check tests
};

// Of the process's machine, read now.
Measurements MeasureMachine();

}  // namespace host::machine
