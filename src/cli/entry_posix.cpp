#include <unistd.h>

#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return plexi::cli::RunCli(args, std::cout, std::cerr, isatty(STDIN_FILENO) == 1);
}
