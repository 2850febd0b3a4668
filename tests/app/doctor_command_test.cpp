// `sysdiagnose-host doctor --repair` and `diagnose`, run as the built program on the faulty notebook.
#include <gmock/gmock.h>

#include <fstream>
#include <nlohmann/json.hpp>

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

TEST(DoctorCommand, ReportsEveryCategoryThenRepairsWhatTheNotebookCanAndConfirmsIt) {
  testenv::ScopedDataDir data;
  const auto run = testenv::RunHostProgram({"doctor", "--repair", "--json", "--machine", Faulty()});
  ASSERT_EQ(run.status, 0) << run.err;
  const json reports = json::parse(run.out);

  // the detection: one report before and one after each of the twelve categories, the last finished
  ASSERT_GT(reports.size(), 48u);
  for (size_t i = 0; i < 24; ++i) {
    EXPECT_EQ(reports[i]["bFinished"], i == 23 ? 1 : 0) << i;
    EXPECT_EQ(reports[i]["nModuleId"], 0x390000);
    EXPECT_EQ(reports[i]["nTime"], 1860000);
  }
  const json& detected = reports[23];
  EXPECT_EQ(detected["vecItems"].size(), 12u);
  EXPECT_EQ(Item(detected, "Processor")["nState"], 2);
  EXPECT_EQ(Item(detected, "Memory")["nState"], 3);
  EXPECT_EQ(Item(detected, "Network Adapter")["nState"], 3);
  EXPECT_EQ(Item(detected, "Keyboard")["nState"], 3);
  EXPECT_EQ(Item(detected, "Bluetooth")["nState"], 3);
  EXPECT_THAT(Item(detected, "Graphics")["strHardware"].get<std::string>(), HasSubstr("Intel(R) UHD Graphics 620"));
  EXPECT_EQ(detected["strSummaryKey"], "IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM");

  // the confirming detection after the repair
  const json& confirmed = reports.back();
  EXPECT_EQ(confirmed["bFinished"], 1);
  EXPECT_EQ(confirmed["vecItems"].size(), 12u);
  EXPECT_EQ(Item(confirmed, "Network Adapter")["nState"], 2);  // its repair fixes the switch
  EXPECT_EQ(Item(confirmed, "Keyboard")["nState"], 2);
  EXPECT_EQ(Item(confirmed, "Bluetooth")["nState"], 3);  // its repair fails
  EXPECT_EQ(Item(confirmed, "Memory")["nState"], 3);     // nothing to repair

  std::ifstream registry(data.path() / "registry.json");
  EXPECT_EQ(json::parse(registry)["HKEY_CURRENT_USER"]["\\SOFTWARE\\Nexwarden\\HardareDetectRepair"]["Numbers"], 2);
  const auto history = testenv::RunHostProgram({"history", "--machine", Faulty()});
  EXPECT_EQ(history.status, 0) << history.err;
  EXPECT_THAT(history.out, HasSubstr("abnormal"));
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
