// telvane-cli open / execute: the clients of the running program's external
// commands. `open FILE.tln` asks it to open a layout; `execute TEXT` sends
// any command line.
#include <filesystem>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "ports/k_command_server.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

using nlohmann::json;

struct Options {
  std::string file;
  std::string text;
  std::string socket;
  int timeoutMs = 3000;
} options;

void AddCommon(CLI::App* sub) {
  sub->add_option("--socket", options.socket, "The program's socket (default: the runtime folder's)");
  sub->add_option("--timeout", options.timeoutMs, "Milliseconds to wait for the answer")
      ->check(CLI::Range(1, 600000));
}

int Send(const char* name, const std::string& command) {
  const std::string socket = options.socket.empty()
                                 ? KCommandServer::SocketPath(KCommandServer::DefaultFolder())
                                 : options.socket;
  if (command.size() > KCommandServer::kMaxCommandBytes) {
    std::cerr << "telvane-cli " << name << ": the command is longer than "
              << KCommandServer::kMaxCommandBytes << " bytes\n";
    return 2;
  }
  std::string answer;
  std::string error;
  if (!KCommandServer::Send(socket, command, options.timeoutMs, answer, error)) {
    std::cerr << "telvane-cli " << name << ": " << error << "\n";
    return 1;
  }
  std::cout << json{{"command", command}, {"answer", answer}}.dump(-1, ' ', false,
                                                                    json::error_handler_t::replace)
            << '\n';
  // BUSY: another command is still waiting to be carried out.
  return answer == "ACK" ? 0 : 3;
}

CLI::App* AddOpen(CLI::App& app) {
  options = Options{};
  auto* sub = app.add_subcommand("open", "Ask the running program to open a layout");
  sub->add_option("FILE", options.file, "Layout file (*.tln)")->required();
  AddCommon(sub);
  return sub;
}

int RunOpen() {
  std::error_code failed;
  const std::filesystem::path path = std::filesystem::absolute(options.file, failed);
  if (failed) {
    std::cerr << "telvane-cli open: " << options.file << ": " << failed.message() << "\n";
    return 2;
  }
  // Quoted, so that commas in the path stay part of it.
  return Send("open", "OpenLayout,\"" + path.string() + "\"");
}

CLI::App* AddExecute(CLI::App& app) {
  options = Options{};
  auto* sub = app.add_subcommand("execute", "Send one command line to the running program");
  sub->add_option("TEXT", options.text, "The command, e.g. OpenLayout,FILE")->required();
  AddCommon(sub);
  return sub;
}

int RunExecute() {
  if (options.text.find('\n') != std::string::npos) {
    std::cerr << "telvane-cli execute: one line only\n";
    return 2;
  }
  return Send("execute", options.text);
}

static CliRegistration openRegistration{{"open", AddOpen, RunOpen}};
static CliRegistration executeRegistration{{"execute", AddExecute, RunExecute}};

}  // namespace
