#pragma once
// The host's feature switches ("zel_plugin_hardware", "AppLogUpload"); unlisted names are on.
#include <string>

class CPKTSoftShelf {
 public:
  static CPKTSoftShelf& GetInstance();
  bool IsSupportPlugin(const std::string& name);
};
