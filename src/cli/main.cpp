#include <iostream>

#include "cli/convertcli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return torvane::RunConvertCommand(args, std::cout, std::cerr);
}
