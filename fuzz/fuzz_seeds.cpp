// Writes the seed drawings of the fuzz corpus into the folder given: the bundled plan and small
// variants of it that reach the reader's other paths (whole-number scales, no name tables, an
// empty drawing, a text pool addressed by segment and offset near its limits).
#include <iostream>
#include <string>

#include "builder/filebuilder.h"
#include "builder/samples.h"

namespace {

using namespace torvane::test;

TJwcBuilder Small() {
  TJwcBuilder b;
  b.groupScales[0] = 1;
  b.groupScales[1] = 100;
  b.lines.push_back({10, 10, 200, 150, 1, 2, 0, 0, 0x40});
  b.lines.push_back({200, 150, 10, 10, 2, 3, 17, 0xC0, 0xC0});
  b.arcs.push_back({100, 100, 30, 10000, Angle(0), Angle(360), 0, 1, 2, 16});
  b.arcs.push_back({120, 80, 25, 5000, Angle(45), Angle(300), Angle(15), 3, 4, 1});
  b.points.push_back({50, 50, 16, 7});
  b.virtualPoints.push_back({60, 60, 16});
  b.AddText({20, 20, 80, 40, 0, 0, 2, 16}, "\x95\xbd\x96\xca");  // 平面
  b.AddText({20, 60, 20, 120, 0, 0, 11, 0}, "A-1");
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz_seeds FOLDER\n";
    return 2;
  }
  std::string folder = argv[1];
  WriteFile(folder + "/plan.jwc", SamplePlanJwc());
  WriteFile(folder + "/small.jwc", Small().Build());

  TJwcBuilder wholeScales = Small();
  wholeScales.realScales = false;
  WriteFile(folder + "/whole-scales.jwc", wholeScales.Build());

  TJwcBuilder older = Small();
  older.withNames = false;
  WriteFile(folder + "/older.jwc", older.Build());

  WriteFile(folder + "/empty.jwc", TJwcBuilder().Build());

  TJwcBuilder farPool = Small();
  farPool.poolStart = 0xFFF00;
  farPool.paperSize = 7;
  farPool.paperSpan = 0;
  WriteFile(folder + "/far-pool.jwc", farPool.Build());
  return 0;
}
