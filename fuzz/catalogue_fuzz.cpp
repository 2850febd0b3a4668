// Feeds arbitrary bytes to the plug-in's catalogue reader as config/SysdiagnoseList.xml in an
// application directory of its own. A file that is no catalogue is an empty one; every item read
// has its three attributes.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "model/xml_helper.h"
#include "utility/Logger.h"

namespace {

std::string MakeAppDirectory() {
  const char* shm = "/dev/shm";
  std::string dir = (std::filesystem::is_directory(shm) ? std::string(shm) : std::filesystem::temp_directory_path().string()) +
                    "/sysdiagnose-fuzz-catalogue-" + std::to_string(getpid());
  std::filesystem::create_directories(dir + "/config");
  setenv("SYSDIAGNOSE_APP_DIR", dir.c_str(), 1);
  GetLogger().setLogLevel(log4cplus::OFF_LOG_LEVEL);
  host::machine::Machine::Instance().Clear();  // a machine with neither Bluetooth nor a reader
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string appDir = MakeAppDirectory();
  {
    std::ofstream file(appDir + "/config/SysdiagnoseList.xml", std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  // A name no UTF-8 text converts to: found again, the list was not cleared.
  const std::u16string stale(1, char16_t{0xD800});
  std::vector<zel::sysdiagnose::tagDetectItem> items{{99, stale, stale}};
  zel::sysdiagnose::XmlHelper("config\\SysdiagnoseList.xml").GetDetectItems(items);
  for (const auto& item : items) {
    if (item.name == stale) std::abort();
  }
  return 0;
}
