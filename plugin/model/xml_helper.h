#pragma once
// Reader of the detect-item catalogue that ships beside the host executable.
#include <string>
#include <vector>

#include "model/records.h"

namespace zel::sysdiagnose {

class XmlHelper {
 public:
  // `relativePath` is taken relative to the executable's directory, written Windows-style
  // ("config\\SysdiagnoseList.xml").
  explicit XmlHelper(std::string relativePath);

  // Fills `items` with the catalogue's entries in file order, less Bluetooth and the fingerprint
  // sensor when the machine has none. An absent, unreadable or malformed file leaves it empty.
  void GetDetectItems(std::vector<tagDetectItem>& items);

 private:
  std::string relativePath_;
};

}  // namespace zel::sysdiagnose
