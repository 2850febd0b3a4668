// sysdiagnose-host: the reference host program that runs the plug-in on this machine or on a
// described one.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/command.h"
#include "machine/machine.h"

namespace app {

std::vector<Command>& CommandTable() {
  static std::vector<Command> commands;
  return commands;
}

bool RegisterCommand(Command command) {
  CommandTable().push_back(std::move(command));
  return true;
}

const std::vector<Command>& Commands() { return CommandTable(); }

std::string ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& flagNames,
                      const std::set<std::string>& valueNames, bool allowPositional, ParsedArgs& out) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      out.help = true;
    } else if (flagNames.count(arg)) {
      out.flags.insert(arg);
    } else if (arg == "--machine" || arg == "--data-dir" || valueNames.count(arg)) {
      if (i + 1 >= args.size()) return arg + " needs a value";
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

bool PrepareMachine(const std::string& machineFile, const std::string& dataDir) {
  if (!dataDir.empty()) setenv("SYSDIAGNOSE_DATA_DIR", dataDir.c_str(), 1);
  std::string name = machineFile;
  if (name.empty()) {
    if (const char* env = std::getenv("SYSDIAGNOSE_MACHINE")) name = env;
  }
  const std::string error = host::machine::Machine::Instance().Select(name);
  if (!error.empty()) {
    std::cerr << "sysdiagnose-host: " << error << '\n';
    return false;
  }
  return true;
}

}  // namespace app

namespace {

void PrintUsage(std::ostream& out) {
  out << "usage: sysdiagnose-host COMMAND [ARGS...]\n\ncommands:\n";
  for (const auto& command : app::Commands()) {
    out << "  " << command.name;
    for (size_t i = command.name.size(); i < 10; ++i) out << ' ';
    out << command.summary << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(std::cerr);
    return app::kExitUsage;
  }
  const std::string name = argv[1];
  if (name == "-h" || name == "--help" || name == "help") {
    PrintUsage(std::cout);
    return app::kExitOk;
  }
  for (const auto& command : app::Commands()) {
    if (command.name == name) return command.run(std::vector<std::string>(argv + 2, argv + argc));
  }
  std::cerr << "sysdiagnose-host: unknown command '" << name << "'\n";
  PrintUsage(std::cerr);
  return app::kExitUsage;
}
