// What every command of the reference host does alike.
#include "app/commands/command.h"

#include <cstdlib>
#include <iostream>

#include "DuiLib/UICulture.h"
#include "machine/machine.h"
#include "platform/data_files.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "utility/Logger.h"

namespace app {
namespace {

constexpr const char* kProgram = "sysdiagnose-host";

std::function<void(const std::string&)>& ErrorSink() {
  static std::function<void(const std::string&)> sink;
  return sink;
}

// Selects the machine --machine names, else $SYSDIAGNOSE_MACHINE; none: the running machine.
bool LoadMachine(const std::string& command, const std::string& machineFile) {
  std::string name = machineFile;
  if (name.empty()) {
    if (const char* env = std::getenv("SYSDIAGNOSE_MACHINE")) name = env;
  }
  // Taken from here on: the machine would read it again on first use and report a bad one twice.
  unsetenv("SYSDIAGNOSE_MACHINE");
  const std::string error = host::machine::Machine::Instance().Select(name);
  if (!error.empty()) PrintError(command, error);
  return error.empty();
}

bool IsOption(const std::string& arg, const std::set<std::string>& flagNames, const std::set<std::string>& valueNames) {
  static const std::set<std::string> kCommon = {"-h", "--help", "-v", "--verbose", "--machine", "--data-dir"};
  return kCommon.count(arg) > 0 || flagNames.count(arg) > 0 || valueNames.count(arg) > 0;
}

}  // namespace

std::string ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& flagNames,
                      const std::set<std::string>& valueNames, bool allowPositional, ParsedArgs& out) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      out.help = true;
    } else if (arg == "-v" || arg == "--verbose") {
      out.verbose = true;
    } else if (flagNames.count(arg)) {
      out.flags.insert(arg);
    } else if (arg == "--machine" || arg == "--data-dir" || valueNames.count(arg)) {
      // An option is never a value: "--days --data-dir DIR" lacks the days, it does not name them.
      if (i + 1 >= args.size() || IsOption(args[i + 1], flagNames, valueNames)) return arg + " needs a value";
      const std::string& value = args[++i];
      if (arg == "--machine") {
        out.machineFile = value;
      } else if (arg == "--data-dir") {
        out.dataDir = value;
      } else {
        out.values[arg] = value;
      }
    } else if (allowPositional && (arg.empty() || arg[0] != '-')) {
      out.positional.push_back(arg);
    } else {
      return "unknown argument '" + arg + "'";
    }
  }
  return {};
}

std::optional<int> BeginCommand(const CommandShape& shape, const std::vector<std::string>& args, ParsedArgs& out) {
  std::string error = ParseArgs(args, shape.flags, shape.values, shape.positional, out);
  if (error.empty() && !shape.usesData && !out.machineFile.empty()) error = "unknown argument '--machine'";
  if (error.empty() && !shape.usesData && !out.dataDir.empty()) error = "unknown argument '--data-dir'";
  if (error.empty() && !out.help && shape.checkArgs) error = shape.checkArgs(out);
  if (!error.empty()) {
    PrintError(shape.name, error + " (see " + kProgram + " " + shape.name + " --help)");
    return kExitUsage;
  }
  if (out.help) {
    std::cout << shape.usage << '\n';
    return kExitOk;
  }
  hostlog::EchoToStderr(out.verbose);
  if (!shape.usesData) return std::nullopt;

  // Before anything logs: the log file lives in the data directory.
  if (!out.dataDir.empty()) setenv("SYSDIAGNOSE_DATA_DIR", out.dataDir.c_str(), 1);
  const std::string dataDir = platform::DataDirectory();
  if (const std::string problem = platform::DataDirectoryProblem(dataDir); !problem.empty()) {
    PrintError(shape.name, "data directory " + dataDir + ": " + problem);
    return kExitUsage;
  }
  if (!LoadMachine(shape.name, out.machineFile)) return kExitUsage;
  return std::nullopt;
}

bool PrepareMachine(const std::string& machineFile, const std::string& dataDir) {
  if (!dataDir.empty()) setenv("SYSDIAGNOSE_DATA_DIR", dataDir.c_str(), 1);
  return LoadMachine("", machineFile);
}

void PrintError(const std::string& command, const std::string& text) {
  std::cerr << kProgram << ' ' << command << ": " << text << '\n';
  if (ErrorSink()) ErrorSink()(text);
}

void EchoErrorsTo(std::function<void(const std::string& text)> sink) { ErrorSink() = std::move(sink); }

void PrintJson(const nlohmann::ordered_json& document) {
  nlohmann::ordered_json versioned = {{"json_format_version", {kJsonFormatMajor, kJsonFormatMinor}}};
  versioned.update(document);
  std::cout << versioned.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

std::string Localized(std::u16string_view key) { return Utf8(UICulture::GetInstance().GetString(key)); }

std::string Localized(std::u16string_view key, int64_t n) {
  return Utf8(UICulture::GetInstance().GetMultiVarStr(key, {n}));
}

}  // namespace app
