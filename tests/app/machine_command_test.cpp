// `sysdiagnose-host machine FILE`, run as the built program.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/host_program.h"
#include "support/test_env.h"

namespace {

using Outcome = testenv::HostRun;

Outcome Host(const std::vector<std::string>& args) { return testenv::RunHostProgram(args); }

std::string WriteProfile(const std::string& name, const std::string& json) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path) << json;
  return path;
}

size_t Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

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

TEST(MachineCommand, DescribesEachSampleMachine) {
  for (const char* name : {"healthy-notebook.json", "faulty-notebook.json", "desktop.json"}) {
    const Outcome run = Host({"machine", testenv::ResourcePath(std::string("machines/") + name)});
    EXPECT_EQ(run.status, 0) << name << "\n" << run.err;
    EXPECT_EQ(run.err, "") << name;
    for (const char* section : {"Host", "Hardware", "Checks", "Repairs", "wifi.switch", "RepairBTProblems"}) {
      EXPECT_NE(run.out.find(section), std::string::npos) << name << " lacks " << section;
    }
  }
}

TEST(MachineCommand, ShowsTheFaultsAndTheRepairsOfTheFaultyNotebook) {
  const Outcome run = Host({"machine", testenv::ResourcePath("machines/faulty-notebook.json")});
  ASSERT_EQ(run.status, 0) << run.err;

  const auto line = [&](std::string_view label) { return ValueOf(run.out, label); };
  EXPECT_NE(line("wifi.switch").find("FAILS"), std::string::npos) << line("wifi.switch");
  EXPECT_NE(line("wifi.switch").find("4294967293 (-3)"), std::string::npos) << line("wifi.switch");
  EXPECT_NE(line("wifi.signal").find("passes"), std::string::npos) << line("wifi.signal");
  EXPECT_NE(line("RepairWifiProblem").find("then passes: wifi.switch"), std::string::npos);
  EXPECT_NE(line("RepairBTProblems").find("FAILS"), std::string::npos);
  EXPECT_NE(line("disks[1]").find("NOT HEALTHY"), std::string::npos) << line("disks[1]");
  EXPECT_NE(line("Bluetooth").find("present"), std::string::npos);
}

TEST(MachineCommand, TheDesktopShowsItsMissingDevices) {
  const Outcome run = Host({"machine", testenv::ResourcePath("machines/desktop.json")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ValueOf(run.out, "Bluetooth"), "absent");
  EXPECT_EQ(ValueOf(run.out, "Fingerprint sensor"), "absent");
  EXPECT_EQ(ValueOf(run.out, "Battery"), "absent");
  EXPECT_EQ(ValueOf(run.out, "bluetooth.supported"), "no");
  EXPECT_EQ(ValueOf(run.out, "battery.device").rfind("FAILS", 0), 0u);
}

TEST(MachineCommand, AMisspeltKeyIsOneLineNamingFileAndPath) {
  const std::string file = WriteProfile("misspelt.json", R"({"hardware": {"cpu": {"nmae": "x"}}})");

  const Outcome run = Host({"machine", file});

  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(Lines(run.err), 1u) << run.err;
  EXPECT_NE(run.err.find(file + ": unknown key 'hardware.cpu.nmae'"), std::string::npos) << run.err;
}

TEST(MachineCommand, AFileThatIsNotJsonIsOneLineWithItsPosition) {
  const std::string file = WriteProfile("not-json.json", "{\n  \"host\": nope\n}\n");

  const Outcome run = Host({"machine", file});

  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(Lines(run.err), 1u) << run.err;
  EXPECT_NE(run.err.find(file + ":2:12: malformed JSON"), std::string::npos) << run.err;
}

TEST(MachineCommand, AMissingFileIsAClearError) {
  const Outcome run = Host({"machine", "/nonexistent/machine.json"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(Lines(run.err), 1u);
  EXPECT_NE(run.err.find("/nonexistent/machine.json"), std::string::npos);
}

// The JSON is the profile in the profile's own keys with every default filled in: read back, it
// describes the same notebook.
TEST(MachineCommand, JsonIsTheWholeProfileAndReadsBackAsTheSameMachine) {
  const std::string faulty = testenv::ResourcePath("machines/faulty-notebook.json");
  const Outcome run = Host({"machine", "--json", faulty});
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

  const std::string copy = WriteProfile("round-trip.json", profile.dump());
  const Outcome again = Host({"machine", "--json", copy});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(nlohmann::json::parse(again.out)["profile"], profile);
}

TEST(MachineCommand, ARecordedMachineIsDescribedWithWhatEachCheckLooksAt) {
  const std::string tree = testenv::RecordedMachinePath("notebook");
  const Outcome run = Host({"machine", tree});
  ASSERT_EQ(run.status, 0) << run.err;

  EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "the Linux machine recorded under " + tree);
  const auto line = [&](std::string_view label) { return ValueOf(run.out, label); };
  EXPECT_NE(line("Processor").find("i7-1165G7"), std::string::npos) << line("Processor");
  EXPECT_NE(line("Display").find("B140HAN04.2, 1920*1080, 60 Hz"), std::string::npos) << line("Display");
  EXPECT_NE(line("wireless").find("driver iwlwifi"), std::string::npos) << line("wireless");
  EXPECT_NE(line("wifi.switch").find("rfkill"), std::string::npos) << line("wifi.switch");
  EXPECT_NE(line("RepairBTProblems").find("switches Bluetooth back on"), std::string::npos);
  EXPECT_EQ(line("RepairAudioProblem"), "fails and changes nothing");
}

TEST(MachineCommand, WithoutAFileItDescribesTheRunningMachine) {
  const Outcome run = Host({"machine"});

  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "this Linux machine");
  if (const std::string model = testenv::RunningProcessorModel(); !model.empty()) {
    EXPECT_NE(ValueOf(run.out, "Processor").find(model), std::string::npos) << ValueOf(run.out, "Processor");
  }
  EXPECT_NE(run.out.find("Not readable here"), std::string::npos);

  const Outcome json = Host({"machine", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const nlohmann::json doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["machine"], "this Linux machine");
  EXPECT_EQ(doc["diskHealth"].size(), doc["hardware"]["disks"].size());
  if (const std::string model = testenv::RunningProcessorModel(); !model.empty()) {
    EXPECT_NE(doc["hardware"]["cpu"]["name"].get<std::string>().find(model), std::string::npos);
  }
}

}  // namespace
