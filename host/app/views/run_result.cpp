#include "app/views/run_result.h"

#include <algorithm>
#include <cctype>
#include <variant>

#include "IPCMessage/HardwareCategories.h"
#include "platform/encoding.h"

namespace app {
namespace {

using host::machine::CheckResult;
using host::machine::DiskAnswer;
using host::machine::JournalEntry;
using host::machine::RepairOutcome;

// The library's code of a check that could not look (-5), and of a disk whose SMART data it could not read.
constexpr uint32_t kNotCheckedCode = static_cast<uint32_t>(-5);
constexpr uint32_t kDiskUnreadableCode = 2;

using CategoryEntry = doctor::HardwareCategory;
using doctor::kHardwareCategories;

// "file='drawable/hardware/ic_ram42.png' source=..." -> "ram": the row's icon names its category
// in every language.
std::string IconBase(const std::u16string& icon) {
  const std::string text = platform::Utf16ToUtf8(icon);
  const size_t at = text.find("/ic_");
  if (at == std::string::npos) return {};
  std::string base;
  for (size_t i = at + 4; i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])); ++i) base += text[i];
  return base;
}

const CategoryEntry* CategoryOf(const DoctorRow& row) {
  const std::string base = IconBase(row.strIcon);
  for (const CategoryEntry& category : kHardwareCategories) {
    if (base == category.iconBase) return &category;
  }
  return nullptr;
}

const DoctorRow* RowOf(const DoctorReport& report, const CategoryEntry& category) {
  for (const DoctorRow& row : report.vecItems) {
    if (CategoryOf(row) == &category) return &row;
  }
  return nullptr;
}

std::string_view CategoryOfPath(const std::string& path) {
  for (const CategoryEntry& category : kHardwareCategories) {
    if (!category.checkPrefix.empty() && path.starts_with(category.checkPrefix)) return category.key;
  }
  return "";
}

double SecondsOf(const JournalEntry& entry) { return std::chrono::duration<double>(entry.end - entry.begin).count(); }

}  // namespace

std::vector<CheckLine> CheckLinesOf(const std::vector<JournalEntry>& journal) {
  std::vector<CheckLine> lines;
  for (const JournalEntry& entry : journal) {
    const auto* result = std::get_if<CheckResult>(&entry.answer);
    if (result == nullptr) continue;
    CheckLine line{
        std::string(CategoryOfPath(entry.path)), entry.path, result->passed, result->code, result->level, SecondsOf(entry)};
    auto same = std::find_if(lines.begin(), lines.end(), [&](const CheckLine& l) { return l.path == line.path; });
    if (same == lines.end()) {
      lines.push_back(std::move(line));
    } else {
      *same = std::move(line);
    }
  }
  return lines;
}

namespace {

DiskHealth HealthOf(const DiskAnswer& answer, const std::vector<std::string>& models) {
  DiskHealth disk;
  disk.index = *answer.index;
  if (disk.index < models.size()) disk.model = models[disk.index];
  disk.readable = answer.check.code != kDiskUnreadableCode;
  const auto& verdicts = answer.check.smart;  // missing bytes are 0
  for (size_t i = 0; disk.readable && i < answer.attributes.size() && i < verdicts.size(); ++i) {
    if (verdicts[i] != 0) disk.failingAttributes.push_back(answer.attributes[i]);
  }
  return disk;
}

// The last answer for each disk the checks could name, by index.
std::vector<DiskHealth> DiskHealthOf(const std::vector<JournalEntry>& journal, const std::vector<std::string>& models) {
  std::vector<DiskHealth> disks;
  for (const JournalEntry& entry : journal) {
    const auto* answer = std::get_if<DiskAnswer>(&entry.answer);
    if (answer == nullptr || !answer->index) continue;
    std::erase_if(disks, [&](const DiskHealth& d) { return d.index == *answer->index; });
    disks.push_back(HealthOf(*answer, models));
  }
  std::sort(disks.begin(), disks.end(), [](const DiskHealth& a, const DiskHealth& b) { return a.index < b.index; });
  return disks;
}

bool AnyDiskFailing(const std::vector<DiskHealth>& disks) {
  return std::any_of(disks.begin(), disks.end(), [](const DiskHealth& d) { return !d.failingAttributes.empty(); });
}

// A category the table does not know has no checks to tell a notice by: abnormal is abnormal.
Verdict ShownVerdictOf(const CategoryEntry* category, const DoctorRow& row, const std::vector<CheckLine>& checks) {
  if (row.nState == kDoctorStateNormal) return Verdict::Normal;
  if (row.nState != kDoctorStateAbnormal) return Verdict::NotRun;
  bool failing = false, fault = false;
  for (const CheckLine& line : checks) {
    if (category == nullptr || line.category != category->key || line.passed) continue;
    failing = true;
    fault = fault || line.level == 0;
  }
  return failing && !fault ? Verdict::Notice : Verdict::Abnormal;
}

// The plug-in keeps the disks normal whatever their attribute lines say; a failing attribute is a
// failing line of level 0 all the same, and a monitor must not miss a failing disk.
Verdict VerdictOf(const CategoryEntry& category, Verdict shown, const RunResult& run) {
  const bool disks = category.key == "disks";
  return shown == Verdict::Normal && disks && AnyDiskFailing(run.disks) ? Verdict::Abnormal : shown;
}

std::optional<double> MemoryThroughput(const std::vector<CheckLine>& checks, std::optional<size_t> bufferBytes) {
  if (!bufferBytes) return std::nullopt;
  int tested = 0;
  double seconds = 0;
  for (const CheckLine& line : checks) {
    if (line.category != "memory" || line.code == kNotCheckedCode) continue;
    ++tested;
    seconds += line.seconds;
  }
  if (tested == 0 || seconds <= 0) return std::nullopt;
  return static_cast<double>(*bufferBytes) * tested / seconds;
}

}  // namespace

std::string_view NameOf(Verdict verdict) {
  switch (verdict) {
    case Verdict::Normal: return "normal";
    case Verdict::Abnormal: return "abnormal";
    case Verdict::Notice: return "notice";
    case Verdict::NotRun: break;
  }
  return "not_run";
}

int RunResult::Count(Verdict verdict) const {
  return static_cast<int>(std::count_if(categories.begin(), categories.end(),
                                        [&](const CategoryResult& c) { return c.verdict == verdict; }));
}

std::vector<std::string> RunResult::NamesOf(Verdict verdict) const {
  std::vector<std::string> names;
  for (const CategoryResult& category : categories) {
    if (category.verdict == verdict) names.push_back(category.name.empty() ? category.id : category.name);
  }
  return names;
}

RunResult BuildRunResult(const RunInputs& inputs) {
  RunResult run;
  run.start = inputs.start;
  run.seconds = inputs.seconds;
  run.machine = inputs.machine;
  run.checks = CheckLinesOf(inputs.detection);
  run.disks = DiskHealthOf(inputs.detection, inputs.diskModels);
  for (const CategoryEntry& category : kHardwareCategories) {
    const DoctorRow* row = RowOf(inputs.report, category);
    const Verdict shown = row == nullptr ? Verdict::NotRun : ShownVerdictOf(&category, *row, run.checks);
    CategoryResult result{std::string(category.key), {}, {}, VerdictOf(category, shown, run), shown};
    if (row != nullptr) {
      result.name = platform::Utf16ToUtf8(row->strName);
      result.model = PlainText(row->strHardware);
    }
    run.categories.push_back(std::move(result));
  }
  for (const JournalEntry& entry : inputs.repair) {
    const auto* outcome = std::get_if<RepairOutcome>(&entry.answer);
    if (outcome == nullptr) continue;
    ++run.repairsTried;
    if (outcome->succeeded) ++run.repairsSucceeded;
  }
  run.batteryHealthRatio = inputs.measured.batteryHealthRatio;
  run.batteryVolts = inputs.measured.batteryVolts;
  run.memoryBytesPerSecond = MemoryThroughput(run.checks, inputs.measured.memoryTestBytes);
  return run;
}

Verdict ShownVerdictOf(const DoctorRow& row, const std::vector<CheckLine>& checks) {
  return ShownVerdictOf(CategoryOf(row), row, checks);
}

std::vector<JournalEntry> JournalSince(std::chrono::steady_clock::time_point since) {
  std::vector<JournalEntry> journal = host::machine::Machine::Instance().Journal();
  std::erase_if(journal, [&](const JournalEntry& entry) { return entry.begin < since; });
  return journal;
}

}  // namespace app
