#include <iostream>

#include "cli/convertcli.h"
#include "cli/stops.h"

int main(int argc, char** argv) {
  torvane::HandleStops("torvane-convert");
  std::vector<std::string> args(argv + 1, argv + argc);
  return torvane::RunConvertCommand(args, std::cout, std::cerr);
}
