#pragma once
// Host facts about the user's system, answered from the machine profile's "host" section.
#include <cstdint>
#include <string>

class SystemInfo {
 public:
  // e.g. u"en-US", u"zh-CN".
  static std::u16string getCurrentUserLanguage();
  static uint32_t GetSystemDPI();
  // Whether the user's UI reads right to left.
  static bool IsRightToLeft();
};
