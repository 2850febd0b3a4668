#include "diagnose/disk_health.h"

#include <cstdio>
#include <optional>
#include <span>

#include "DuiLib/UICulture.h"
#include "diagnose/item_tests.h"
#include "diagnose/payload.h"
#include "telemetry/send_event.h"

namespace zel::sysdiagnose {
namespace {

using HardwareDetect::tagHHD_DISK_SMART_INFO;
using HardwareDetect::tagSSD_DISK_SMART_INFO;

// SMART attribute numbers in the order of the library's verdict bytes.
constexpr uint8_t kHddAttributes[] = {0x01, 0x03, 0x04, 0x05, 0x07, 0x09, 0x0A, 0x0C, 0xB7, 0xB8, 0xBB, 0xBC,
                                      0xBD, 0xBE, 0xBF, 0xC0, 0xC1, 0xC2, 0xC5, 0xC6, 0xC7, 0xF0, 0xF1, 0xF2};
constexpr uint8_t kSsdAttributes[] = {0x01, 0x05, 0x09, 0x0C, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB0,
                                      0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xC3, 0xE8, 0xE9, 0xF1, 0xF2};
static_assert(std::size(kHddAttributes) == sizeof(tagHHD_DISK_SMART_INFO::attributes));
static_assert(std::size(kSsdAttributes) == sizeof(tagSSD_DISK_SMART_INFO::attributes));

// "IDS_HARDWARE_DIAGNOSE_DISK_" and the attribute number as two upper-case hex digits.
std::u16string AttributeNameKey(uint8_t attribute) {
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", attribute);
  return u"IDS_HARDWARE_DIAGNOSE_DISK_" + std::u16string{char16_t(digits[0]), char16_t(digits[1])};
}

tagHardwareDetectInfo AttributeLine(uint8_t attribute, uint8_t verdict) {
  tagHardwareDetectInfo line = FreshLine();
  line.name = UICulture::GetInstance().GetString(AttributeNameKey(attribute));
  line.passed = verdict == 0;
  line.text = GetErrorCodeText(static_cast<int32_t>(static_cast<uint32_t>(verdict)));
  return line;
}

std::string SmartPayload(std::span<const uint8_t> verdicts, uint32_t code) {
  std::vector<int64_t> numbers(verdicts.begin(), verdicts.end());
  numbers.push_back(static_cast<uint32_t>(code - 1));
  return JoinPayload(numbers);
}

template <typename SmartInfo, uint32_t (HardwareDetect::CDiskFaultDetect::*Check)(const std::u16string&, SmartInfo&, int&)>
uint32_t Evaluate(FaultDetectors& detectors, int diskIndex, std::span<const uint8_t> attributes,
                  std::vector<tagHardwareDetectInfo>& lines, std::string& payload) {
  SmartInfo info{};
  int flag = 1;
  const std::u16string firmware = detectors.diskInfo.GetFirmwareRevision(diskIndex);
  const uint32_t code = (detectors.disk.*Check)(firmware, info, flag);
  for (size_t i = 0; i < attributes.size(); ++i) lines.push_back(AttributeLine(attributes[i], info.attributes[i]));
  payload = SmartPayload(info.attributes, code);
  return code;
}

// One disk: announced by its caption, evaluated, reported by event, then its attribute lines.
// Returns the disk code, or nothing for a disk the library does not list (code 2).
std::optional<uint32_t> DiagnoseOneDisk(FaultDetectors& detectors, int diskIndex, const CheckStartCallback& onCheckStart,
                                        const LineCallback& onLine) {
  if (onCheckStart) onCheckStart(HARDWARE_DISK, {detectors.diskInfo.GetCaption(diskIndex), {}, {}});
  int isSsd = 0;
  detectors.diskInfo.JudgeSSd(diskIndex, isSsd);
  std::vector<tagHardwareDetectInfo> lines;
  std::string payload;
  const uint32_t code = isSsd != 0 ? EvaluateSsdSmart(detectors, diskIndex, lines, payload)
                                   : EvaluateHddSmart(detectors, diskIndex, lines, payload);
  SendEvent(isSsd != 0 ? "620000024" : "620000023", payload);
  if (onLine) onLine(HARDWARE_DISK, FreshLine());
  if (code == 2) return std::nullopt;
  for (const tagHardwareDetectInfo& line : lines) {
    if (onCheckStart) onCheckStart(HARDWARE_DISK, {line.name, {}, {}});
    if (onLine) onLine(HARDWARE_DISK, line);
  }
  return code;
}

}  // namespace

uint32_t EvaluateHddSmart(FaultDetectors& detectors, int diskIndex, std::vector<tagHardwareDetectInfo>& lines,
                          std::string& payload) {
  return Evaluate<tagHHD_DISK_SMART_INFO, &HardwareDetect::CDiskFaultDetect::CheckHhdSmartResult>(
      detectors, diskIndex, kHddAttributes, lines, payload);
}

uint32_t EvaluateSsdSmart(FaultDetectors& detectors, int diskIndex, std::vector<tagHardwareDetectInfo>& lines,
                          std::string& payload) {
  return Evaluate<tagSSD_DISK_SMART_INFO, &HardwareDetect::CDiskFaultDetect::CheckSsdSmartResult>(
      detectors, diskIndex, kSsdAttributes, lines, payload);
}

tagDetectResult DiagnoseDisk(FaultDetectors& detectors, tagDetectResult& verdict, const CheckStartCallback& onCheckStart,
                             const LineCallback& onLine, const MessageCallback& /*onMessage*/,
                             const ResultCallback& onResult) {
  verdict = FreshVerdict();
  const int diskCount = detectors.diskInfo.GetPhysicDiskNumbers();
  if (diskCount == 0) {
    if (onCheckStart) onCheckStart(HARDWARE_DISK, tagDetectItemDetail{});
    if (onLine) onLine(HARDWARE_DISK, FreshLine());
    return verdict;
  }
  int32_t unhealthy = 0;
  for (int diskIndex = 0; diskIndex < diskCount; ++diskIndex) {
    const auto code = DiagnoseOneDisk(detectors, diskIndex, onCheckStart, onLine);
    if (code && *code != 1) ++unhealthy;
  }
  SendEvent("620000030", std::to_string(unhealthy));
  if (onResult) onResult(HARDWARE_DISK, verdict);
  return verdict;
}

}  // namespace zel::sysdiagnose
