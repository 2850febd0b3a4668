#pragma once
// The reference host's sub-commands. Each command file registers itself with REGISTER_COMMAND.
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace app {

// Exit statuses of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;  // usage or profile errors

struct Command {
  std::string name;
  std::string summary;
  std::function<int(const std::vector<std::string>& args)> run;  // args after the command name
};

bool RegisterCommand(Command command);
const std::vector<Command>& Commands();

// Arguments of a command: --machine FILE and --data-dir DIR are always understood.
struct ParsedArgs {
  std::string machineFile;
  std::string dataDir;
  std::set<std::string> flags;                // given flags among the accepted ones ("--repair")
  std::map<std::string, std::string> values;  // given options that take a value ("--days" -> "3")
  std::vector<std::string> positional;
  bool help = false;
};

// Empty text when the arguments are fine, else the one line that says what is wrong.
std::string ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& flagNames,
                      const std::set<std::string>& valueNames, bool allowPositional, ParsedArgs& out);

// Selects the machine --machine (or $SYSDIAGNOSE_MACHINE) names, the running one when neither
// does, and applies --data-dir. Prints one clear line and returns false on a bad profile.
bool PrepareMachine(const std::string& machineFile, const std::string& dataDir);

}  // namespace app

#define SYSDIAG_CONCAT_INNER(a, b) a##b
#define SYSDIAG_CONCAT(a, b) SYSDIAG_CONCAT_INNER(a, b)
#define REGISTER_COMMAND(...) \
  static const bool SYSDIAG_CONCAT(registered_command_, __LINE__) = ::app::RegisterCommand(::app::Command{__VA_ARGS__})
