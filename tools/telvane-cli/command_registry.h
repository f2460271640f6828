#pragma once

#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

// A subcommand of telvane-cli: Add declares its options on the app and
// returns the subcommand; Run is called when the operator chose it and
// returns the exit status.
struct CliCommand {
  std::string name;
  std::function<CLI::App*(CLI::App& app)> add;
  std::function<int()> run;
};

std::vector<CliCommand>& CliCommands();

// Registers a command at start-up: static CliRegistration reg{{...}};
struct CliRegistration {
  explicit CliRegistration(CliCommand command);
};

// Builds the whole command line and runs it; the program's main, callable
// from tests with their own streams.
int RunCli(int argc, const char* const* argv);
