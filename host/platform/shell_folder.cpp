#include "platform/shell_folder.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

extern char** environ;

namespace platform {
namespace {

std::mutex hookLock;
std::function<std::string(const std::string&)> openHook;

std::string SpawnFileManager(const std::string& folder) {
  std::string program = "xdg-open";
  std::string argument = folder;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ);
  if (error != 0) return "xdg-open could not be started: " + std::string(std::strerror(error));
  // xdg-open hands the folder on and ends; its exit is collected aside so that no zombie stays.
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  return {};
}

}  // namespace

std::string OpenContainingFolder(const std::string& file) {
  std::string folder = std::filesystem::path(file).parent_path().string();
  if (folder.empty()) folder = ".";
  std::function<std::string(const std::string&)> hook;
  {
    std::lock_guard lock(hookLock);
    hook = openHook;
  }
  return hook ? hook(folder) : SpawnFileManager(folder);
}

void SetOpenFolderForTesting(std::function<std::string(const std::string& folder)> open) {
  std::lock_guard lock(hookLock);
  openHook = std::move(open);
}

}  // namespace platform
