#include "shape/jwkunit.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "support/summary.h"
#include "support/text.h"

namespace torvane {

TJwkData JwkDocument;

namespace {

using THeader = TJwkData::THeader;

// The field each list item fills: a whole number or a decimal number. Points (item 2) come
// before texts (item 3), as their records do in the file.
struct TItemField {
  int32_t THeader::*Whole;
  float THeader::*Decimal;
};
constexpr std::array<TItemField, 9> kItemFields{{{&THeader::SenCount, nullptr},
                                                 {&THeader::EnkoCount, nullptr},
                                                 {&THeader::TenCount, nullptr},
                                                 {&THeader::MojiCount, nullptr},
                                                 {nullptr, &THeader::Value4},
                                                 {nullptr, &THeader::Value5},
                                                 {nullptr, &THeader::Value6},
                                                 {&THeader::PoolSize, nullptr},
                                                 {nullptr, &THeader::Scale}}};

bool Fail(TReadFailure* failure, std::string reason) {
  if (failure != nullptr) failure->Reason = std::move(reason);
  return false;
}

std::string Slice(std::string_view block, std::size_t position, std::size_t length) {
  return std::string(block.substr(std::min(position, block.size()), length));
}

class TJwkReader {
 public:
  TJwkReader(std::span<const uint8_t> bytes, TJwkData& document, TReadFailure* failure)
      : in_(bytes), doc_(document), failure_(failure) {}

  bool Read();

 private:
  // Sizes records to count, which must be 0 or more and fit in what the file holds after its
  // header blocks: a count the file cannot hold never reaches the allocator.
  template <typename T>
  bool Size(std::vector<T>& records, int32_t count, std::size_t recordSize, const char* what);
  template <std::size_t N, typename T, typename Decode>
  bool ReadRecords(std::vector<T>& records, Decode decode, const char* section);
  bool ReadPool();

  TByteReader in_;
  TJwkData& doc_;
  TReadFailure* failure_;
};

template <typename T>
bool TJwkReader::Size(std::vector<T>& records, int32_t count, std::size_t recordSize, const char* what) {
  std::string name = std::string("the ") + what + " count " + std::to_string(count);
  if (count < 0) return Fail(failure_, name + " is negative");
  uint64_t needed = static_cast<uint64_t>(count) * recordSize;
  if (needed > in_.Remaining()) {
    return Fail(failure_, name + " needs " + std::to_string(needed) + " bytes, but the file holds only " +
                              std::to_string(in_.Remaining()) + " after its header");
  }
  records.resize(static_cast<std::size_t>(count));
  return true;
}

template <std::size_t N, typename T, typename Decode>
bool TJwkReader::ReadRecords(std::vector<T>& records, Decode decode, const char* section) {
  TRecordBytes<N> record;
  for (T& slot : records) {
    if (!in_.ReadRecord(record)) return Fail(failure_, std::string("the file ends inside the ") + section);
    slot = decode(record);
  }
  return true;
}

bool TJwkReader::ReadPool() {
  int32_t size = doc_.Header.PoolSize;
  if (size <= 0) return true;
  std::span<const uint8_t> pool;
  if (!in_.Take(static_cast<std::size_t>(size), pool)) return Fail(failure_, "the file ends inside the text pool");
  for (TMoji2& text : doc_.Moji) text.Text = PoolText(pool, text.PoolAddress);
  return true;
}

bool TJwkReader::Read() {
  for (std::size_t block = 0; block < doc_.HeaderBlocks.size(); ++block) {
    std::span<const uint8_t> bytes;
    if (!in_.Take(kJwkHeaderBlockSize, bytes)) {
      return Fail(failure_, "the file ends inside header block " + std::to_string(block));
    }
    doc_.HeaderBlocks[block].assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  if (!ParseJwkHeader(doc_, failure_)) return false;

  const THeader& h = doc_.Header;
  if (!Size(doc_.Sen, h.SenCount, kSenRecordSize, "line") ||
      !Size(doc_.Enko, h.EnkoCount, kEnkoRecordSize, "arc") ||
      !Size(doc_.Ten, h.TenCount, kTenRecordSize, "point") ||
      !Size(doc_.Moji, h.MojiCount, kMojiRecordSize, "text")) {
    return false;
  }

  auto decodeText = [](const TRecordBytes<kMojiRecordSize>& r) { return DecodeMoji2(r, TPoolAddressing::Offset); };
  return ReadRecords<kSenRecordSize>(doc_.Sen, DecodeSen2, "line records") &&
         ReadRecords<kEnkoRecordSize>(doc_.Enko, DecodeEnko2, "arc records") &&
         ReadRecords<kTenRecordSize>(doc_.Ten, DecodeTen2, "point records") &&
         ReadRecords<kMojiRecordSize>(doc_.Moji, decodeText, "text records") && ReadPool();
}

}  // namespace

bool IsJwkFile(const std::string& path) {
  std::string head;
  return LoadFilePrefix(path, 20, head) && UpToZero(head) == kJwkSignature;
}

void ResetJwk(TJwkData& document) { document = TJwkData{}; }

bool ParseJwkHeader(TJwkData& document, TReadFailure* failure) {
  THeader& h = document.Header;
  std::string_view block0 = document.HeaderBlocks[0];
  h.Title = Slice(block0, 0, 40);
  h.Memo1 = Slice(block0, 40, 32);
  h.Memo2 = Slice(block0, 72, 32);

  std::vector<std::string> items = SplitList(document.HeaderBlocks[1], static_cast<int>(kItemFields.size()));
  for (std::size_t i = 0; i < kItemFields.size(); ++i) {
    const TItemField& field = kItemFields[i];
    std::string shown = "header item " + std::to_string(i) + " \"" + std::string(UpToZero(items[i])) + "\"";
    if (field.Whole != nullptr) {
      std::optional<int32_t> value = ParseStrictInt(items[i]);
      if (!value) return Fail(failure, shown + " is not a whole number");
      h.*field.Whole = *value;
    } else {
      std::optional<float> value = ParseStrictSingle(items[i]);
      if (!value) return Fail(failure, shown + " is not a number");
      h.*field.Decimal = *value;
    }
  }
  return true;
}

bool ReadJwkBytes(std::span<const uint8_t> bytes, TJwkData& document, TReadFailure* failure) {
  ResetJwk(document);
  if (failure != nullptr) *failure = TReadFailure{};
  return TJwkReader(bytes, document, failure).Read();
}

bool ReadJwk(const std::string& path, TJwkData& document, TReadFailure* failure) {
  TFileBytes file;
  if (!LoadFileBytes(path, file)) {
    ResetJwk(document);
    if (failure != nullptr) *failure = TReadFailure{};
    return Fail(failure, "the file cannot be opened or read");
  }
  return ReadJwkBytes(file.Span(), document, failure);
}

std::vector<std::string> JwkSummaryLines(const std::string& path, const TJwkData& document) {
  const THeader& h = document.Header;
  return LoadSummaryLines(TLoadSummary{path, std::nullopt, std::nullopt, h.SenCount, h.EnkoCount, h.MojiCount,
                                       h.TenCount, std::nullopt});
}

}  // namespace torvane
