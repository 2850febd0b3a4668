#include "app/views/plugin_status.h"

#include <cstdio>

namespace app {
namespace {

constexpr const char* kService = "SYSDIAGNOSE";

const char* NameOf(PluginState state) {
  switch (state) {
    case PluginState::Ok: return "OK";
    case PluginState::Warning: return "WARNING";
    case PluginState::Critical: return "CRITICAL";
    case PluginState::Unknown: break;
  }
  return "UNKNOWN";
}

// "2 abnormal: Memory, Battery"; empty when there is none.
std::string Findings(const RunResult& run, Verdict verdict) {
  const auto names = run.NamesOf(verdict);
  if (names.empty()) return {};
  std::string text = std::to_string(names.size()) + ' ' + std::string(app::NameOf(verdict)) + ':';
  for (size_t i = 0; i < names.size(); ++i) text += (i == 0 ? " " : ", ") + names[i];
  return text;
}

// The status line must stay one line whatever a category is called.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '|') c = ' ';
  }
  return text;
}

// Thresholds in the guidelines' range syntax: "0" alerts above 0, so a graph marks what the line says.
std::string PerformanceData(const RunResult& run) {
  char duration[32];
  std::snprintf(duration, sizeof duration, "%.1f", run.seconds);
  return "abnormal=" + std::to_string(run.Count(Verdict::Abnormal)) +
         ";;0 notice=" + std::to_string(run.Count(Verdict::Notice)) +
         ";0 normal=" + std::to_string(run.Count(Verdict::Normal)) + " duration=" + duration + "s";
}

}  // namespace

PluginStatus StatusOf(const RunResult& run) {
  if (run.Count(Verdict::NotRun) == static_cast<int>(run.categories.size())) {
    return UnknownStatus("the health check diagnosed no category");
  }
  PluginStatus status;
  std::string text;
  if (run.Count(Verdict::Abnormal) > 0) {
    status.state = PluginState::Critical;
    text = Findings(run, Verdict::Abnormal);
    if (const std::string notices = Findings(run, Verdict::Notice); !notices.empty()) text += "; " + notices;
  } else if (run.Count(Verdict::Notice) > 0) {
    status.state = PluginState::Warning;
    text = Findings(run, Verdict::Notice);
  } else {
    status.state = PluginState::Ok;
    text = std::to_string(run.Count(Verdict::Normal)) + " normal";
  }
  status.line =
      std::string(kService) + ' ' + NameOf(status.state) + " - " + OneLine(text) + " | " + PerformanceData(run);
  return status;
}

PluginStatus UnknownStatus(std::string_view why) {
  return {PluginState::Unknown, std::string(kService) + " UNKNOWN - " + OneLine(std::string(why))};
}

}  // namespace app
