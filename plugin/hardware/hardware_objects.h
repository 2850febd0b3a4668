#pragma once
// One shared instance of each hardware-information class and of the graphics and audio
// detectors. Used from the UI, scan and diagnosis threads without a lock: the library's objects
// answer each call on their own.
#include "DeviceFalutDetect/DeviceFalutDetect.h"
#include "HardwareSdk/HardwareSdk.h"

namespace zel::sysdiagnose {

struct HardwareObjects {
  CCpu cpu;
  CBaseboard baseboard;
  CMemory memory;
  CDisk disk;
  CVediocard video;
  CAudioCard audio;
  CNetworkAdapter networkAdapter;
  CBattery battery;
  CKeyBoard keyboard;
  CBluetooth bluetooth;
  CBiometric biometric;
  HardwareDetect::CVideoCardDetect videoDetect;
  HardwareDetect::CAudioDetect audioDetect;
};

// The process's instance, built on the first call.
HardwareObjects& GetHardwareObjects();

}  // namespace zel::sysdiagnose
