#include <windows.h>

#include <io.h>

#include <iostream>

#include "cli/cli.h"
#include "platform/win/utf.h"

int wmain(int argc, wchar_t** argv) {
  // Our texts are UTF-8; tell the console so.
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(plexi::win::WideToUtf8(argv[i]));
  return plexi::cli::RunCli(args, std::cout, std::cerr, _isatty(_fileno(stdin)) != 0);
}
