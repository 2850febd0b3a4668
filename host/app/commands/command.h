#pragma once
// The reference host's sub-commands. Each command file registers itself with REGISTER_COMMAND and
// begins with BeginCommand, which does what every command does alike.
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace app {

// Exit statuses of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;  // usage, profile or data-directory errors

struct Command {
  std::string name;
  std::string summary;
  std::function<int(const std::vector<std::string>& args)> run;  // args after the command name
};

bool RegisterCommand(Command command);
const std::vector<Command>& Commands();

// Arguments of a command: --machine FILE, --data-dir DIR and --verbose (-v) are always understood.
struct ParsedArgs {
  std::string machineFile;
  std::string dataDir;
  std::set<std::string> flags;                // given flags among the accepted ones ("--repair")
  std::map<std::string, std::string> values;  // given options that take a value ("--days" -> "3")
  std::vector<std::string> positional;
  bool help = false;
  bool verbose = false;

  bool Has(const std::string& flag) const { return flags.count(flag) > 0; }
};

// Empty text when the arguments are fine, else the one line that says what is wrong.
std::string ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& flagNames,
                      const std::set<std::string>& valueNames, bool allowPositional, ParsedArgs& out);

// What a command accepts and needs.
struct CommandShape {
  std::string name = {};             // "doctor"
  std::string usage = {};            // printed for --help
  std::set<std::string> flags = {};  // e.g. {"--repair", "--json"}
  std::set<std::string> values = {}; // options that take a value, e.g. {"--days"}
  bool positional = false;           // takes plain arguments
  bool usesData = true;              // false: neither --data-dir nor --machine, no data directory
  // The command's own checks of its arguments: empty text, or what is wrong with them.
  std::function<std::string(const ParsedArgs&)> checkArgs = {};
};

// What every command does before its own work, in this order: reads the arguments (a usage error
// is one line on stderr), answers --help, echoes warnings to stderr when --verbose, checks the
// data directory (one line naming it and the reason), loads the machine profile. Nothing is run
// that could not be stored. Returns the exit status when the command must end here.
std::optional<int> BeginCommand(const CommandShape& shape, const std::vector<std::string>& args, ParsedArgs& out);

// Applies --data-dir and selects the machine --machine (or $SYSDIAGNOSE_MACHINE) names, the running
// one when neither does; prints one line and returns false on a bad profile. BeginCommand does this after its checks.
bool PrepareMachine(const std::string& machineFile, const std::string& dataDir);

// The one line on stderr of an error that ends the command: "sysdiagnose-host NAME: TEXT".
void PrintError(const std::string& command, const std::string& text);
// From now on PrintError also hands TEXT to `sink` (a monitoring check's status line); empty: to no one.
void EchoErrorsTo(std::function<void(const std::string& text)> sink);

// The shape of every --json document, its first field "json_format_version": [major, minor]. The
// major number changes when a field is removed or renamed or changes its type or meaning, the
// minor number when fields are added; the JSON schemas in dist/schemas describe each document.
inline constexpr int kJsonFormatMajor = 1;
inline constexpr int kJsonFormatMinor = 1;

// The command's output as one JSON document on stdout: the object `document` with the format
// version as its first field; text that is not UTF-8 is replaced.
void PrintJson(const nlohmann::ordered_json& document);

std::string Utf8(const std::u16string& text);

// The terminal's own words, from the string tables of the user's language: the text of `key`, and
// the text of `key` formatted with `n`.
std::string Localized(std::u16string_view key);
std::string Localized(std::u16string_view key, int64_t n);

}  // namespace app

#define SYSDIAG_CONCAT_INNER(a, b) a##b
#define SYSDIAG_CONCAT(a, b) SYSDIAG_CONCAT_INNER(a, b)
#define REGISTER_COMMAND(...) \
  static const bool SYSDIAG_CONCAT(registered_command_, __LINE__) = ::app::RegisterCommand(::app::Command{__VA_ARGS__})
