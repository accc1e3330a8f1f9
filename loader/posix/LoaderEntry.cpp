// The Linux loader: the same flow behind the console toolkit. It reads no arguments.
#include "loader/LoaderStartup.h"

int main() {
  return RunLoaderProgram();
}
