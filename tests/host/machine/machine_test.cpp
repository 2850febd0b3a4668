// Machine profiles (defaults, refusals with key paths and positions, code arithmetic) and the
// process's machine (checks and repairs, fixes, the journal and delays).
#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <variant>

#include "machine/machine.h"
#include "machine/machine_backend.h"
#include "machine/profile_fields.h"
#include "support/test_env.h"

namespace host::machine {
namespace {

using std::chrono::milliseconds;

std::shared_ptr<const Profile> Parse(std::string_view json) {
  LoadResult result = ParseProfile(json, "test.json");
  EXPECT_TRUE(result) << result.error;
  return result.profile;
}

std::string ErrorOf(std::string_view json) {
  LoadResult result = ParseProfile(json, "test.json");
  EXPECT_FALSE(result) << "accepted: " << json;
  return result.error;
}

TEST(Profile, MissingKeysTakeTheirDefaults) {
  const auto profile = Parse(R"({"checks": {"cpu": {"support": {"sse41": false}}}})");

  EXPECT_TRUE(profile->hardware.cpu.name.empty());
  EXPECT_TRUE(profile->hardware.disks.empty());
  EXPECT_FALSE(profile->hardware.hasBluetooth);
  EXPECT_TRUE(profile->repairs.empty());
  EXPECT_EQ(profile->host.userLanguage, "en-US");
  EXPECT_EQ(profile->host.dpi, 96u);
  EXPECT_TRUE(profile->flags.at("cpu.support.sse42"));
  EXPECT_FALSE(profile->flags.at("cpu.support.sse41"));
  EXPECT_FALSE(profile->flags.at("bluetooth.supported"));
}

std::string Many(std::string_view element, size_t count) {
  std::string list = "[";
  for (size_t i = 0; i < count; ++i) list += (i ? "," : "") + std::string(element);
  return list + "]";
}

TEST(Profile, RefusalsNameTheOffendingKeyPathOrTheLineAndColumnOfMalformedJson) {
  const std::string longName = R"({"hardware": {"cpu": {"name": ")" + std::string(4097, 'x') + "\"}}}";
  const std::string manyDisks = R"({"hardware": {"disks": )" + Many("{}", 65) + "}}";
  const std::string manyIds = R"({"hardware": {"network": {"wired": {"hardIds": )" + Many("\"id\"", 65) + "}}}}";
  const std::string longKey = R"({"host": {"features": {")" + std::string(100000, 'k') + "\\n\": true}}}";
  const struct {
    std::string json, error;
  } cases[] = {
      {R"({"hardware": {"cpu": {"nmae": "x"}}})", "test.json: unknown key 'hardware.cpu.nmae'"},
      {R"({"hardware": {"memory": {"modules": [{}, {"sped": 1}]}}})",
       "test.json: unknown key 'hardware.memory.modules[1].sped'"},
      {R"({"checks": {"wifi": {"swtch": 0}}})", "test.json: unknown key 'checks.wifi.swtch'"},
      {R"({"hardware": {"cpu": {"cores": "4"}}})", "test.json: 'hardware.cpu.cores' must be "},
      {R"({"checks": {"memory": {"random": 4294967296}}})", "test.json: 'checks.memory.random' must be "},
      {R"({"repairs": {"RepairWifiProblem": {"fixes": ["wifi.switch", "wifi.swtch"]}}})",
       "test.json: 'repairs.RepairWifiProblem.fixes[1]' names no check: 'wifi.swtch'"},
      {"{\n  \"host\": {\n    \"dpi\": 96,,\n  }\n}", "test.json:3:15: malformed JSON: "},
      {"{\"host\": {", "test.json:1:11: malformed JSON"},
      // numbers, counts and texts beyond any notebook
      {R"({"hardware": {"cpu": {"cores": 1e400}}})", "test.json: malformed JSON: number overflow parsing '1e400'"},
      {"1e999", "test.json: malformed JSON: number overflow"},
      {R"({"hardware": {"diskCount": 2147483647}})",
       "test.json: 'hardware.diskCount' must be an integer from -2147483648 to 64"},
      {manyDisks, "test.json: 'hardware.disks' holds more than 64 entries"},
      {manyIds, "test.json: 'hardware.network.wired.hardIds' holds more than 64 entries"},
      {R"({"checks": {"disks": [{"smart": )" + Many("0", 25) + "}]}}", "test.json: 'checks.disks[0].smart' holds more than 24 bytes"},
      {longName, "test.json: 'hardware.cpu.name' is longer than 4096 bytes"},
      {R"({"checks": {"wifi": {"switch": {"delayMs": 600001}}}})",
       "test.json: 'checks.wifi.switch.delayMs' must be an integer from 0 to 600000"},
      {R"({"host": {"dpi": 4294967295}})", "test.json: 'host.dpi' must be an integer from 0 to 960"},
      // cut in the middle to one line
      {longKey, "test.json: 'host.features." + std::string(85, 'k') + "..." + std::string(72, 'k') +
                    "?' is longer than 4096 bytes"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.json).rfind(c.error, 0), 0u) << c.json << "\n" << ErrorOf(c.json);
}

TEST(Profile, CodesAreTakenModulo2To32AndDecidePassedUnlessItIsGiven) {
  const auto profile = Parse(R"({"checks": {
      "memory": {"random": -5, "board": 4294967295},
      "wifi": {"device": 0, "switch": 7, "signal": {"code": -3, "passed": true}},
      "battery": {"loss": {"code": 3}}, "disks": [-2]}})");

  EXPECT_EQ(profile->checks.at("memory.random").code, 4294967291u);
  EXPECT_EQ(profile->checks.at("memory.board").code, 4294967295u);
  EXPECT_EQ(profile->disks.at(0).code, 4294967294u);
  EXPECT_EQ(profile->checks.at("wifi.device"), CheckResult{});
  EXPECT_EQ(profile->checks.at("wifi.switch").code, 7u);
  EXPECT_FALSE(profile->checks.at("wifi.switch").passed);
  EXPECT_EQ(profile->checks.at("wifi.signal").code, 4294967293u);
  EXPECT_TRUE(profile->checks.at("wifi.signal").passed);
  EXPECT_FALSE(profile->checks.at("battery.loss").passed) << "without \"passed\" the code decides";
}

// Every key given, each value its own, so that a key read into or printed from the wrong member
// shows; what is printed reads back as the same profile.
constexpr std::string_view kEveryKey = R"({
  "host": {"userLanguage": "zh-CN", "dpi": 144, "rightToLeft": true, "features": {"a": false},
           "fingerprint": {"status": 3, "present": false}},
  "hardware": {
    "cpu": {"name": "c", "manufacturer": "m", "cores": 1, "threads": 2, "extClockMHz": 3, "l1KB": 4, "l2KB": 5, "l3KB": 6},
    "baseboard": {"product": "p", "manufacturer": "m2", "version": "v", "serialNumber": "s"},
    "memory": {"totalMB": 7, "modules": [{"capacityMB": 8, "speedMHz": 9, "locator": "l", "partNumber": "pn",
                                          "manufacturer": "m3"}]},
    "disks": [{"caption": "d", "firmware": "f", "capacityGB": 10, "ssd": true}],
    "diskCount": 11,
    "video": {"independent": {"name": "i", "driverVersion": "dv", "driverDate": "dd", "memoryMB": 12},
              "internal": {"name": "i2", "driverVersion": "dv2", "driverDate": "dd2", "memoryMB": 13},
              "monitor": {"caption": "mc", "resolution": "1*2", "refreshRate": 14}},
    "audio": {"name": "a", "devices": [{"name": "ad", "manufacturer": "am"}]},
    "network": {"internalHardIds": ["h"], "wireless": {"hardIds": ["w"], "caption": "wc", "manufacturer": "wm"},
                "wired": {"hardIds": [], "caption": "ec", "manufacturer": "em"},
                "mobile": {"hardIds": ["m"], "caption": "mc2", "manufacturer": "mm"}, "notSupportWireless": true},
    "battery": {"name": "b", "designCapacityMWh": 15},
    "keyboard": {"name": "k"},
    "bluetooth": {"name": "bt"},
    "biometric": {"name": "fp", "manufacturer": "fm"}},
  "checks": {"wifi": {"switch": {"code": 16, "messageKey": "K", "passed": true, "level": 17, "delayMs": 18,
                                 "throws": "t"}},
             "disks": [{"code": 19, "smart": [20], "delayMs": 21}]},
  "repairs": {"RepairHotkey": {"code": 22, "needRestart": true, "needShutdown": true, "succeeded": true,
                               "message": "M", "delayMs": 23, "fixes": ["wifi.switch"]}},
  "logService": {"offerUpload": 24, "items": [{"module": 25, "name": "n"}]}})";

TEST(Profile, WhatIsPrintedIsWhatWasReadAndReadsBackTheSame) {
  const nlohmann::json given = nlohmann::json::parse(kEveryKey);
  const nlohmann::json printed = nlohmann::json::parse(ProfileJson(*Parse(kEveryKey)).dump());
  for (const char* section : {"host", "hardware", "logService"}) EXPECT_EQ(printed[section], given[section]) << section;
  EXPECT_EQ(printed["checks"]["wifi"]["switch"], given["checks"]["wifi"]["switch"]);
  EXPECT_EQ(printed["checks"]["disks"], given["checks"]["disks"]);
  EXPECT_EQ(printed["repairs"]["RepairHotkey"], given["repairs"]["RepairHotkey"]);

  for (const std::string name : {"healthy-notebook", "faulty-notebook", "desktop", "empty"}) {
    const LoadResult sample = ReadProfileFile(testenv::ResourcePath("machines/" + name + ".json"));
    ASSERT_TRUE(sample) << sample.error;
    const auto again = Parse(ProfileJson(*sample.profile).dump());
    EXPECT_EQ(ProfileJson(*again), ProfileJson(*sample.profile)) << name;
  }
}

Machine& M() { return Machine::Instance(); }

constexpr std::string_view kRepairable = R"({
  "checks": {"wifi": {"switch": {"code": 2, "passed": false}}, "keyboard": {"hotKey": 4},
             "disks": [{"code": 1}, {"code": 3, "smart": [1, 1]}]},
  "hardware": {"disks": [{"firmware": "A"}, {"firmware": "B"}]},
  "repairs": {"RepairWifiProblem": {"fixes": ["wifi.switch", "disks[1]"]},
              "RepairHotkey": {"succeeded": false, "code": 9, "fixes": ["keyboard.hotKey"]}}})";
constexpr uint8_t kAttributes[] = {0x05, 0xC5};  // SMART attribute numbers a disk check asks about

TEST(Machine, FixesApplyOnlyWhenTheRepairSucceeds) {
  testenv::UseMachine(kRepairable);

  const RepairOutcome failed = M().RunRepair("CKeyBoardDetect::RepairHotkey", "RepairHotkey");
  EXPECT_FALSE(failed.succeeded);
  EXPECT_EQ(failed.code, 9u);
  EXPECT_EQ(M().RunCheck("CKeyBoardDetect::DetetctHotKey", "keyboard.hotKey").code, 4u);

  EXPECT_TRUE(M().RunRepair("WifiFaultDetect::RepairWifiProblem", "RepairWifiProblem", "2").succeeded);
  EXPECT_EQ(M().RunCheck("WifiFaultDetect::CheckWifiSwitch", "wifi.switch"), CheckResult{});
  EXPECT_EQ(M().RunDiskCheck("c", u"B", {}).code, 1u);
}

TEST(Machine, ARefusedProfileLeavesTheCurrentOneInPlace) {
  testenv::UseMachine(R"({"hardware": {"cpu": {"name": "Kept"}}})");

  const LoadResult refused = M().LoadJson(R"({"hardware": {"cpu": {"nmae": "Typo"}}})", "bad.json");

  EXPECT_EQ(refused.error, "bad.json: unknown key 'hardware.cpu.nmae'");
  EXPECT_EQ(M().Current()->hardware.cpu.name, u"Kept");
}

// No name is the running machine, a directory a recorded one, anything else a profile; a name
// that cannot be used leaves the machine as it was.
TEST(Machine, SelectionByName) {
  const std::string tree = testenv::RecordedMachinePath("desktop");
  const std::string profile = testenv::ResourcePath("machines/desktop.json");
  struct Case {
    std::string name, error, description;
    std::optional<std::string> runningRoot;  // the root a Linux machine is read through
  };
  const std::vector<Case> cases = {
      {"", "", "this Linux machine", "/"},
      {tree, "", "the Linux machine recorded under " + tree, tree},
      {profile, "", "profile " + profile, std::nullopt},
      {"/nonexistent/machine.json", "/nonexistent/machine.json: cannot open", "profile " + profile, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::string error = M().Select(c.name);
    EXPECT_EQ(error.substr(0, c.error.size()), c.error) << c.name;
    EXPECT_EQ(error.empty(), c.error.empty()) << c.name << ": " << error;
    EXPECT_EQ(M().Backend()->Description(), c.description) << c.name;
    const auto running = M().Running();
    EXPECT_EQ(running ? std::optional(running->root) : std::nullopt, c.runningRoot) << c.name;
    if (running) {
      EXPECT_GT(running->memoryTestBytes, 0u);
    }
  }
  EXPECT_EQ(M().Current()->hardware.cpu.name, u"AMD Ryzen 7 5700G with Radeon Graphics");

  M().Clear();
  EXPECT_EQ(M().Backend()->Description(), "the empty machine");
  EXPECT_TRUE(M().Current()->hardware.disks.empty());
}

TEST(Machine, JournalRecordsEveryCallWithItsArgumentsAndAnswerUnderConcurrentCallers) {
  testenv::UseMachine(kRepairable);
  constexpr int kThreads = 6;
  constexpr int kCalls = 150;

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kCalls; ++i) {
        const std::string args = std::to_string(t) + "," + std::to_string(i);
        switch (i % 3) {
          case 0: M().RunCheck("check", "keyboard.hotKey", args); break;
          case 1: M().RunRepair("repair", "RepairWifiProblem", args); break;
          case 2: M().RunDiskCheck("disk", u"B", kAttributes, args); break;
        }
      }
    });
  }
  // A reload racing the calls must neither crash nor lose entries.
  EXPECT_TRUE(M().LoadJson(kRepairable));
  for (auto& thread : threads) thread.join();

  const auto journal = M().Journal();
  ASSERT_EQ(journal.size(), static_cast<size_t>(kThreads * kCalls));
  std::vector<int> next(kThreads, 0);
  for (const JournalEntry& entry : journal) {
    const int t = std::stoi(entry.args.substr(0, entry.args.find(',')));
    const int i = std::stoi(entry.args.substr(entry.args.find(',') + 1));
    ASSERT_TRUE(t >= 0 && t < kThreads) << entry.args;
    EXPECT_EQ(i, next[t]++) << "thread " << t;
    // each entry keeps what the call answered, for the views of a finished run
    if (entry.call == "check") {
      EXPECT_EQ(entry.path, "keyboard.hotKey");
      EXPECT_EQ(std::get<CheckResult>(entry.answer).code, 4u);
    } else if (entry.call == "repair") {
      EXPECT_EQ(entry.path, "RepairWifiProblem");
      EXPECT_TRUE(std::get<RepairOutcome>(entry.answer).succeeded);
    } else {
      // firmware "B" is the second disk's; its verdict bytes stand beside the attributes asked
      EXPECT_EQ(entry.path, "disks[1]");
      const auto& disk = std::get<DiskAnswer>(entry.answer);
      EXPECT_EQ(disk.index, std::optional<size_t>(1));
      EXPECT_EQ(disk.attributes, std::vector<uint8_t>(std::begin(kAttributes), std::end(kAttributes)));
    }
  }
  M().Note("CDisk::GetCaption", "0");
  EXPECT_TRUE(std::holds_alternative<std::monostate>(M().Journal().back().answer)) << "a query answers nothing to keep";
}

TEST(Machine, ChecksAndRepairsTakeTheirDelays) {
  testenv::UseMachine(R"({"checks": {"audio": {"loopBack": {"delayMs": 80}}},
                          "repairs": {"RepairAudioProblem": {"delayMs": 80}}})");

  M().RunCheck("CAudioDetect::CheckLoopBack", "audio.loopBack");
  M().RunRepair("CAudioDetect::RepairAudioProblem", "RepairAudioProblem", "0");

  const auto journal = M().Journal();
  ASSERT_EQ(journal.size(), 2u);
  for (const JournalEntry& entry : journal) EXPECT_GE(entry.end - entry.begin, milliseconds(80)) << entry.call;
}

}  // namespace
}  // namespace host::machine
