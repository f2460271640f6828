#include <iostream>

#include "app/t_command_line.h"
#include "app/t_z_application.h"
#include "base/k_product.h"

int main(int argc, char** argv) {
  // Answered before the toolkit starts, so they work without a display.
  KString error;
  switch (TCommandLine(argc, argv).Check(error)) {
    case TCommandLine::kHelp:
      std::cout << TCommandLine::Usage();
      return 0;
    case TCommandLine::kVersion:
      std::cout << KProduct::kName << " " << KProduct::kVersion << " (" << KProduct::kReleaseDate
                << ")\n";
      return 0;
    case TCommandLine::kBadArgument:
      std::cerr << "telvane: " << error.ToUtf8() << "\n" << TCommandLine::Usage();
      return 2;
    case TCommandLine::kRun:
      break;
  }
  TZApplication application(argc, argv);
  return application.Run();
}
