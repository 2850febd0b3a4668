#include "diagnose/hardware_repair_helper.h"

#include <exception>
#include <string>
#include <thread>

#include "model/page_call.h"
#include "platform/encoding.h"
#include "platform/numparse.h"
#include "utility/Logger.h"
#include "utility/Registry.h"

namespace zel::sysdiagnose {

using HardwareDetect::CAudioDetect;
using HardwareDetect::WifiFaultDetect;

namespace {

uint32_t CodeArgument(const std::u16string& text) { return static_cast<uint32_t>(platform::Wtoi(text)); }

std::u16string UnsignedText(uint32_t code) { return platform::Utf8ToUtf16(std::to_string(code)); }

}  // namespace

HardwareRepairHelper& HardwareRepairHelper::Instance() {
  static HardwareRepairHelper instance;
  return instance;
}

HardwareRepairHelper::HardwareRepairHelper() {
  // Every entry holds its family's lock for the whole library call, so repairs of one device
  // family never overlap whoever starts them.
  struct Row {
    const char16_t* key;
    std::mutex HardwareRepairHelper::*lock;
    std::function<RepairResult(HardwareRepairHelper&, const std::u16string&)> call;
  };
  const Row rows[] = {
      {u"RepairWifiDriver", &HardwareRepairHelper::wifiLock_,
       [](HardwareRepairHelper&, const std::u16string&) { return WifiFaultDetect::GetInstance().RepairWifiDriver(); }},
      {u"RepairWifiProblem", &HardwareRepairHelper::wifiLock_,
       [](HardwareRepairHelper&, const std::u16string& text) {
         return WifiFaultDetect::GetInstance().RepairWifiProblem(CodeArgument(text));
       }},
      {u"RepairHotkey", &HardwareRepairHelper::keyboardLock_,
       [](HardwareRepairHelper& self, const std::u16string&) { return self.keyboard_.RepairHotkey(); }},
      {u"RepairFilterKey", &HardwareRepairHelper::keyboardLock_,
       [](HardwareRepairHelper& self, const std::u16string&) { return self.keyboard_.CloseFilterKey(); }},
      {u"RepairAudio", &HardwareRepairHelper::audioLock_,
       [](HardwareRepairHelper&, const std::u16string& text) {
         return CAudioDetect::GetInstance().RepairAudioProblem(CodeArgument(text));
       }},
      {u"RepairBluetooth", &HardwareRepairHelper::bluetoothLock_,
       [](HardwareRepairHelper& self, const std::u16string& text) {
         return self.bluetooth_.RepairBTProblems(CodeArgument(text));
       }},
      {u"RepairVideoCard", &HardwareRepairHelper::graphicsLock_,
       [](HardwareRepairHelper& self, const std::u16string& text) {
         return self.videoCard_.RepairVIDEOCARDProblems(CodeArgument(text));
       }},
      {u"RepairFingerprint", &HardwareRepairHelper::fingerprintLock_,
       [](HardwareRepairHelper& self, const std::u16string& text) {
         return self.biometric_.RepairByErrorCode(CodeArgument(text));
       }},
  };
  for (const Row& row : rows) {
    table_.emplace(row.key, [this, lock = row.lock, call = row.call](RepairResult& result, const std::u16string& text) {
      std::lock_guard guard(this->*lock);
      result = call(*this, text);
    });
  }
}

void HardwareRepairHelper::Repair(std::u16string repairName, std::u16string errorCodeText, RepairResult& result) {
  const auto it = table_.find(repairName);
  if (it != table_.end()) it->second(result, errorCodeText);
}

void HardwareRepairHelper::RepairAsync(const std::u16string& repairName, uint32_t errorCode,
                                       RepairDoneCallback onRepairDone) {
  std::thread([this, repairName, errorCode, onRepairDone = std::move(onRepairDone)] {
    RepairResult result = FreshResult();
    try {
      Repair(repairName, UnsignedText(errorCode), result);
    } catch (const std::exception& e) {
      // The line's owner still hears back: a repair that threw did not succeed.
      hostlog::Error(std::string("repair ended by an exception: ") + e.what(),
                     "zel::sysdiagnose::HardwareRepairHelper::RepairAsync", "zel_diagnose_repair", __LINE__,
                     __PRETTY_FUNCTION__);
      result.succeeded = false;
    }
    CallPage(onRepairDone, "onRepairDone", result);
  }).detach();
}

void HardwareRepairHelper::AddRepairCount(uint32_t n) {
  static std::mutex counterLock;
  std::lock_guard guard(counterLock);

  DE::Registry registry;
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (!registry.KeyExists(kRepairCountKey) && !registry.CreateKey(kRepairCountKey)) return;

  uint32_t value = 0;
  if (!DE::Registry::GetValue(HKEY_CURRENT_USER, kRepairCountKey, kRepairCountValue, value, KEY_ALL_ACCESS)) {
    value = 0;
    DE::Registry::SetValue(HKEY_CURRENT_USER, kRepairCountKey, kRepairCountValue, 0, KEY_ALL_ACCESS);
  }
  const uint64_t sum = static_cast<uint64_t>(value) + n;
  value = sum > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(sum);
  DE::Registry::SetValue(HKEY_CURRENT_USER, kRepairCountKey, kRepairCountValue, value, KEY_ALL_ACCESS);
}

}  // namespace zel::sysdiagnose
