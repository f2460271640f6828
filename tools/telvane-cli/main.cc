#include "tools/telvane-cli/command_registry.h"

int main(int argc, char** argv) {
  return RunCli(argc, argv);
}
