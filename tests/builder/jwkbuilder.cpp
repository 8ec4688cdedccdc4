#include "builder/jwkbuilder.h"

namespace torvane::test {

void TJwkBuilder::AddText(TTextRec record, std::string_view text) {
  record.offset = static_cast<uint16_t>(pool.size());
  pool.append(text);
  pool.push_back('\0');
  texts.push_back(record);
}

std::string TJwkBuilder::List() const {
  auto count = [](std::optional<int32_t> given, std::size_t actual) {
    return std::to_string(given.value_or(static_cast<int32_t>(actual)));
  };
  return count(senCount, lines.size()) + "," + count(enkoCount, arcs.size()) + "," + count(tenCount, points.size()) +
         "," + count(mojiCount, texts.size()) + "," + FormatNumber(value4) + "," + FormatNumber(value5) + "," +
         FormatNumber(value6) + "," + count(poolSize, pool.size()) + "," + FormatNumber(scale);
}

std::string TJwkBuilder::Block0() const {
  TBytes out;
  out.Field(signature, 20).Field(title, 20).Field(memo1, 32).Field(memo2, 32).Field("", 96);
  return out.Str();
}

std::string TJwkBuilder::Build() const {
  TBytes out;
  out.Raw(Block0());
  out.Field(rawList.empty() ? List() : rawList, 200);
  for (const auto& r : lines) AppendLine(out, r);
  for (const auto& r : arcs) AppendArc(out, r);
  for (const auto& r : points) AppendPoint(out, r);
  for (const auto& r : texts) AppendText(out, r);
  out.Raw(pool).Raw(trail);
  return out.Str();
}

}  // namespace torvane::test
