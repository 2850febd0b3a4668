#pragma once
// Collects what a category routine reports, in order, and reads the events and library calls
// it caused.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "DataReport/EventDataReport.h"
#include "DuiLib/UICulture.h"
#include "diagnose/routine_callbacks.h"
#include "machine/machine.h"

namespace zel::sysdiagnose::testing {

inline std::u16string Text(std::u16string_view key) { return UICulture::GetInstance().GetString(key); }

struct RoutineRecorder {
  std::vector<tagDetectItemDetail> announcements;
  std::vector<tagHardwareDetectInfo> lines;
  std::vector<std::u16string> messages;
  std::vector<tagDetectResult> results;
  std::vector<int32_t> categories;  // of every callback, in order
  std::vector<std::string> order;   // "start", "line", "message", "result"

  RoutineRecorder() {
    EventDataReport::Instance().ClearSentEvents();
    host::machine::Machine::Instance().ClearJournal();
  }

  tagDetectResult Run(DiagnoseRoutine routine, FaultDetectors& detectors, tagDetectResult verdict = {}) {
    return routine(
        detectors, verdict,
        [this](int32_t c, const tagDetectItemDetail& d) { Note(c, "start"); announcements.push_back(d); },
        [this](int32_t c, const tagHardwareDetectInfo& l) { Note(c, "line"); lines.push_back(l); },
        [this](int32_t c, const std::u16string& m) { Note(c, "message"); messages.push_back(m); },
        [this](int32_t c, const tagDetectResult& r) { Note(c, "result"); results.push_back(r); });
  }

  std::vector<std::u16string> AnnouncedNames() const {
    std::vector<std::u16string> names;
    for (const auto& a : announcements) names.push_back(a.name);
    return names;
  }
  std::vector<std::u16string> LineNames() const {
    std::vector<std::u16string> names;
    for (const auto& l : lines) names.push_back(l.name);
    return names;
  }

  static std::vector<std::pair<std::string, std::string>> Events() {
    return EventDataReport::Instance().SentEvents();
  }
  static int CallsTo(std::string_view call) {
    int n = 0;
    for (const auto& entry : host::machine::Machine::Instance().Journal()) n += entry.call == call;
    return n;
  }

 private:
  void Note(int32_t category, const char* what) {
    categories.push_back(category);
    order.push_back(what);
  }
};

}  // namespace zel::sysdiagnose::testing
