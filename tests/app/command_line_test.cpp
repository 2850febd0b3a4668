// What every command of `sysdiagnose-host` does alike: a quiet stderr unless --verbose, a data
// directory checked before anything runs, private data files, and --json documents.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "host/scoped_env.h"
#include "support/host_program.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using json = nlohmann::json;

std::string Machine(const char* name) { return testenv::ResourcePath(std::string("machines/") + name); }

size_t Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

// The one element of `list` whose `key` is `value`.
const json& Find(const json& list, const char* key, const json& value) {
  for (const json& element : list) {
    if (element.at(key) == value) return element;
  }
  static const json none;
  ADD_FAILURE() << "no element with " << key << " = " << value.dump();
  return none;
}

TEST(CommandLine, WarningsGoToTheLogFileAndToStderrOnlyWhenVerbose) {
  testenv::ScopedDataDir data;
  // The desktop has no Bluetooth: the catalogue warns that it leaves the category out.
  const std::string warning = "is not support BT, ignore bt item";
  for (const std::vector<std::string>& command : {std::vector<std::string>{"doctor"}, {"scan"}, {"diagnose", "cpu"}}) {
    std::vector<std::string> args = command;
    args.insert(args.end(), {"--machine", Machine("desktop.json")});
    const auto quiet = testenv::RunHostProgram(args);
    EXPECT_EQ(quiet.status, 0) << command[0];
    EXPECT_EQ(quiet.err, "") << command[0];
    EXPECT_FALSE(quiet.out.empty()) << command[0];
  }
  std::ifstream log(data.path() / "sysdiagnose.log");
  EXPECT_THAT(std::string(std::istreambuf_iterator<char>(log), {}), HasSubstr(warning));

  for (const char* verbose : {"--verbose", "-v"}) {
    const auto loud = testenv::RunHostProgram({"doctor", verbose, "--machine", Machine("desktop.json")});
    EXPECT_EQ(loud.status, 0);
    EXPECT_THAT(loud.err, HasSubstr(warning)) << verbose;
  }
}

TEST(CommandLine, UsageAndProfileErrorsAreOneLineAndExitTwo) {
  testenv::ScopedDataDir data;
  const std::string misspelt = (data.path() / "bad.json").string();
  std::ofstream(misspelt) << R"({"hardware": {"cpu": {"nmae": "x"}}})";
  const struct {
    std::vector<std::string> args;
    std::string says;
  } cases[] = {
      {{"doctor", "--bogus"}, "unknown argument '--bogus'"},
      {{"doctor", "--machine", misspelt}, misspelt + ": unknown key 'hardware.cpu.nmae'"},
      {{"diagnose", "toaster"}, "unknown category 'toaster'"},
      {{"history", "--days", "0"}, "--days takes a number from 1 to 1000, not '0'"},
      {{"history", "--days", "many"}, "not 'many'"},
      {{"history", "extra"}, "unknown argument 'extra'"},
      {{"scan", "--days", "1"}, "unknown argument '--days'"},
      {{"machine", "a.json", "b.json"}, "one machine profile FILE, not several"},
      {{"machine", "--data-dir", "/tmp", "a.json"}, "unknown argument '--data-dir'"},
  };
  for (const auto& c : cases) {
    const auto run = testenv::RunHostProgram(c.args);
    EXPECT_EQ(run.status, 2) << c.says;
    EXPECT_EQ(run.out, "") << c.says;
    EXPECT_EQ(Lines(run.err), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("sysdiagnose-host " + c.args[0] + ": ", 0), 0u) << run.err;
    EXPECT_THAT(run.err, HasSubstr(c.says));
  }
  {
    testenv::ScopedEnv machine("SYSDIAGNOSE_MACHINE", misspelt);  // the profile named the other way
    const auto run = testenv::RunHostProgram({"scan"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Lines(run.err), 1u) << run.err;
  }
  const auto help = testenv::RunHostProgram({"machine", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: sysdiagnose-host machine [--verbose] [--json] [FILE|DIR]\n", 0), 0u) << help.out;
}

TEST(CommandLine, AnUnusableDataDirectoryIsOneLineAndExitTwoBeforeAnythingRuns) {
  testenv::ScopedDataDir data;
  const std::string file = (data.path() / "a-file").string();
  std::ofstream(file) << "not a directory";
  const struct {
    std::vector<std::string> args;
    std::string directory;
  } cases[] = {
      {{"history", "--data-dir", "/proc/self"}, "/proc/self"},
      {{"diagnose", "--data-dir", file + "/data", "--machine", Machine("faulty-notebook.json")}, file + "/data"},
      {{"doctor", "--data-dir", file}, file},
      {{"scan", "--data-dir", file + "/data"}, file + "/data"},
  };
  for (const auto& c : cases) {
    const auto run = testenv::RunHostProgram(c.args);
    EXPECT_EQ(run.status, 2) << c.args[0];
    EXPECT_EQ(run.out, "") << c.args[0];
    EXPECT_EQ(Lines(run.err), 1u) << run.err;
    EXPECT_THAT(run.err, HasSubstr("data directory " + c.directory + ": ")) << c.args[0];
  }
}

TEST(CommandLine, TheDataDirectoryAndEveryFileInItArePrivateWhateverTheUmask) {
  testenv::ScopedDataDir scratch;
  const fs::path data = scratch.path() / "fresh";
  const mode_t previous = umask(022);
  const auto run = [&] {
    return testenv::RunHostProgram({"diagnose", "--repair", "--data-dir", data.string(), "--machine",
                                    Machine("faulty-notebook.json"), "network", "bluetooth"});
  };
  ASSERT_EQ(run().status, 0);
  // Files another program left readable, kept aside as unreadable on the next run.
  for (const char* name : {"history.db", "registry.json"}) {
    fs::remove(data / name);
    std::ofstream(data / name) << "not what it should be";
    fs::permissions(data / name, fs::perms(0644));
  }
  ASSERT_EQ(run().status, 0);
  umask(previous);

  EXPECT_EQ(fs::status(data).permissions() & fs::perms::all, fs::perms(0700));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(data)) {
    names.push_back(entry.path().filename().string());
    EXPECT_EQ(entry.status().permissions() & fs::perms::all, fs::perms(0600)) << names.back();
  }
  for (const char* expected : {"history.db", "registry.json", "telemetry.jsonl", "sysdiagnose.log", "history.db.notadb-",
                               "registry.json.corrupt-"}) {
    EXPECT_TRUE(std::any_of(names.begin(), names.end(), [&](const std::string& n) { return n.starts_with(expected); }))
        << expected;
  }
}

// ---- --json: one document on stdout, nothing else there ---------------------------------------

json JsonOf(const std::vector<std::string>& args) {
  const auto run = testenv::RunHostProgram(args);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return json::parse(run.out, nullptr, /*allow_exceptions=*/false);
}

TEST(CommandLine, ScanJsonListsEachCategoryWithItsDevicesAndRows) {
  testenv::ScopedDataDir data;
  const json scan = JsonOf({"scan", "--json", "--machine", Machine("faulty-notebook.json")});
  ASSERT_FALSE(scan.is_discarded());

  ASSERT_EQ(scan["categories"].size(), 12u);
  const json& memory = Find(scan["categories"], "id", 5);
  EXPECT_EQ(memory["name"], "Memory");
  EXPECT_EQ(memory["model"], "HMA851S6CJR6N-VK");
  EXPECT_EQ(memory["summary"], "12GB");
  ASSERT_EQ(memory["devices"].size(), 2u);
  EXPECT_EQ(Find(memory["devices"][1], "label", "Capacity")["value"], "8GB");
  const json& disks = Find(scan["categories"], "id", 6);
  EXPECT_EQ(Find(disks["devices"][1], "label", "Capacity")["value"], "1.0 TB");
  EXPECT_EQ(disks["summary"], "256 GB+1.0 TB");
}

TEST(CommandLine, DiagnoseJsonHoldsEachCategorysChecksVerdictAndTheRepairs) {
  testenv::ScopedDataDir data;
  const json run = JsonOf({"diagnose", "--json", "--repair", "--machine", Machine("faulty-notebook.json"), "memory",
                           "network"});
  ASSERT_FALSE(run.is_discarded());

  EXPECT_EQ(run["ending"], "finished");
  EXPECT_EQ(run["normal"], 0);
  EXPECT_EQ(run["abnormal"], 2);
  EXPECT_EQ(run["failed"], json::array({5, 3}));
  ASSERT_EQ(run["categories"].size(), 2u);
  const json& memory = run["categories"][0];
  EXPECT_EQ(memory["id"], 5);
  EXPECT_EQ(memory["checks"].size(), 9u);
  EXPECT_EQ(memory["verdict"]["passed"], false);
  const json& network = run["categories"][1];
  const json& wifiSwitch = network["checks"][2];
  EXPECT_EQ(wifiSwitch["passed"], false);
  EXPECT_EQ(wifiSwitch["code"], -3);
  EXPECT_EQ(wifiSwitch["repair"], "RepairWifiProblem");

  const json& repair = run["repair"];
  EXPECT_EQ(repair["ending"], "finished");
  EXPECT_EQ(repair["allSucceeded"], true);
  ASSERT_EQ(repair["categories"].size(), 1u);
  EXPECT_EQ(repair["categories"][0]["id"], 3);
  EXPECT_EQ(repair["categories"][0]["repaired"], true);
  EXPECT_EQ(repair["categories"][0]["entries"][0]["repair"], "RepairWifiProblem");

  const json history = JsonOf({"history", "--json", "--days", "1"});
  ASSERT_FALSE(history.is_discarded());
  ASSERT_EQ(history["runs"].size(), 1u);
  const json& latest = history["runs"][0];  // the repair's run
  EXPECT_EQ(Find(latest["categories"], "id", 3)["state"], "normal");
  EXPECT_EQ(Find(latest["categories"], "id", 5)["state"], "abnormal");
  EXPECT_EQ(Find(latest["categories"], "id", 4)["state"], "not diagnosed");
  EXPECT_EQ(latest["normal"], 1);
  EXPECT_EQ(latest["abnormal"], 1);
}

TEST(CommandLine, HistoryJsonOfAnEmptyHistoryIsAnEmptyList) {
  testenv::ScopedDataDir data;
  EXPECT_EQ(JsonOf({"history", "--json"}), json::parse(R"({"runs": []})"));
}

}  // namespace
