#include "builder/filebuilder.h"

#include <bit>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace torvane::test {

TBytes& TBytes::U8(uint8_t v) {
  bytes_.push_back(static_cast<char>(v));
  return *this;
}
TBytes& TBytes::U16(uint16_t v) { return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8)); }
TBytes& TBytes::U32(uint32_t v) { return U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16)); }
TBytes& TBytes::F32(float v) { return U32(std::bit_cast<uint32_t>(v)); }
TBytes& TBytes::Raw(std::string_view bytes) {
  bytes_.append(bytes);
  return *this;
}
TBytes& TBytes::Field(std::string_view text, std::size_t size, char pad) {
  std::string field(text.substr(0, size));
  field.resize(size, pad);
  return Raw(field);
}

void AppendLine(TBytes& out, const TLineRec& r) {
  out.F32(r.x1).F32(r.y1).F32(r.x2).F32(r.y2);
  out.U8(r.lineType).U8(r.penColor).U8(r.layer).U8(r.attr1).U8(r.attr2).U8(r.spare);
}
void AppendArc(TBytes& out, const TArcRec& r) {
  out.F32(r.cx).F32(r.cy).F32(r.radius).U16(r.flatness).S32(r.start).S32(r.end).S32(r.tilt);
  out.U8(r.lineType).U8(r.penColor).U8(r.layer).U8(r.spare1).U8(r.attr).U8(r.spare2);
}
void AppendPoint(TBytes& out, const TPointRec& r) {
  out.F32(r.x).F32(r.y).U8(r.layer).U8(r.penColor).U8(r.attr).U8(r.spare);
}
void AppendText(TBytes& out, const TTextRec& r) {
  out.F32(r.x1).F32(r.y1).F32(r.x2).F32(r.y2).U16(r.offset).U16(r.segment);
  out.U8(r.mojiShuNo).U8(r.layer).U8(r.attr1).U8(r.attr2);
}

std::string FormatNumber(double value) {
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value));
  if (error != std::errc()) throw std::runtime_error("number does not format");
  return std::string(buffer, end);
}

namespace {

std::string Join(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) text += (i ? "," : "") + items[i];
  return text;
}

std::string SegmentOffset(uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X:%04X", (address >> 4) & 0xFFFF, address & 15);
  return text;
}

int32_t CountOr(std::optional<int32_t> count, std::size_t actual) {
  return count.value_or(static_cast<int32_t>(actual));
}

}  // namespace

TJwcBuilder::TJwcBuilder() {
  for (float& scale : groupScales) scale = 1.0f;
  for (int i = 1; i <= 10; ++i) {
    charTypes[i] = TCharType{static_cast<uint16_t>(i), static_cast<uint16_t>(10 * i + 10),
                             static_cast<uint16_t>(10 * i + 10), static_cast<int16_t>(i)};
  }
}

TJwcBuilder SmallPlan() {
  TJwcBuilder b;
  b.memo1 = "\x8b\x8f\x8a\xd4";  // 居間
  b.lines.push_back({33.3f, 12.1f, 74.1f, 37.0f});
  b.lines.push_back({0, 0, 100, 50});
  b.AddText({0, 0, 10, 0}, "abc");
  return b;
}

void TJwcBuilder::AddText(TTextRec record, std::string_view text) {
  uint32_t address = poolStart + static_cast<uint32_t>(pool.size());
  record.segment = static_cast<uint16_t>(address >> 4);
  record.offset = static_cast<uint16_t>(address & 15);
  pool.append(text);
  pool.push_back('\0');
  texts.push_back(record);
}

std::string TJwcBuilder::List1() const {
  auto n = FormatNumber;
  auto i = [](int32_t v) { return std::to_string(v); };
  return Join({i(CountOr(senCount, lines.size())), i(CountOr(enkoCount, arcs.size())),
               i(CountOr(mojiCount, texts.size())), i(CountOr(tenCount, points.size())),
               i(CountOr(kasoTenCount, virtualPoints.size())), i(curMojiShu), "1", "1", "1", "1",
               i(writeLayer), i(paperSize), "2", "1", n(printOriginX), n(printOriginY), "5", "10", "0",
               "0", "0", "0", "0", "0", "0", n(gridX), n(gridY), n(gridBaseX), n(gridBaseY), n(gridMode),
               i(paperSpan), "0"});
}

std::string TJwcBuilder::List2() const {
  auto n = FormatNumber;
  return Join({"0", "0", "3", "15", "0", "0", "0", "0", "0", "1", n(offsetX[0]), n(offsetX[1]),
               n(offsetX[2]), n(offsetY[0]), n(offsetY[1]), n(offsetY[2]), "0", "0", "0", "100",
               n(parallel[0]), n(parallel[1]), n(parallel[2]), n(parallel[3]), n(parallel[4]), n(viewX),
               n(viewY), n(viewScale)});
}

std::string TJwcBuilder::List3() const {
  auto n = FormatNumber;
  uint32_t poolEnd = poolStart + static_cast<uint32_t>(pool.size());
  return Join({SegmentOffset(poolStart), SegmentOffset(poolEnd), n(marks[0][0]), n(marks[0][1]),
               n(marks[0][2]), n(marks[1][0]), n(marks[1][1]), n(marks[1][2]), n(marks[2][0]),
               n(marks[2][1]), n(marks[2][2]), n(marks[3][0]), n(marks[3][1]), "0", "0", "0",
               n(marks[3][2]), n(shadowLatitude), "0", n(shadowHeight), "0", "0"});
}

std::string TJwcBuilder::Build() const {
  TBytes out;
  std::string title(signature.substr(0, 20));
  title.resize(40, '\0');
  title[22] = realScales ? 'f' : '\0';
  out.Raw(title).Field(memo1, 32).Field(memo2, 32).Field("", 96);
  out.Field(rawList1.empty() ? List1() : rawList1, 200);
  out.Field(rawList2.empty() ? List2() : rawList2, 200);
  out.Field(rawList3.empty() ? List3() : rawList3, 200);

  TVirtualPoint slots[101] = {};
  for (std::size_t k = 0; k < virtualPoints.size() && k < 101; ++k) slots[k] = virtualPoints[k];
  for (const auto& p : slots) out.F32(p.x);
  for (const auto& p : slots) out.F32(p.y);
  for (const auto& p : slots) out.U8(p.layer);
  for (const auto& c : charTypes) out.U16(c.color);
  for (const auto& c : charTypes) out.U16(c.width);
  for (const auto& c : charTypes) out.U16(c.height);
  for (const auto& c : charTypes) out.S16(c.spacing);
  for (float scale : groupScales) {
    if (realScales) {
      out.F32(scale);
    } else {
      out.U16(static_cast<uint16_t>(scale));
    }
  }
  for (uint8_t v : groupState1) out.U8(v);
  for (uint8_t v : layerState1) out.U8(v);
  for (uint8_t v : groupState2) out.U8(v);
  for (uint8_t v : layerState2) out.U8(v);
  for (uint8_t v : groupWriteLayer) out.U8(v);
  for (const auto& r : lines) AppendLine(out, r);
  for (const auto& r : arcs) AppendArc(out, r);
  for (const auto& r : texts) AppendText(out, r);
  out.Raw(pool);
  for (const auto& r : points) AppendPoint(out, r);
  if (withNames) {
    for (const auto& name : layerNames) out.Field(name, 8);
    for (const auto& name : groupNames) out.Field(name, 16);
  }
  return out.Str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace torvane::test
