// `sysdiagnose-host layout FILE`, run as the built program: every layout file the pages build, with
// every control the pages look up in it.
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <set>

#include "support/host_program.h"
#include "support/test_env.h"

namespace {

struct LayoutFile {
  const char* file;
  std::vector<std::string> names;  // the controls the pages look up in it
};

std::vector<std::string> DayLabels() {
  std::vector<std::string> labels;
  for (int k = 0; k < 12; ++k) labels.push_back("txt_hardware_his" + std::to_string(k));
  return labels;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<std::string> kItemControls = {"lytHardware", "lytTitle", "lytContent", "ctlSmallIcon", "txtName",
                                                "txtDescription", "ctlFolder", "ctlBigIcon", "lytItems", "lytLine",
                                                "btnFolder"};

const LayoutFile kLayouts[] = {
    {"sysdiagnose_index.xml", {"SysdiagnoseUIMain", "tblSysdiagnoseContent"}},
    {"sysdiagnose_archievement.xml",
     Join({"lytSysdiagnoseDateItems", "txtSysdiagnoseDateItemsTips", "lstSysdiagnoseArchieve", "lytSysdiagnoseDetail",
           "txtSysdiagnoseDetailDate", "lytSysdiagnoseNormal", "lytSysdiagnoseAbnormal", "txtSysdiagnoseNormalNum",
           "txtSysdiagnoseAbnormalNum", "lyt_hardware_norm_state", "lyt_hardware_abnorm_state", "txt_hardware_norm_state",
           "txt_hardware_abnorm_state", "txtSysdiagnoseArchievementSecondTitle", "btnSysdiagnoseScan"},
          DayLabels())},
    {"sysdiagnose_archievement_date.xml", {"opt_hardware_his", "btn_hardware_his", "txt_hardware_his"}},
    {"sysdiagnose_archievement_detail.xml", {"ctlIcon", "txtName", "txtDescription", "ctlStatus"}},
    {"sysdiagnose_scan.xml",
     {"lstSysdiagnoseScanItems", "lytScanExecute", "lytScanCancel", "txtSysdiagnoseScanFirstTitle",
      "txtSysdiagnoseScanSecondTitle", "btnSysdiagnoseScanBack", "btnSysdiagnoseScanCancel", "btnSysdiagnoseDetect"}},
    {"sysdiagnose_scan_item.xml", Join(kItemControls, {"optChoose"})},
    {"sysdiagnose_scan_detail.xml", {"txtTitle", "txtContent"}},
    {"sysdiagnose_detect.xml",
     {"lstSysdiagnoseDetectItems", "lytDetectExecute", "lytDetectCancel", "btnSysdiagnoseDetectComplete",
      "btnSysdiagnoseDetectBack", "btnSysdiagnoseDetectCancel", "txtSysdiagnosedDetectFirstTitle",
      "txtSysdiagnoseDetectSecondTitle"}},
    {"sysdiagnose_detect_item.xml", Join(kItemControls, {"btnRepair"})},
    {"sysdiagnose_detect_detail.xml",
     {"lytTitle", "lytDetail", "txtTitle", "txtResult", "optChoose", "btnDetail", "txtDetail", "lytError", "lytSuggest",
      "btnSuggest", "txtType", "ctlFolder", "txtSuggest"}},
    {"sysdiagnose_upload.xml", {"lstUploadItems", "btnUpload", "btnClose", "btnCancel"}},
    {"sysdiagnose_upload_item.xml", {"lytLoadding", "lytContent", "btnLoadding", "lblLoadding", "ctlContent", "lblContent"}},
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

TEST(LayoutCommand, EveryLayoutFileHoldsTheControlsThePagesLookUpWithTheirClasses) {
  std::map<std::string, std::map<std::string, std::string>> classesIn;
  for (const LayoutFile& layout : kLayouts) {
    const auto run = testenv::RunHostProgram({"layout", testenv::ResourcePath(std::string("layout/") + layout.file), "--json"});
    ASSERT_EQ(run.status, 0) << layout.file << ": " << run.err;
    EXPECT_EQ(run.err, "") << layout.file;
    const auto& classes = classesIn[layout.file] = ClassesByName(nlohmann::json::parse(run.out));
    for (const std::string& name : layout.names) EXPECT_TRUE(classes.count(name)) << layout.file << " lacks " << name;
  }
  // the controls the pages drive as their own kind
  EXPECT_EQ(classesIn["sysdiagnose_scan_item.xml"]["optChoose"], "AnimPanel");
  EXPECT_EQ(classesIn["sysdiagnose_detect_detail.xml"]["optChoose"], "AnimPanel");
  EXPECT_EQ(classesIn["sysdiagnose_upload_item.xml"]["btnLoadding"], "AnimPanel");
  EXPECT_EQ(classesIn["sysdiagnose_scan.xml"]["lstSysdiagnoseScanItems"], "List");
  EXPECT_EQ(classesIn["sysdiagnose_index.xml"]["tblSysdiagnoseContent"], "TabLayout");
  EXPECT_EQ(classesIn["sysdiagnose_archievement_date.xml"]["opt_hardware_his"], "Option");
  EXPECT_EQ(classesIn["sysdiagnose_detect.xml"]["txtSysdiagnoseDetectSecondTitle"], "Text");
}

TEST(LayoutCommand, PrintsAnOutlineOrOneHtmlDocument) {
  const std::string file = testenv::ResourcePath("layout/sysdiagnose_scan.xml");
  const auto outline = testenv::RunHostProgram({"layout", file});
  EXPECT_EQ(outline.status, 0);
  EXPECT_NE(outline.out.find("  Button btnSysdiagnoseScanBack  32,504 160x40\n"), std::string::npos) << outline.out;
  const auto html = testenv::RunHostProgram({"layout", file, "--html"});
  EXPECT_EQ(html.status, 0);
  EXPECT_EQ(html.out.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(html.out.find("data-name=\"btnSysdiagnoseDetect\""), std::string::npos);
}

}  // namespace
