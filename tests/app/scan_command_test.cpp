// `sysdiagnose-host scan` on the running machine and on a recorded one, as the built program.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "host/scoped_env.h"
#include "support/host_program.h"
#include "support/test_env.h"

namespace {

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

TEST(ScanCommand, WithoutAProfileShowsTheProcessorAndDisksOfThisMachine) {
  testenv::ScopedDataDir dataDir;
  testenv::ScopedEnv noProfile("SYSDIAGNOSE_MACHINE", std::nullopt);

  const testenv::HostRun run = testenv::RunHostProgram({"scan"});

  ASSERT_EQ(run.status, 0) << run.err;
  if (const std::string model = testenv::RunningProcessorModel(); !model.empty()) {
    EXPECT_NE(run.out.find("Processor: " + model), std::string::npos) << run.out;
  }
  for (const auto& [name, bytes] : LsblkDisks()) {
    const uint64_t gb = bytes / 1000000000;
    const std::string capacity = gb < 1000 ? std::to_string(gb) + " GB" : std::to_string(gb / 100 / 10) + ".";
    EXPECT_NE(run.out.find("Capacity: " + capacity), std::string::npos) << name << "\n" << run.out;
  }
  EXPECT_EQ(run.err.find("errno"), std::string::npos) << run.err;
}

TEST(ScanCommand, ARecordedMachineNamedAsTheMachineIsScanned) {
  testenv::ScopedDataDir dataDir;

  const testenv::HostRun run =
      testenv::RunHostProgram({"scan", "--machine", testenv::RecordedMachinePath("desktop")});

  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* row : {"Processor: AMD Ryzen 5 5600G with Radeon Graphics", "Model: ST2000DM008-2FR1",
                          "Capacity: 2.0 TB", "Model: Samsung SSD 870", "Model: DELL U2720Q", "Resolution: 3840*2160"}) {
    EXPECT_NE(run.out.find(row), std::string::npos) << row << "\n" << run.out;
  }
}

}  // namespace
