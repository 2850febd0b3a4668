#include "support/recorded_tree.h"

#include "machine/linux/kernel_modules.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "support/test_env.h"

namespace testenv {

namespace fs = std::filesystem;

namespace {
std::atomic<int> copies{0};
}  // namespace

CopiedMachine::CopiedMachine(std::string_view name)
    : name_(name),
      root_(fs::path(testing::TempDir()) /
            ("machine-" + std::to_string(::getpid()) + "-" + std::to_string(copies++) + "-" + std::string(name))) {
  fs::remove_all(root_);
  fs::copy(RecordedMachinePath(name), root_, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

CopiedMachine::~CopiedMachine() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

std::string CopiedMachine::Read(const std::string& path) const {
  std::ifstream in(root_.string() + path);
  std::string text;
  std::getline(in, text);
  return text;
}

void CopiedMachine::Write(const std::string& path, const std::string& text) const {
  fs::create_directories(fs::path(root_.string() + path).parent_path());
  std::ofstream(root_.string() + path) << text;
}

void CopiedMachine::Remove(const std::string& path) const { fs::remove_all(root_.string() + path); }

void CopiedMachine::Restore(const std::string& path) const {
  Remove(path);
  const fs::path recorded = RecordedMachinePath(name_) + path;
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(recorded, ec))) return;
  fs::copy(recorded, root_.string() + path, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

std::string PciModalias(uint32_t classCode, uint16_t vendor, uint16_t device) {
  char alias[64];
  std::snprintf(alias, sizeof alias, "pci:v%08Xd%08Xsv00000000sd00000000bc%02Xsc%02Xi%02X", vendor, device,
                classCode >> 16, (classCode >> 8) & 0xFF, classCode & 0xFF);
  return alias;
}

void CopiedMachine::AddPciDevice(const std::string& address, uint32_t classCode, uint16_t vendor, uint16_t device,
                                 const std::string& driver) const {
  const std::string dir = "/sys/devices/pci0000:00/" + address;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%06x\n", classCode);
  Write(dir + "/class", hex);
  std::snprintf(hex, sizeof hex, "0x%04x\n", vendor);
  Write(dir + "/vendor", hex);
  std::snprintf(hex, sizeof hex, "0x%04x\n", device);
  Write(dir + "/device", hex);
  Write(dir + "/modalias", PciModalias(classCode, vendor, device) + "\n");
  fs::create_directories(root_.string() + "/sys/bus/pci/devices");
  fs::create_directory_symlink("../../../devices/pci0000:00/" + address, root_.string() + "/sys/bus/pci/devices/" + address);
  if (!driver.empty()) fs::create_directory_symlink("../../../bus/pci/drivers/" + driver, root_.string() + dir + "/driver");
}

namespace {

bool Run(const std::string& command) {
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  EXPECT_EQ(status, 0) << command;
  return status == 0;
}

}  // namespace

std::string WriteModulesTree(const std::string& base, const std::string& version, const std::vector<StandInModule>& modules) {
  const std::string tree = base + "/lib/modules/" + version;
  fs::create_directories(tree + "/kernel");
  // depmod reads these beside the modules; empty ones are a kernel without built-in modules.
  for (const char* file : {"modules.order", "modules.builtin", "modules.builtin.modinfo"}) std::ofstream(tree + "/" + file);
  for (const StandInModule& module : modules) {
    const std::string info = tree + "/" + module.name + ".modinfo";
    {
      std::ofstream out(info, std::ios::binary);
      for (const std::string& alias : module.aliases) out << "alias=" << alias << '\0';
      out << "name=" << module.name << '\0' << "license=GPL" << '\0';
    }
    // The module information section is all depmod and libkmod read of a module.
    Run("objcopy -I binary -O elf64-little --rename-section .data=.modinfo " + ShellQuote(info) + " " +
        ShellQuote(tree + "/kernel/" + module.name + ".ko"));
    fs::remove(info);
  }
  Run("PATH=\"$PATH:/usr/sbin:/sbin\" depmod -b " + ShellQuote(base) + " " + ShellQuote(version));
  return tree;
}

int InChildWithoutModuleLoading(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    syscall(SYS_capget, &header, data);
    for (auto* set : {&data[0].effective, &data[0].permitted, &data[0].inheritable}) *set &= ~CAP_TO_MASK(CAP_SYS_MODULE);
    if (syscall(SYS_capset, &header, data) != 0) _exit(100);
    _exit(body());
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool MayLoadModulesHere() { return host::machine::linuxhost::MayLoadModules(); }

}  // namespace testenv
