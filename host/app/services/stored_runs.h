#pragma once
// The runs the plug-in has stored in the host's history table, as the host's database counts
// them: how a host command knows that a run it started or cancelled has been written down, or
// that it could not be.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace app {

// The runs the plug-in tried to store: rows of the history table now (0 when there is no table
// yet or it cannot be read), and the stores that failed in this process.
int64_t CountSaveAttempts();

// Until at least `count` runs were tried or the timeout passes on the real clock, calling `pump`
// between looks (the UI loop, when the plug-in's pages are at work); true when they were.
bool WaitForSaveAttempts(int64_t count, std::chrono::milliseconds timeout, const std::function<void()>& pump = {});

// The one line a command ends with when a run of this process could not be stored, or when the
// history could not be read; empty when nothing was lost.
std::string LostRunError();
std::string UnreadHistoryError();

}  // namespace app
