// Reading machine profiles: defaults, refusals with key paths and positions, code arithmetic.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <set>

#include "machine/machine.h"
#include "support/test_env.h"

namespace host::machine {
namespace {

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

const CheckResult* CheckAt(const Profile& profile, const std::string& path) {
  const auto it = profile.checks.find(path);
  return it == profile.checks.end() ? nullptr : &it->second;
}

TEST(ProfileDefaults, EmptyObjectIsAMachineWithoutDevices) {
  const auto profile = Parse("{}");

  EXPECT_TRUE(profile->hardware.cpu.name.empty());
  EXPECT_EQ(profile->hardware.cpu.cores, 0u);
  EXPECT_TRUE(profile->hardware.memory.modules.empty());
  EXPECT_TRUE(profile->hardware.disks.empty());
  EXPECT_FALSE(profile->hardware.diskCount.has_value());
  EXPECT_FALSE(profile->hardware.hasBluetooth);
  EXPECT_FALSE(profile->hardware.hasBiometric);
  EXPECT_TRUE(profile->checks.empty());
  EXPECT_TRUE(profile->repairs.empty());
  EXPECT_EQ(profile->host.userLanguage, "en-US");
  EXPECT_EQ(profile->host.dpi, 96u);
}

TEST(ProfileDefaults, ProcessorSupportFlagsSayYesUnlessTurnedOff) {
  const auto profile = Parse(R"({"checks": {"cpu": {"support": {"sse41": false}}}})");

  EXPECT_TRUE(profile->flags.at("cpu.support.sse"));
  EXPECT_TRUE(profile->flags.at("cpu.support.sse2"));
  EXPECT_TRUE(profile->flags.at("cpu.support.ssse3"));
  EXPECT_FALSE(profile->flags.at("cpu.support.sse41"));
  EXPECT_TRUE(profile->flags.at("cpu.support.sse42"));
}

TEST(ProfileDefaults, BluetoothIsSupportedWhenTheMachineHasIt) {
  EXPECT_FALSE(Parse("{}")->flags.at("bluetooth.supported"));
  EXPECT_TRUE(Parse(R"({"hardware": {"bluetooth": {}}})")->flags.at("bluetooth.supported"));
  EXPECT_FALSE(Parse(R"({"hardware": {"bluetooth": {"name": "BT"}},
                        "checks": {"bluetooth": {"supported": false}}})")->flags.at("bluetooth.supported"));
}

// Facts no hardware getter shows: the host, the disk count override and the log service.
TEST(ProfileDefaults, HostFactsAndTheLogServiceAreReadAsGiven) {
  const auto profile = Parse(R"({"hardware": {"diskCount": -1, "biometric": {}},
    "host": {"features": {"AppLogUpload": false}, "fingerprint": {"status": -3}},
    "logService": {"offerUpload": 1, "items": [{"module": 4, "name": "/var/log/app.log"}]}})");

  EXPECT_EQ(profile->hardware.diskCount, -1);
  EXPECT_TRUE(profile->hardware.hasBiometric) << "an empty object is a present device";
  EXPECT_FALSE(profile->host.fingerprintPresent.has_value());
  EXPECT_FALSE(profile->host.features.at("AppLogUpload"));
  EXPECT_EQ(profile->host.fingerprintStatus, -3);
  EXPECT_EQ(profile->logService.offerUpload, 1u);
  ASSERT_EQ(profile->logService.items.size(), 1u);
  EXPECT_EQ(profile->logService.items[0].module, 4);
  EXPECT_EQ(profile->logService.items[0].name, "/var/log/app.log");
}

TEST(ProfileRefusal, UnknownKeysAreNamedByTheirFullPath) {
  const struct {
    const char* json;
    const char* path;
  } cases[] = {
      {R"({"hardwre": {}})", "hardwre"},
      {R"({"hardware": {"cpu": {"nmae": "x"}}})", "hardware.cpu.nmae"},
      {R"({"hardware": {"memory": {"modules": [{}, {"sped": 1}]}}})", "hardware.memory.modules[1].sped"},
      {R"({"hardware": {"video": {"monitor": {"hz": 60}}}})", "hardware.video.monitor.hz"},
      {R"({"hardware": {"keyboard": {"manufacturer": "x"}}})", "hardware.keyboard.manufacturer"},
      {R"({"checks": {"wifi": {"swtch": 0}}})", "checks.wifi.swtch"},
      {R"({"checks": {"cpu": {"support": {"sse3": true}}}})", "checks.cpu.support.sse3"},
      {R"({"checks": {"wifi": {"switch": {"code": 1, "mesageKey": "IDS_X"}}}})", "checks.wifi.switch.mesageKey"},
      {R"({"checks": {"disks": [{"code": 1, "smrt": []}]}})", "checks.disks[0].smrt"},
      {R"({"repairs": {"RepairBluetooth": {}}})", "repairs.RepairBluetooth"},
      {R"({"repairs": {"RepairHotkey": {"fix": []}}})", "repairs.RepairHotkey.fix"},
      {R"({"host": {"fingerprint": {"state": 0}}})", "host.fingerprint.state"},
      {R"({"logService": {"items": [{"modul": 4}]}})", "logService.items[0].modul"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorOf(c.json), "test.json: unknown key '" + std::string(c.path) + "'") << c.json;
  }
}

TEST(ProfileRefusal, WrongValueTypesAreNamedByTheirPath) {
  const struct {
    const char* json;
    const char* path;
  } cases[] = {
      {R"({"hardware": {"cpu": {"cores": "4"}}})", "hardware.cpu.cores"},
      {R"({"hardware": {"cpu": {"cores": 1.5}}})", "hardware.cpu.cores"},
      {R"({"hardware": {"cpu": {"name": 7}}})", "hardware.cpu.name"},
      {R"({"hardware": {"cpu": []}})", "hardware.cpu"},
      {R"({"hardware": {"disks": {}}})", "hardware.disks"},
      {R"({"hardware": {"disks": [{"ssd": 1}]}})", "hardware.disks[0].ssd"},
      {R"({"hardware": {"network": {"internalHardIds": ["a", 2]}}})", "hardware.network.internalHardIds[1]"},
      {R"({"host": {"dpi": -1}})", "host.dpi"},
      {R"({"host": {"features": {"AppLogUpload": "yes"}}})", "host.features.AppLogUpload"},
      {R"({"checks": {"wifi": {"switch": "off"}}})", "checks.wifi.switch"},
      {R"({"checks": {"wifi": {"switch": {"passed": 0}}}})", "checks.wifi.switch.passed"},
      {R"({"checks": {"memory": 0}})", "checks.memory"},
      {R"({"checks": {"disks": [{"smart": [0, 256]}]}})", "checks.disks[0].smart[1]"},
      {R"({"checks": {"video": {"deviceReturn": 4294967295}}})", "checks.video.deviceReturn"},
      {R"({"repairs": {"RepairHotkey": {"fixes": "keyboard.hotKey"}}})", "repairs.RepairHotkey.fixes"},
      {R"({"logService": {"offerUpload": 256}})", "logService.offerUpload"},
  };
  for (const auto& c : cases) {
    const std::string error = ErrorOf(c.json);
    EXPECT_EQ(error.rfind("test.json: '" + std::string(c.path) + "' must be ", 0), 0u) << c.json << "\n" << error;
  }
}

TEST(ProfileRefusal, MoreThanTwentyFourSmartBytesAreRefused) {
  std::string smart = "[0";
  for (int i = 1; i < 25; ++i) smart += ",0";
  smart += "]";
  EXPECT_NE(ErrorOf(R"({"checks": {"disks": [{"smart": )" + smart + "}]}}").find("'checks.disks[0].smart'"),
            std::string::npos);
}

TEST(ProfileRefusal, MalformedJsonNamesTheFileLineAndColumn) {
  const std::string error = ErrorOf("{\n  \"host\": {\n    \"dpi\": 96,,\n  }\n}");

  EXPECT_EQ(error.rfind("test.json:3:15: malformed JSON: ", 0), 0u) << error;
  EXPECT_EQ(error.find("[json.exception"), std::string::npos) << error;
  EXPECT_EQ(ErrorOf("").rfind("test.json:1:1: malformed JSON", 0), 0u);
  EXPECT_EQ(ErrorOf("{\"host\": {").rfind("test.json:1:11: malformed JSON", 0), 0u);
  const std::string broken = ErrorOf("{\"a\": \"\xc3\x28\"}");
  EXPECT_TRUE(std::all_of(broken.begin(), broken.end(), [](char c) { return c >= 0x20; })) << "printable: " << broken;
}


TEST(ProfileRefusal, ADocumentThatIsNotAnObjectIsRefused) {
  EXPECT_EQ(ErrorOf("[1, 2]"), "test.json: a machine profile must be a JSON object");
}

TEST(ProfileCodes, NegativeCodesAreTakenModulo2To32) {
  const auto profile = Parse(R"({"checks": {
      "memory": {"random": -5, "board": -1},
      "wifi": {"switch": {"code": -3, "level": -1}},
      "disks": [-2]}})");

  EXPECT_EQ(CheckAt(*profile, "memory.random")->code, 4294967291u);
  EXPECT_EQ(CheckAt(*profile, "memory.board")->code, 4294967295u);
  EXPECT_EQ(CheckAt(*profile, "wifi.switch")->code, 4294967293u);
  EXPECT_EQ(CheckAt(*profile, "wifi.switch")->level, 4294967295u);
  EXPECT_EQ(profile->disks.at(0).code, 4294967294u);
}

TEST(ProfileCodes, CodesBeyondThirtyTwoBitsAreRefused) {
  EXPECT_NE(ErrorOf(R"({"checks": {"memory": {"random": 4294967296}}})").find("'checks.memory.random'"), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"checks": {"memory": {"random": -2147483649}}})").find("'checks.memory.random'"), std::string::npos);
  EXPECT_EQ(Parse(R"({"checks": {"memory": {"random": 4294967295}}})")->checks.at("memory.random").code, 4294967295u);
}

TEST(ProfileCodes, APlainNumberIsShortForCodeAndPassed) {
  const auto profile = Parse(R"({"checks": {"wifi": {"device": 0, "switch": 7}, "battery": {"loss": 1}}})");

  EXPECT_EQ(*CheckAt(*profile, "wifi.device"), CheckResult{});
  const CheckResult* failing = CheckAt(*profile, "wifi.switch");
  EXPECT_EQ(failing->code, 7u);
  EXPECT_FALSE(failing->passed);
  EXPECT_TRUE(failing->messageKey.empty());
  EXPECT_EQ(failing->level, 0u);
  EXPECT_FALSE(CheckAt(*profile, "battery.loss")->passed);
}

TEST(ProfileCodes, AResultObjectPassesByItsCodeUnlessToldOtherwise) {
  const auto profile = Parse(R"({"checks": {
      "audio": {"device": {"code": 3}, "loopBack": {"code": 3, "passed": true, "delayMs": 40}},
      "keyboard": {"filterKey": {"passed": false, "level": 1, "messageKey": "IDS_HARDWARE_DIAGNOSE_FILTER_OPEN"}},
      "memory": {"stuckAddr": {"code": 2, "delayMs": 10}}}})");

  EXPECT_FALSE(CheckAt(*profile, "audio.device")->passed);
  EXPECT_TRUE(CheckAt(*profile, "audio.loopBack")->passed);
  EXPECT_EQ(CheckAt(*profile, "audio.loopBack")->delayMs, 40u);
  const CheckResult* filter = CheckAt(*profile, "keyboard.filterKey");
  EXPECT_EQ(filter->code, 0u);
  EXPECT_FALSE(filter->passed);
  EXPECT_EQ(filter->level, 1u);
  EXPECT_EQ(filter->messageKey, u"IDS_HARDWARE_DIAGNOSE_FILTER_OPEN");
  EXPECT_EQ(CheckAt(*profile, "memory.stuckAddr")->code, 2u);
}

TEST(ProfileCodes, DiskEntriesTakeACodeOrAWholeRecord) {
  const auto profile = Parse(R"({"checks": {"video": {"deviceReturn": -2},
      "disks": [3, {"smart": [0, 5]}, {"code": 1, "delayMs": 20}]}})");

  ASSERT_EQ(profile->disks.size(), 3u);
  EXPECT_EQ(profile->disks[0].code, 3u);
  EXPECT_TRUE(profile->disks[0].smart.empty());
  EXPECT_EQ(profile->disks[1].code, 1u);
  EXPECT_EQ(profile->disks[1].smart, (std::vector<uint8_t>{0, 5}));
  EXPECT_EQ(profile->disks[2].delayMs, 20u);
  EXPECT_EQ(profile->videoDeviceReturn, -2);
}

TEST(ProfileRepairs, ARepairSucceedsByItsCodeUnlessToldOtherwise) {
  const auto profile = Parse(R"({"repairs": {
      "RepairHotkey": {"code": 5},
      "RepairBTProblems": {"code": 12, "succeeded": true, "needRestart": true, "message": "IDS_X"},
      "CloseFilterKey": {"needShutdown": true}}})");

  EXPECT_FALSE(profile->repairs.at("RepairHotkey").succeeded);
  const RepairOutcome& bt = profile->repairs.at("RepairBTProblems");
  EXPECT_TRUE(bt.succeeded);
  EXPECT_TRUE(bt.needRestart);
  EXPECT_EQ(bt.message, u"IDS_X");
  EXPECT_TRUE(profile->repairs.at("CloseFilterKey").succeeded);
  EXPECT_TRUE(profile->repairs.at("CloseFilterKey").needShutdown);
}

TEST(ProfileRepairs, FixesMustNameChecks) {
  const auto profile = Parse(R"({"repairs": {"RepairWifiProblem": {"fixes": ["wifi.switch", "disks[1]", "video.deviceReturn"]}}})");
  EXPECT_EQ(profile->repairs.at("RepairWifiProblem").fixes,
            (std::vector<std::string>{"wifi.switch", "disks[1]", "video.deviceReturn"}));

  EXPECT_EQ(ErrorOf(R"({"repairs": {"RepairWifiProblem": {"fixes": ["wifi.switch", "wifi.swtch"]}}})"),
            "test.json: 'repairs.RepairWifiProblem.fixes[1]' names no check: 'wifi.swtch'");
  for (const char* notACheck : {"cpu.support.sse", "bluetooth.supported", "disks", "disks[]", "disks[x]", "wifi"}) {
    const std::string json = R"({"repairs": {"RepairHotkey": {"fixes": [")" + std::string(notACheck) + R"("]}}})";
    EXPECT_NE(ErrorOf(json).find("names no check"), std::string::npos) << notACheck;
  }
}

// ---- the sample machines -------------------------------------------------------------------

std::shared_ptr<const Profile> Sample(const char* name) {
  const LoadResult result = ReadProfileFile(testenv::ResourcePath(std::string("machines/") + name));
  EXPECT_TRUE(result) << result.error;
  return result.profile;
}

TEST(SampleMachines, AllThreeLoad) {
  for (const char* name : {"healthy-notebook.json", "faulty-notebook.json", "desktop.json"}) {
    const auto profile = Sample(name);
    ASSERT_TRUE(profile) << name;
    EXPECT_GE(profile->hardware.memory.modules.size(), 2u) << name;
    EXPECT_EQ(profile->hardware.disks.size(), 2u) << name;
    EXPECT_FALSE(profile->hardware.cpu.name.empty()) << name;
  }
}

TEST(SampleMachines, TheHealthyNotebookFailsNoCheck) {
  const auto profile = Sample("healthy-notebook.json");
  ASSERT_TRUE(profile);
  for (const auto& [path, check] : profile->checks) EXPECT_TRUE(check.passed && check.code == 0) << path;
  for (const DiskCheck& disk : profile->disks) EXPECT_EQ(disk.code, 1u);
  EXPECT_TRUE(profile->hardware.hasBluetooth);
  EXPECT_TRUE(profile->hardware.hasBiometric);
}

TEST(SampleMachines, TheFaultyNotebookHasItsAdvertisedFaults) {
  const auto profile = Sample("faulty-notebook.json");
  ASSERT_TRUE(profile);

  EXPECT_NE(CheckAt(*profile, "battery.loss")->code, 0u);
  EXPECT_FALSE(CheckAt(*profile, "wifi.switch")->passed);
  const RepairOutcome& wifi = profile->repairs.at("RepairWifiProblem");
  EXPECT_TRUE(wifi.succeeded);
  EXPECT_EQ(wifi.fixes, std::vector<std::string>{"wifi.switch"});

  ASSERT_EQ(profile->disks.size(), 2u);
  const auto failingBytes = [](const DiskCheck& d) { return std::count_if(d.smart.begin(), d.smart.end(), [](uint8_t b) { return b != 0; }); };
  EXPECT_EQ(failingBytes(profile->disks[0]), 0);
  EXPECT_GT(failingBytes(profile->disks[1]), 0);

  const bool memoryFails = std::any_of(profile->checks.begin(), profile->checks.end(), [](const auto& entry) {
    return entry.first.starts_with("memory.") && entry.second.code != 0;
  });
  EXPECT_TRUE(memoryFails);

  const CheckResult* filter = CheckAt(*profile, "keyboard.filterKey");
  EXPECT_FALSE(filter->passed);
  EXPECT_EQ(filter->level, 1u);
  EXPECT_EQ(profile->repairs.at("CloseFilterKey").fixes, std::vector<std::string>{"keyboard.filterKey"});

  EXPECT_FALSE(profile->repairs.at("RepairBTProblems").succeeded);
  EXPECT_TRUE(profile->flags.at("bluetooth.supported"));
}

TEST(SampleMachines, TheDesktopHasNoBatteryBluetoothOrFingerprintSensor) {
  const auto profile = Sample("desktop.json");
  ASSERT_TRUE(profile);
  EXPECT_TRUE(profile->hardware.battery.name.empty());
  EXPECT_EQ(profile->hardware.battery.designCapacityMWh, 0u);
  EXPECT_FALSE(profile->hardware.hasBluetooth);
  EXPECT_FALSE(profile->flags.at("bluetooth.supported"));
  EXPECT_FALSE(profile->hardware.hasBiometric);
  EXPECT_FALSE(profile->host.fingerprintPresent.value_or(profile->hardware.hasBiometric));
  EXPECT_NE(CheckAt(*profile, "battery.device")->code, 0u);
}

// Message keys of the samples must be texts the string tables hold, or the pages show raw keys.
TEST(SampleMachines, MessageKeysAreKnownToTheStringTable) {
  std::ifstream file(testenv::ResourcePath("lang/en-US.json"));
  ASSERT_TRUE(file);
  const auto table = nlohmann::json::parse(file);
  for (const char* name : {"healthy-notebook.json", "faulty-notebook.json", "desktop.json"}) {
    const auto profile = Sample(name);
    ASSERT_TRUE(profile);
    std::set<std::u16string> keys;
    for (const auto& [path, check] : profile->checks) keys.insert(check.messageKey);
    for (const auto& [repairName, repair] : profile->repairs) keys.insert(repair.message);
    keys.erase(u"");
    for (const std::u16string& key : keys) {
      const std::string utf8(key.begin(), key.end());  // IDS keys are ASCII
      EXPECT_TRUE(table.contains(utf8)) << name << ": " << utf8;
    }
  }
}

}  // namespace
}  // namespace host::machine
