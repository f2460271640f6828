#include "app/t_z_application.h"

int main(int argc, char** argv) {
  TZApplication application(argc, argv);
  return application.Run();
}
