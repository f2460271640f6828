#include "tools/telvane-cli/command_registry.h"

#include <algorithm>
#include <iostream>

#include "base/k_product.h"

std::vector<CliCommand>& CliCommands() {
  static std::vector<CliCommand> commands;
  return commands;
}

CliRegistration::CliRegistration(CliCommand command) {
  CliCommands().push_back(std::move(command));
}

int RunCli(int argc, const char* const* argv) {
  CLI::App app{std::string(KProduct::kName) + " command-line tool", "telvane-cli"};
  app.set_version_flag("--version", std::string(KProduct::kName) + " " + KProduct::kVersion + " (" +
                                        KProduct::kReleaseDate + ")");
  app.require_subcommand(0, 1);

  auto& commands = CliCommands();
  std::sort(commands.begin(), commands.end(),
            [](const CliCommand& a, const CliCommand& b) { return a.name < b.name; });
  std::vector<std::pair<CLI::App*, const CliCommand*>> added;
  for (const CliCommand& command : commands) added.emplace_back(command.add(app), &command);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  }
  for (const auto& [sub, command] : added) {
    if (sub && sub->parsed()) {
      try {
        return command->run();
      } catch (const std::exception& error) {
        std::cerr << "telvane-cli " << command->name << ": " << error.what() << "\n";
        return 1;
      }
    }
  }
  std::cout << app.help();
  return 0;
}
