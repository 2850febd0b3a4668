// Reading machine profiles: defaults, refusals with key paths and positions, code arithmetic.
#include <gtest/gtest.h>

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

TEST(Profile, RefusalsNameTheOffendingKeyPath) {
  const struct {
    const char* json;
    const char* error;
  } cases[] = {
      {R"({"hardware": {"cpu": {"nmae": "x"}}})", "test.json: unknown key 'hardware.cpu.nmae'"},
      {R"({"hardware": {"memory": {"modules": [{}, {"sped": 1}]}}})",
       "test.json: unknown key 'hardware.memory.modules[1].sped'"},
      {R"({"checks": {"wifi": {"swtch": 0}}})", "test.json: unknown key 'checks.wifi.swtch'"},
      {R"({"hardware": {"cpu": {"cores": "4"}}})", "test.json: 'hardware.cpu.cores' must be "},
      {R"({"checks": {"memory": {"random": 4294967296}}})", "test.json: 'checks.memory.random' must be "},
      {R"({"repairs": {"RepairWifiProblem": {"fixes": ["wifi.switch", "wifi.swtch"]}}})",
       "test.json: 'repairs.RepairWifiProblem.fixes[1]' names no check: 'wifi.swtch'"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.json).rfind(c.error, 0), 0u) << c.json << "\n" << ErrorOf(c.json);
}

TEST(Profile, MalformedJsonNamesTheFileLineAndColumn) {
  const std::string error = ErrorOf("{\n  \"host\": {\n    \"dpi\": 96,,\n  }\n}");

  EXPECT_EQ(error.rfind("test.json:3:15: malformed JSON: ", 0), 0u) << error;
  EXPECT_EQ(ErrorOf("{\"host\": {").rfind("test.json:1:11: malformed JSON", 0), 0u);
}

TEST(Profile, CodesAreTakenModulo2To32AndAPlainNumberIsShortForCodeAndPassed) {
  const auto profile = Parse(R"({"checks": {
      "memory": {"random": -5, "board": 4294967295},
      "wifi": {"device": 0, "switch": 7, "signal": {"code": -3, "passed": true}},
      "disks": [-2]}})");

  EXPECT_EQ(profile->checks.at("memory.random").code, 4294967291u);
  EXPECT_EQ(profile->checks.at("memory.board").code, 4294967295u);
  EXPECT_EQ(profile->disks.at(0).code, 4294967294u);
  EXPECT_EQ(profile->checks.at("wifi.device"), CheckResult{});
  EXPECT_EQ(profile->checks.at("wifi.switch").code, 7u);
  EXPECT_FALSE(profile->checks.at("wifi.switch").passed);
  EXPECT_EQ(profile->checks.at("wifi.signal").code, 4294967293u);
  EXPECT_TRUE(profile->checks.at("wifi.signal").passed);
}

TEST(SampleMachines, AllThreeLoad) {
  for (const char* name : {"healthy-notebook.json", "faulty-notebook.json", "desktop.json"}) {
    const LoadResult result = ReadProfileFile(testenv::ResourcePath(std::string("machines/") + name));
    ASSERT_TRUE(result) << result.error;
    EXPECT_FALSE(result.profile->hardware.cpu.name.empty()) << name;
  }
}

}  // namespace
}  // namespace host::machine
