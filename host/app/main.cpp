// sysdiagnose-host: the reference host program that runs the plug-in on this machine or on a
// described one.
#include <iostream>

#include "app/commands/command.h"

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

}  // namespace app

namespace {

void PrintUsage(std::ostream& out) {
  out << "usage: sysdiagnose-host COMMAND [ARGS...]\n"
         "       sysdiagnose-host --help | --version\n\ncommands:\n";
  for (const auto& command : app::Commands()) {
    out << "  " << command.name;
    for (size_t i = command.name.size(); i < 10; ++i) out << ' ';
    out << command.summary << '\n';
  }
  out << "\nsysdiagnose-host COMMAND --help shows the command's options; man sysdiagnose-host tells more.\n";
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
  if (name == "--version") {
    std::cout << "sysdiagnose-host " << SYSDIAGNOSE_VERSION << '\n';
    return app::kExitOk;
  }
  for (const auto& command : app::Commands()) {
    if (command.name == name) return command.run(std::vector<std::string>(argv + 2, argv + argc));
  }
  std::cerr << "sysdiagnose-host: unknown command '" << name << "'\n";
  PrintUsage(std::cerr);
  return app::kExitUsage;
}
