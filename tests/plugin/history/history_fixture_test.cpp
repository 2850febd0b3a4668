// Shared set-up of the history tests (named *_test.cpp so that it is built into them).
#include "history_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "history/diagnose_history.h"
#include "model/hardware_catalog.h"
#include "model/hardware_state.h"
#include "platform/clock.h"

namespace historytest {
namespace {

namespace fs = std::filesystem;

// Points the application directory at a catalogue of our own before anything builds the
// process-wide catalogue, which reads it once.
class CatalogueEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (const char* dir = std::getenv("SYSDIAGNOSE_APP_DIR")) original_ = dir;
    appDir_ = fs::temp_directory_path() / ("sysdiagnose-history-app-" + std::to_string(::getpid()));
    fs::create_directories(appDir_ / "config");
    std::ofstream xml(appDir_ / "config" / "SysdiagnoseList.xml");
    xml << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<sysdiagnose>\n";
    for (int32_t id : kCatalogueIds) {
      xml << "  <DetectItem id=\"" << id << "\" name=\"c" << id << "\" description=\"d\"/>\n";
    }
    xml << "</sysdiagnose>\n";
    xml.close();
    setenv("SYSDIAGNOSE_APP_DIR", appDir_.c_str(), 1);
    testenv::UseEmptyMachine();
    ASSERT_EQ(zel::sysdiagnose::GetHardwareCatalog().Items().size(), std::size(kCatalogueIds));
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(appDir_, ec);
  }

  std::string original_;
  fs::path appDir_;
};

CatalogueEnvironment* const environment = [] {
  auto* env = new CatalogueEnvironment;
  ::testing::AddGlobalTestEnvironment(env);
  return env;
}();

}  // namespace

const std::string& OriginalAppDirectory() { return environment->original_; }

zel::sysdiagnose::tagDiagnoseRecord HistoryTest::SaveAt(int64_t moment, zel::sysdiagnose::tagDiagnoseRecord record) {
  now_ = moment;
  zel::sysdiagnose::DiagnoseHistory::SaveDiagnoseRecord(record);
  return record;
}

zel::sysdiagnose::tagDiagnoseRecord HistoryTest::AllNormal() {
  auto record = zel::sysdiagnose::ResetDiagnoseRecord();
  for (int32_t i = 0; i < zel::sysdiagnose::kHardwareCategoryCount; ++i) zel::sysdiagnose::StateAt(record, i) = 0;
  return record;
}

}  // namespace historytest
