#pragma once
// The runs the plug-in has stored in the host's history table, as the host's database counts
// them: how a host command knows that a run it started or cancelled has been written down.
#include <chrono>
#include <cstdint>
#include <functional>

namespace app {

// Rows of the history table now; 0 when there is no table yet.
int64_t CountStoredRuns();

// Until at least `count` runs are stored or the timeout passes on the real clock, calling `pump`
// between looks (the UI loop, when the plug-in's pages are at work); true when they are.
bool WaitForStoredRuns(int64_t count, std::chrono::milliseconds timeout, const std::function<void()>& pump = {});

}  // namespace app
