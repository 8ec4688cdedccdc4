#include "builder/samples.h"

#include "builder/filebuilder.h"

namespace torvane::test {

std::string SamplePlanJwc() {
  TJwcBuilder b;
  b.memo1 = "\x8e\xa9\x91\xee\x95\xbd\x96\xca\x90\x7d";  // 自宅平面図
  b.memo2 = "1/50 A3";
  b.paperSize = 3;
  b.groupScales[0] = 1.0f;
  b.groupScales[1] = 50.0f;
  b.groupNames[0] = "\x90\x7d\x96\xca\x98\x67";  // 図面枠
  b.groupNames[1] = "\x95\xbd\x96\xca";          // 平面
  b.layerNames[0] = "\x98\x67";                  // 枠
  b.layerNames[16] = "\x95\xc7";                 // 壁
  b.layerNames[17] = "\x8c\x9a\x8b\xef";         // 建具
  b.layerNames[18] = "\x95\xb6\x8e\x9a";         // 文字
  // Every group and layer shown, as in a drawing someone works on; the ones written into are marked
  // so by the write layers below.
  for (uint8_t& state : b.groupState2) state = 2;
  for (uint8_t& state : b.layerState2) state = 2;
  b.groupWriteLayer[1] = 16;
  b.writeLayer = 16;
  b.curMojiShu = 3;
  b.viewX = 259;
  b.viewY = 183;

  // The paper frame at 1/1.
  const float w = 518, h = 366;
  b.lines.push_back({10, 10, w - 10, 10, 1, 2, 0});
  b.lines.push_back({w - 10, 10, w - 10, h - 10, 1, 2, 0});
  b.lines.push_back({w - 10, h - 10, 10, h - 10, 1, 2, 0});
  b.lines.push_back({10, h - 10, 10, 10, 1, 2, 0});
  // Walls at 1/50, a closed curve of four lines (the last one closes it).
  b.lines.push_back({100.5f, 80.25f, 400.75f, 80.25f, 1, 3, 16, 0, 0x40});
  b.lines.push_back({400.75f, 80.25f, 400.75f, 290.5f, 1, 3, 16, 0, 0x40});
  b.lines.push_back({400.75f, 290.5f, 100.5f, 290.5f, 1, 3, 16, 0, 0x40});
  b.lines.push_back({100.5f, 290.5f, 100.5f, 80.25f, 1, 3, 16, 0, 0xC0});
  b.lines.push_back({250, 80.25f, 250, 290.5f, 2, 4, 16});
  // A door swing, a column and an elliptic table.
  b.arcs.push_back({250, 80.25f, 40, 10000, Angle(0), Angle(90), 0, 1, 5, 17});
  b.arcs.push_back({175.25f, 185.5f, 12.5f, 10000, Angle(0), Angle(360), 0, 1, 3, 16});
  b.arcs.push_back({325, 185.5f, 30, 6000, Angle(0), Angle(0), Angle(30), 1, 6, 17});
  b.points.push_back({100.5f, 80.25f, 16, 7});
  b.points.push_back({400.75f, 290.5f, 16, 1});
  b.virtualPoints.push_back({250, 185.5f, 16});
  b.virtualPoints.push_back({30, 30, 0});
  b.AddText({120, 300, 180, 300, 0, 0, 3, 18}, "\x8b\x8f\x8a\xd4");  // 居間
  b.AddText({300, 300, 340, 300, 0, 0, 3, 18}, "\x98\x61\x8e\xba");  // 和室
  b.AddText({30, 340, 30, 400, 0, 0, 5, 0}, "PLAN 1/50");
  return b.Build();
}

}  // namespace torvane::test
