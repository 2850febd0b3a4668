#pragma once
// CResourceManager: the screen's scale. Sizes in layout files and in the size setters are 96-DPI
// units; Scale turns them into pixels for the system DPI (SystemInfo::GetSystemDPI).
namespace DuiLib {

class CResourceManager {
 public:
  static CResourceManager* GetInstance();
  static int GetDPI();
  // value × DPI / 96, rounded to the nearest pixel.
  static int Scale(int value);
};

}  // namespace DuiLib
