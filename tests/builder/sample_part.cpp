#include "builder/sample_part.h"

#include "builder/jwkbuilder.h"

namespace torvane::test {

std::string SamplePartJwk() {
  TJwkBuilder b;
  b.title = "DESK 1200x700";
  b.memo1 = "\x8e\x96\x96\xb1\x8a\xf7";  // 事務机
  b.memo2 = "1/20";
  b.scale = 20;

  // The desk top, one group of four lines; the last one (both top bits) closes it.
  b.lines.push_back({0, 0, 1200, 0, 1, 2, 0x10, 0, 0x40});
  b.lines.push_back({1200, 0, 1200, 700, 1, 2, 0x10, 0, 0x40});
  b.lines.push_back({1200, 700, 0, 700, 1, 2, 0x10, 0, 0x40});
  b.lines.push_back({0, 700, 0, 0, 1, 2, 0x10, 0, 0xC0});
  // The drawer, dashed.
  b.lines.push_back({800, 0, 800, 700, 2, 3, 0x11});

  // Chair seat, chair back and the lamp (an ellipse tilted by 30 degrees).
  b.arcs.push_back({600, -350, 250, 10000, Angle(0), Angle(0), 0, 1, 4, 0x12});
  b.arcs.push_back({600, -350, 300, 10000, Angle(200), Angle(340), 0, 1, 4, 0x12});
  b.arcs.push_back({1000, 500, 100, 6000, Angle(0), Angle(360), Angle(30), 1, 6, 0x12, 0, 0x10});

  b.points.push_back({0, 0, 0x10, 7});
  b.points.push_back({1200, 700, 0x10, 1, 0x20});

  b.AddText({450, 300, 750, 300, 0, 0, 3, 0x13}, "\x8e\x96\x96\xb1\x8a\xf7");            // 事務机
  b.AddText({540, -380, 660, -380, 0, 0, 2, 0x13}, "\x82\xa2\x82\xb7");                   // いす
  b.AddText({100, 100, 100, 400, 0, 0, 3, 0x13, 0, 0x01}, "\x83\x66\x83\x58\x83\x4e");    // デスク
  b.AddText({950, 620, 1050, 620, 0, 0, 1, 0x13}, "\xd7\xdd\xcc\xdf");                    // ﾗﾝﾌﾟ
  b.AddText({0, 750, 600, 750, 0, 0, 2, 0x13},
            "\x82\x76\x82\x50\x82\x51\x82\x4f\x82\x4f\x81\x7e\x82\x63\x82\x56\x82\x4f\x82\x4f");  // Ｗ１２００×Ｄ７００
  return b.Build();
}

}  // namespace torvane::test
