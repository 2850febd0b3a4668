// `sysdiagnose-host layout FILE`, run as the built program: every layout file the pages build, with
// every control the pages look up in it.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/host_program.h"
#include "support/test_env.h"

namespace {

// The controls of a scan or detect item.
const std::string kItem =
    "lytHardware lytTitle lytContent ctlSmallIcon txtName txtDescription ctlFolder ctlBigIcon lytItems lytLine btnFolder ";

// Each layout file with the names the pages look up in it; "name:Class" where a page drives the
// control as that kind.
const std::pair<const char*, std::string> kLayouts[] = {
    {"sysdiagnose_index.xml", "SysdiagnoseUIMain tblSysdiagnoseContent:TabLayout"},
    {"sysdiagnose_archievement.xml",
     "lytSysdiagnoseDateItems txtSysdiagnoseDateItemsTips lstSysdiagnoseArchieve lytSysdiagnoseDetail "
     "txtSysdiagnoseDetailDate lytSysdiagnoseNormal lytSysdiagnoseAbnormal txtSysdiagnoseNormalNum "
     "txtSysdiagnoseAbnormalNum lyt_hardware_norm_state lyt_hardware_abnorm_state txt_hardware_norm_state "
     "txt_hardware_abnorm_state txtSysdiagnoseArchievementSecondTitle btnSysdiagnoseScan txt_hardware_his0 "
     "txt_hardware_his1 txt_hardware_his2 txt_hardware_his3 txt_hardware_his4 txt_hardware_his5 txt_hardware_his6 "
     "txt_hardware_his7 txt_hardware_his8 txt_hardware_his9 txt_hardware_his10 txt_hardware_his11"},
    {"sysdiagnose_archievement_date.xml", "opt_hardware_his:Option btn_hardware_his txt_hardware_his"},
    {"sysdiagnose_archievement_detail.xml", "ctlIcon txtName txtDescription ctlStatus"},
    {"sysdiagnose_scan.xml",
     "lstSysdiagnoseScanItems:List lytScanExecute lytScanCancel txtSysdiagnoseScanFirstTitle "
     "txtSysdiagnoseScanSecondTitle btnSysdiagnoseScanBack btnSysdiagnoseScanCancel btnSysdiagnoseDetect"},
    {"sysdiagnose_scan_item.xml", kItem + "optChoose:AnimPanel"},
    {"sysdiagnose_scan_detail.xml", "txtTitle txtContent"},
    {"sysdiagnose_detect.xml",
     "lstSysdiagnoseDetectItems lytDetectExecute lytDetectCancel btnSysdiagnoseDetectComplete btnSysdiagnoseDetectBack "
     "btnSysdiagnoseDetectCancel txtSysdiagnosedDetectFirstTitle txtSysdiagnoseDetectSecondTitle:Text"},
    {"sysdiagnose_detect_item.xml", kItem + "btnRepair"},
    {"sysdiagnose_detect_detail.xml",
     "lytTitle lytDetail txtTitle txtResult optChoose:AnimPanel btnDetail txtDetail lytError lytSuggest btnSuggest "
     "txtType ctlFolder txtSuggest"},
    {"sysdiagnose_upload.xml", "lstUploadItems btnUpload btnClose btnCancel"},
    {"sysdiagnose_upload_item.xml", "lytLoadding lytContent btnLoadding:AnimPanel lblLoadding ctlContent lblContent"},
};

// Control class by name over the whole tree (the first control of each name).
std::map<std::string, std::string> ClassesByName(const nlohmann::json& tree) {
  std::map<std::string, std::string> classes;
  std::function<void(const nlohmann::json&)> visit = [&](const nlohmann::json& node) {
    classes.emplace(node["name"].get<std::string>(), node["class"].get<std::string>());
    for (const auto& child : node.value("children", nlohmann::json::array())) visit(child);
  };
  visit(tree);
  return classes;
}

TEST(LayoutCommand, EveryLayoutFileHoldsTheControlsThePagesLookUpAsTheKindTheyDrive) {
  for (const auto& [file, controls] : kLayouts) {
    const auto run = testenv::RunHostProgram({"layout", testenv::ResourcePath(std::string("layout/") + file), "--json"});
    ASSERT_EQ(run.status, 0) << file << ": " << run.err;
    EXPECT_EQ(run.err, "") << file;
    const auto classes = ClassesByName(nlohmann::json::parse(run.out));
    std::istringstream words(controls);
    for (std::string word; words >> word;) {
      const size_t colon = word.find(':');
      const auto found = classes.find(word.substr(0, colon));
      if (found == classes.end()) {
        ADD_FAILURE() << file << " lacks " << word;
      } else if (colon != std::string::npos) {
        EXPECT_EQ(found->second, word.substr(colon + 1)) << file << ": " << word;
      }
    }
  }
}

TEST(LayoutCommand, PrintsAnOutlineOrOneHtmlDocument) {
  const std::string file = testenv::ResourcePath("layout/sysdiagnose_scan.xml");
  const auto outline = testenv::RunHostProgram({"layout", file});
  EXPECT_EQ(outline.status, 0);
  EXPECT_NE(outline.out.find("  Button btnSysdiagnoseScanBack  32,504 160x40\n"), std::string::npos) << outline.out;
  const auto html = testenv::RunHostProgram({"layout", file, "--html"});
  EXPECT_EQ(html.status, 0);
  EXPECT_EQ(html.out.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_EQ(html.out.find("<!DOCTYPE", 1), std::string::npos) << "one document";
  EXPECT_NE(html.out.find("data-name=\"btnSysdiagnoseDetect\""), std::string::npos);
}

}  // namespace
