// Writes the bundled samples into the folder given (samples/ of the source tree).
#include <iostream>

#include "builder/filebuilder.h"
#include "builder/sample_jwf.h"
#include "builder/sample_part.h"
#include "builder/samples.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: torvane-make-samples FOLDER\n";
    return 2;
  }
  std::string folder = argv[1];
  torvane::test::WriteFile(folder + "/plan.jwc", torvane::test::SamplePlanJwc());
  torvane::test::WriteFile(folder + "/part.jwk", torvane::test::SamplePartJwk());
  torvane::test::WriteFile(folder + "/jwcad.jwf", torvane::test::SampleJwf());
  return 0;
}
