// `sysdiagnose-host machine` and `scan`, run as the built program on sample, recorded and running machines.
#include <gmock/gmock.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "host/scoped_env.h"
#include "support/host_program.h"
#include "support/test_env.h"

namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;
using testenv::RunHostProgram;

// The value of the first report line whose label is `label`.
std::string ValueOf(const std::string& report, std::string_view label) {
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    const size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos || line.compare(start, label.size(), label) != 0) continue;
    const size_t value = line.find_first_not_of(' ', start + label.size());
    if (value != std::string::npos && value > start + label.size()) return line.substr(value);
  }
  return "<no line " + std::string(label) + ">";
}

// What `lsblk` says the disks are: name and size in bytes, zram (compressed memory) left out.
std::vector<std::pair<std::string, uint64_t>> LsblkDisks() {
  std::vector<std::pair<std::string, uint64_t>> disks;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen("lsblk -d -n -b -o NAME,SIZE,TYPE 2>/dev/null", "r"), pclose);
  if (!pipe) return disks;
  char line[256];
  while (fgets(line, sizeof line, pipe.get())) {
    std::istringstream fields(line);
    std::string name, type;
    uint64_t size = 0;
    if (fields >> name >> size >> type && type == "disk" && size != 0 && name.rfind("zram", 0) != 0) {
      disks.emplace_back(name, size);
    }
  }
  return disks;
}

TEST(MachineCommand, DescribesEachMachineWithItsFaultsRepairsAndMissingDevices) {
  const std::string recorded = testenv::RecordedMachinePath("notebook");
  const auto sample = [](const char* name) { return testenv::ResourcePath(std::string("machines/") + name); };
  const struct {
    std::string file, firstLine;
    std::vector<std::pair<const char*, const char*>> values;  // label, regular expression of its value
  } cases[] = {
      {sample("healthy-notebook.json"), sample("healthy-notebook.json") + ": a valid machine profile", {}},
      {sample("faulty-notebook.json"), sample("faulty-notebook.json") + ": a valid machine profile",
       {{"wifi.switch", "FAILS, code 4294967293 \\(-3\\).*"}, {"wifi.signal", "passes.*"},
        {"RepairWifiProblem", ".*then passes: wifi.switch"}, {"RepairBTProblems", "FAILS.*"},
        {"disks[1]", "NOT HEALTHY.*"}, {"Bluetooth", ".*present"}}},
      {sample("desktop.json"), sample("desktop.json") + ": a valid machine profile",
       {{"Bluetooth", "absent"}, {"Fingerprint sensor", "absent"}, {"Battery", "absent"},
        {"bluetooth.supported", "no"}, {"battery.device", "FAILS.*"}}},
      {recorded, "the Linux machine recorded under " + recorded,
       {{"Processor", ".*i7-1165G7.*"}, {"Display", "B140HAN04.2, 1920\\*1080, 60 Hz"}, {"wireless", ".*driver iwlwifi.*"},
        {"wifi.switch", ".*rfkill.*"}, {"RepairBTProblems", "switches Bluetooth back on.*"},
        {"RepairAudioProblem", "fails and changes nothing"}}},
  };
  for (const auto& c : cases) {
    const auto run = RunHostProgram({"machine", c.file});
    EXPECT_EQ(run.status, 0) << c.file << "\n" << run.err;
    EXPECT_EQ(run.err, "") << c.file;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), c.firstLine);
    for (const char* section : {"Host", "Hardware", "Checks", "Repairs", "wifi.switch", "RepairBTProblems"}) {
      EXPECT_THAT(run.out, HasSubstr(section)) << c.file;
    }
    for (const auto& [label, value] : c.values) EXPECT_THAT(ValueOf(run.out, label), MatchesRegex(value)) << c.file;
  }
}

// The JSON is the profile in the profile's own keys with every default filled in: read back, it
// describes the same notebook.
TEST(MachineCommand, JsonIsTheWholeProfileAndReadsBackAsTheSameMachine) {
  const std::string faulty = testenv::ResourcePath("machines/faulty-notebook.json");
  const auto run = RunHostProgram({"machine", "--json", faulty});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const nlohmann::json doc = nlohmann::json::parse(run.out);

  EXPECT_EQ(doc["file"], faulty);
  const nlohmann::json& profile = doc["profile"];
  EXPECT_EQ(profile["checks"]["wifi"]["switch"]["code"], 4294967293u);
  EXPECT_EQ(profile["checks"]["wifi"]["switch"]["passed"], false);
  EXPECT_EQ(profile["checks"]["wifi"]["signal"]["passed"], true);  // not in the file: a passing check
  EXPECT_EQ(profile["checks"]["bluetooth"]["supported"], true);
  EXPECT_EQ(profile["checks"]["disks"][1]["smart"][3], 2);
  EXPECT_EQ(profile["hardware"]["disks"][1]["caption"], "ST1000LM035-1RK172");
  EXPECT_EQ(profile["repairs"]["RepairBTProblems"]["succeeded"], false);
  EXPECT_EQ(profile["repairs"]["RepairHotkey"]["succeeded"], true);
  EXPECT_EQ(profile["logService"]["items"][1]["module"], 7);

  const std::string copy = testing::TempDir() + "round-trip.json";
  std::ofstream(copy) << profile.dump();
  const auto again = RunHostProgram({"machine", "--json", copy});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(nlohmann::json::parse(again.out)["profile"], profile);
}

TEST(MachineAndScan, WithoutAProfileShowTheProcessorAndDisksOfThisMachine) {
  testenv::ScopedDataDir dataDir;
  testenv::ScopedEnv noProfile("SYSDIAGNOSE_MACHINE", std::nullopt);
  const std::string model = testenv::RunningProcessorModel();  // empty when /proc/cpuinfo names none

  const auto scan = RunHostProgram({"scan"});
  ASSERT_EQ(scan.status, 0) << scan.err;
  EXPECT_THAT(scan.out, HasSubstr("Processor: " + model));
  for (const auto& [name, bytes] : LsblkDisks()) {
    const uint64_t gb = bytes / 1000000000;
    const std::string capacity = gb < 1000 ? std::to_string(gb) + " GB" : std::to_string(gb / 100 / 10) + ".";
    EXPECT_THAT(scan.out, HasSubstr("Capacity: " + capacity)) << name;
  }
  EXPECT_THAT(scan.err, Not(HasSubstr("errno")));

  const auto machine = RunHostProgram({"machine"});
  ASSERT_EQ(machine.status, 0) << machine.err;
  EXPECT_EQ(machine.out.substr(0, machine.out.find('\n')), "this Linux machine");
  EXPECT_THAT(ValueOf(machine.out, "Processor"), HasSubstr(model));
  EXPECT_THAT(machine.out, HasSubstr("Not readable here"));

  const auto json = RunHostProgram({"machine", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const nlohmann::json doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["machine"], "this Linux machine");
  EXPECT_EQ(doc["diskHealth"].size(), doc["hardware"]["disks"].size());
  EXPECT_THAT(doc["hardware"]["cpu"]["name"].get<std::string>(), HasSubstr(model));
}

TEST(ScanCommand, ARecordedMachineNamedAsTheMachineIsScanned) {
  testenv::ScopedDataDir dataDir;

  const auto run = RunHostProgram({"scan", "--machine", testenv::RecordedMachinePath("desktop")});

  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* row : {"Processor: AMD Ryzen 5 5600G with Radeon Graphics", "Model: ST2000DM008-2FR1",
                          "Capacity: 2.0 TB", "Model: Samsung SSD 870", "Model: DELL U2720Q", "Resolution: 3840*2160"}) {
    EXPECT_THAT(run.out, HasSubstr(row));
  }
}

}  // namespace
