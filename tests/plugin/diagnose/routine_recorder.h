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
#include "support/test_env.h"

namespace zel::sysdiagnose::testing {

using Events = std::vector<std::pair<std::string, std::string>>;

inline std::u16string Text(std::u16string_view key) { return UICulture::GetInstance().GetString(key); }

struct RoutineRecorder {
  std::vector<tagDetectItemDetail> announcements;
  std::vector<tagHardwareDetectInfo> lines;
  std::vector<std::u16string> messages;
  std::vector<tagDetectResult> results;
  std::vector<std::string> order;  // "start", "line", "message", "result"

  // On the machine of `profile` when one is given.
  explicit RoutineRecorder(std::string_view profile = {}) {
    if (!profile.empty()) testenv::UseMachine(profile);
    EventDataReport::Instance().ClearSentEvents();
    host::machine::Machine::Instance().ClearJournal();
  }

  tagDetectResult Run(DiagnoseRoutine routine, tagDetectResult verdict = {}) {
    FaultDetectors detectors;
    return routine(
        detectors, verdict,
        [this](int32_t, const tagDetectItemDetail& d) { Note("start"); announcements.push_back(d); },
        [this](int32_t, const tagHardwareDetectInfo& l) { Note("line"); lines.push_back(l); },
        [this](int32_t, const std::u16string& m) { Note("message"); messages.push_back(m); },
        [this](int32_t, const tagDetectResult& r) { Note("result"); results.push_back(r); });
  }

  std::vector<std::u16string> AnnouncedNames() const {
    std::vector<std::u16string> names;
    for (const auto& a : announcements) names.push_back(a.name);
    return names;
  }

  static Events SentEvents() { return EventDataReport::Instance().SentEvents(); }
  static int CallsTo(std::string_view call) {
    int n = 0;
    for (const auto& entry : host::machine::Machine::Instance().Journal()) n += entry.call == call;
    return n;
  }

 private:
  void Note(const char* what) { order.push_back(what); }
};

}  // namespace zel::sysdiagnose::testing
