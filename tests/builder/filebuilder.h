// Writes drawing (JWC) and part (JWK) files field by field, for tests, samples, benchmarks and
// fuzz seeds. Every field is set explicitly; nothing here reads the project's own readers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvane::test {

// Little-endian byte appender.
class TBytes {
 public:
  TBytes& U8(uint8_t v);
  TBytes& U16(uint16_t v);
  TBytes& S16(int16_t v) { return U16(static_cast<uint16_t>(v)); }
  TBytes& U32(uint32_t v);
  TBytes& S32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  TBytes& F32(float v);
  TBytes& Raw(std::string_view bytes);
  // text in a field of exactly size bytes, padded with pad.
  TBytes& Field(std::string_view text, std::size_t size, char pad = '\0');
  std::string& Str() { return bytes_; }
  const std::string& Str() const { return bytes_; }

 private:
  std::string bytes_;
};

// Source records as the files store them.
struct TLineRec {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  uint8_t lineType = 1, penColor = 1, layer = 0, attr1 = 0, attr2 = 0, spare = 0;
};
struct TArcRec {
  float cx = 0, cy = 0, radius = 0;
  uint16_t flatness = 10000;  // × 10,000
  int32_t start = 0, end = 0, tilt = 0;  // degrees × 65,536
  uint8_t lineType = 1, penColor = 1, layer = 0, spare1 = 0, attr = 0, spare2 = 0;
};
struct TPointRec {
  float x = 0, y = 0;
  uint8_t layer = 0, penColor = 1, attr = 0, spare = 0;
};
struct TTextRec {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  uint16_t offset = 0, segment = 0;
  uint8_t mojiShuNo = 1, layer = 0, attr1 = 0, attr2 = 0;
};

void AppendLine(TBytes& out, const TLineRec& r);
void AppendArc(TBytes& out, const TArcRec& r);
void AppendPoint(TBytes& out, const TPointRec& r);
void AppendText(TBytes& out, const TTextRec& r);

// Degrees as the files store them (× 65,536).
inline int32_t Angle(double degrees) { return static_cast<int32_t>(degrees * 65536.0); }

struct TVirtualPoint {
  float x = 0, y = 0;
  uint8_t layer = 0;
};
struct TCharType {
  uint16_t color = 0, width = 0, height = 0;
  int16_t spacing = 0;
};

// A drawing. The header lists are written from the fields below unless a raw list is given.
struct TJwcBuilder {
  std::string signature = "jw_cad(c)data.......";
  bool realScales = true;  // byte 22 'f'
  std::string memo1, memo2;
  int32_t paperSize = 3;
  int32_t paperSpan = 518;
  int32_t writeLayer = 0;
  int32_t curMojiShu = 1;
  float printOriginX = 0, printOriginY = 0;
  float gridX = 5, gridY = 5, gridBaseX = 0, gridBaseY = 0, gridMode = 0;
  float viewX = 0, viewY = 0, viewScale = 1;
  float offsetX[3] = {-1, 0, 1}, offsetY[3] = {-1, 0, 1};
  float parallel[5] = {100, 200, 300, 400, 500};
  float marks[4][3] = {};  // X, Y, scale of the four mark jumps
  float shadowLatitude = 35, shadowHeight = 1.5f;
  // When set, used as the text of that header block instead of the generated list.
  std::string rawList1, rawList2, rawList3;
  // Counts written into the header instead of the number of records given.
  std::optional<int32_t> senCount, enkoCount, mojiCount, tenCount, kasoTenCount;

  std::vector<TVirtualPoint> virtualPoints;  // up to 101
  TCharType charTypes[11] = {};
  float groupScales[16];
  uint8_t groupState1[16] = {}, groupState2[16] = {}, groupWriteLayer[16] = {};
  uint8_t layerState1[256] = {}, layerState2[256] = {};
  std::string layerNames[256];
  std::string groupNames[16];

  std::vector<TLineRec> lines;
  std::vector<TArcRec> arcs;
  std::vector<TTextRec> texts;
  std::vector<TPointRec> points;
  std::string pool;          // the text pool's bytes
  uint32_t poolStart = 0x60000;
  bool withNames = true;     // older editions end after the real points

  TJwcBuilder();
  // Adds a text to the pool (with its terminating zero) and a record pointing at it.
  void AddText(TTextRec record, std::string_view text);
  std::string List1() const;
  std::string List2() const;
  std::string List3() const;
  std::string Build() const;
};

// A small drawing for the front ends' tests: memo "居間", two lines and the text "abc".
TJwcBuilder SmallPlan();

std::string FormatNumber(double value);
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

}  // namespace torvane::test
