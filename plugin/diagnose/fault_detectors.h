#pragma once
// The detector set a diagnosis run or the health-check service works with, and the texts of the
// library's negative result codes.
#include <cstdint>
#include <string>

#include "DeviceFalutDetect/DeviceFalutDetect.h"
#include "HardwareSdk/HardwareSdk.h"

namespace zel::sysdiagnose {

// One instance of each check class, then the disk information object. Members are built in
// declaration order and destroyed in reverse, also when a constructor throws half-way.
// Wi-Fi checks have no member: they go through WifiFaultDetect::GetInstance.
struct FaultDetectors {
  HardwareDetect::CCpuTest cpu;
  HardwareDetect::CMemFaultDetect memory;
  HardwareDetect::CDiskFaultDetect disk;
  HardwareDetect::CVideoCardDetect video;
  HardwareDetect::CAudioDetect audio;
  HardwareDetect::CBatteryDetect battery;
  HardwareDetect::CKeyBoardDetect keyboard;
  HardwareDetect::CBluetoothDetect bluetooth;
  HardwareDetect::CBiometricDetect biometric;
  CDisk diskInfo;
};

// Localized text of the library codes -8 to -1; empty for any other code, 0 included.
// Unsigned library codes are read as signed: 4294967295 is -1.
std::u16string GetErrorCodeText(int32_t code);

}  // namespace zel::sysdiagnose
