// `sysdiagnose-host doctor` and `diagnose`, run as the built program on the sample notebooks.
#include <gmock/gmock.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/host_program.h"
#include "support/test_env.h"

namespace {

using ::testing::HasSubstr;
using json = nlohmann::json;

std::string Faulty() { return testenv::ResourcePath("machines/faulty-notebook.json"); }

// The item of a report whose name is the category's English name.
const json& Item(const json& report, const std::string& name) {
  for (const json& item : report["vecItems"]) {
    if (item["strName"] == name) return item;
  }
  static const json none;
  ADD_FAILURE() << "no item " << name;
  return none;
}

TEST(DoctorCommand, JsonListsEveryDetectionReportInOrder) {
  testenv::ScopedDataDir data;
  const auto run = testenv::RunHostProgram({"doctor", "--json", "--machine", Faulty()});
  ASSERT_EQ(run.status, 0) << run.err;
  const json reports = json::parse(run.out);

  ASSERT_EQ(reports.size(), 24u);  // one before and one after each of the twelve categories
  for (size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(reports[i]["bFinished"], i + 1 == reports.size() ? 1 : 0);
    EXPECT_EQ(reports[i]["nModuleId"], 0x390000);
    EXPECT_EQ(reports[i]["nTime"], 1860000);
  }
  const json& last = reports.back();
  EXPECT_EQ(last["vecItems"].size(), 12u);
  EXPECT_EQ(Item(last, "Processor")["nState"], 2);
  EXPECT_EQ(Item(last, "Memory")["nState"], 3);
  EXPECT_EQ(Item(last, "Network Adapter")["nState"], 3);
  EXPECT_EQ(Item(last, "Bluetooth")["nState"], 3);
  EXPECT_THAT(Item(last, "Graphics")["strHardware"].get<std::string>(), HasSubstr("Intel(R) UHD Graphics 620"));
  EXPECT_EQ(last["strSummaryKey"], "IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM");
}

TEST(DoctorCommand, RepairFixesWhatTheNotebookCanRepairAndConfirmsIt) {
  testenv::ScopedDataDir data;
  const auto run = testenv::RunHostProgram({"doctor", "--repair", "--json", "--machine", Faulty()});
  ASSERT_EQ(run.status, 0) << run.err;
  const json reports = json::parse(run.out);

  ASSERT_GT(reports.size(), 48u);
  const json& confirmed = reports.back();
  EXPECT_EQ(Item(confirmed, "Network Adapter")["nState"], 2);  // its repair fixes the switch
  EXPECT_EQ(Item(confirmed, "Keyboard")["nState"], 2);
  EXPECT_EQ(Item(confirmed, "Bluetooth")["nState"], 3);  // its repair fails
  EXPECT_EQ(Item(confirmed, "Memory")["nState"], 3);     // nothing to repair

  std::ifstream registry(data.path() / "registry.json");
  const json stored = json::parse(registry);
  EXPECT_EQ(stored["HKEY_CURRENT_USER"]["\\SOFTWARE\\Nexwarden\\HardareDetectRepair"]["Numbers"], 2);

  const auto history = testenv::RunHostProgram({"history", "--machine", Faulty()});
  EXPECT_EQ(history.status, 0) << history.err;
  EXPECT_THAT(history.out, HasSubstr("abnormal"));
}

TEST(DoctorCommand, ShowsProgressThenTheTableAndTheSummary) {
  testenv::ScopedDataDir data;
  const auto run = testenv::RunHostProgram({"doctor", "--machine", Faulty()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("... Memory"));
  EXPECT_THAT(run.out, HasSubstr("FAIL Network Adapter"));
  EXPECT_THAT(run.out, HasSubstr("Qualcomm Atheros QCA9377 Wireless"));
  EXPECT_THAT(run.out, HasSubstr("Problems found in 5 hardware categories"));
}

TEST(DiagnoseCommand, PrintsWhatTheDetectPageShowsAsItAppearsThenItsRepairs) {
  testenv::ScopedDataDir data;
  const auto run = testenv::RunHostProgram(
      {"diagnose", "--repair", "--machine", Faulty(), "memory", "audio", "network", "bluetooth"});
  ASSERT_EQ(run.status, 0) << run.err;
  // the page's texts, in the order the page shows them
  const std::vector<std::string> inOrder = {
      "Diagnosing your hardware\u2026\n",
      "  FAIL Pseudo-random data test\n",
      "  => Memory: abnormal\n",
      "  => Audio: normal\n",
      "  FAIL Wireless switch: The wireless network adapter is not working properly.\n",
      "Diagnosis complete\n3 categories need attention. Send the diagnosis logs\n",
      "Repairing\u2026\n",
      "  ok   Wireless switch\n",
      "  => Network Adapter: normal\n",
      "Some problems could not be repaired\n1 category still has problems.\n",
  };
  size_t at = 0;
  for (const std::string& text : inOrder) {
    const size_t found = run.out.find(text, at);
    ASSERT_NE(found, std::string::npos) << "no '" << text << "' after offset " << at << " of:\n" << run.out;
    at = found + text.size();
  }
}

}  // namespace
