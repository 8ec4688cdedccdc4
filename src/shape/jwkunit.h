// Parts (shapes) of JW_CAD's DOS edition (JWK): the in-memory model, the signature test and the
// reader. The reader only unpacks the file; coordinates stay in the part's own units as 32-bit
// floats.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "support/bytereader.h"
#include "support/largearray.h"
#include "support/records.h"
#include "support/summary.h"

namespace torvane {

inline constexpr char kJwkSignature[] = "jw_cad(c)sym........";
inline constexpr std::size_t kJwkHeaderBlockSize = 200;

struct TJwkData {
  // The parsed header; the defaults stay for every item a read does not reach.
  struct THeader {
    std::string Title, Memo1, Memo2;  // raw bytes, zeros and blanks included
    int32_t SenCount = 0;
    int32_t EnkoCount = 0;
    int32_t MojiCount = 0;
    int32_t TenCount = 0;
    float Value4 = 0;
    float Value5 = 0;
    float Value6 = 1.0f;
    int32_t PoolSize = 0;  // bytes of the text pool
    float Scale = 1.0f;
  };

  std::array<std::string, 2> HeaderBlocks;  // the raw 200-byte blocks; empty until read
  THeader Header;
  TLargeVector<TSen2> Sen;
  TLargeVector<TEnko2> Enko;
  TLargeVector<TTen2> Ten;
  TLargeVector<TMoji2> Moji;
  TTextPool Texts;  // the text pool, which the texts refer to
};

extern TJwkData JwkDocument;

// True when the file's first 20 bytes, up to their first zero byte, are the part signature.
// Touches no document.
bool IsJwkFile(const std::string& path);

// Resets the document and reads the file into it; true when every section was read. On false the
// document holds what was read up to the failure (arrays already sized keep their length, with
// the records not read left zeroed), and failure (when given) says why.
bool ReadJwk(const std::string& path, TJwkData& document, TReadFailure* failure = nullptr);
// The same from a file opened already; its bytes are read into bytes, whose memory a caller reading
// file after file reuses.
bool ReadJwk(TInputFile& file, TFileBytes& bytes, TJwkData& document, TReadFailure* failure = nullptr);
// The same, from bytes in memory.
bool ReadJwkBytes(std::span<const uint8_t> bytes, TJwkData& document,
                  TReadFailure* failure = nullptr);

void ResetJwk(TJwkData& document);
// Fills the header from the two header blocks. Every list item must be a valid number of its
// form: at the first one that is not, the result is false, the items before it keep their values
// and the later ones their defaults.
bool ParseJwkHeader(TJwkData& document, TReadFailure* failure = nullptr);

// The load summary: path, empty line and the four counts of the header (UTF-8 lines).
TLoadSummary JwkSummary(const std::string& path, const TJwkData& document);

}  // namespace torvane
