// Writes part (JWK) files field by field, for tests, samples, benchmarks and fuzz seeds. Every
// field is set explicitly; nothing here uses the project's own reader.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "builder/filebuilder.h"

namespace torvane::test {

// A part. Text records address the pool by the offset alone; their segment field is written as
// given and means nothing in a part.
struct TJwkBuilder {
  std::string signature = "jw_cad(c)sym........";
  std::string title;  // bytes 20 to 39 of the first block
  std::string memo1, memo2;
  float value4 = 0, value5 = 0, value6 = 1;
  float scale = 1;
  // When set, the text of the second header block instead of the generated list.
  std::string rawList;
  // Counts written into the header instead of the number of records given (pool: its bytes).
  std::optional<int32_t> senCount, enkoCount, tenCount, mojiCount, poolSize;

  std::vector<TLineRec> lines;
  std::vector<TArcRec> arcs;
  std::vector<TPointRec> points;
  std::vector<TTextRec> texts;
  std::string pool;   // the text pool's bytes
  std::string trail;  // bytes after the pool

  // Adds a text to the pool (with its terminating zero) and a record pointing at it.
  void AddText(TTextRec record, std::string_view text);
  // "lines,arcs,points,texts,value4,value5,value6,pool,scale"
  std::string List() const;
  // The first block (200 bytes).
  std::string Block0() const;
  std::string Build() const;
};

}  // namespace torvane::test
