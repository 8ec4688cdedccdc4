#include "shape/jwkunit.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string_view>

#include "support/sectionreader.h"
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

bool Fail(TReadFailure* failure, TReadReason reason) {
  if (failure != nullptr) failure->Reason = reason;
  return false;
}

std::string Slice(std::string_view block, std::size_t position, std::size_t length) {
  return std::string(block.substr(std::min(position, block.size()), length));
}

class TJwkReader : TSectionReader {
 public:
  TJwkReader(TByteReader in, TJwkData& document, TReadFailure* failure) : TSectionReader(in, failure), doc_(document) {}

  bool Read();

 private:
  bool ReadPool();

  TJwkData& doc_;
};

bool TJwkReader::ReadPool() {
  int32_t size = doc_.Header.PoolSize;
  if (size <= 0) return true;
  std::span<const uint8_t> pool;
  if (!in_.Take(static_cast<std::size_t>(size), pool)) return EndsIn(TReadWord::TextPool);
  auto offsetOf = [](const TMoji2& text) { return int64_t{text.PoolAddress}; };
  return ResolveTexts(pool, doc_.Moji, offsetOf, doc_.Texts);
}

bool TJwkReader::Read() {
  if (!ReadHeaderBlocks(doc_.HeaderBlocks, kJwkHeaderBlockSize) || !ParseJwkHeader(doc_, failure_)) return false;

  // Every count must fit in the bytes after the two header blocks.
  const std::size_t body = in_.Remaining();
  const THeader& h = doc_.Header;
  if (!SizeRecords(doc_.Sen, h.SenCount, kSenRecordSize, body, TReadWord::LineRecords) ||
      !SizeRecords(doc_.Enko, h.EnkoCount, kEnkoRecordSize, body, TReadWord::ArcRecords) ||
      !SizeRecords(doc_.Ten, h.TenCount, kTenRecordSize, body, TReadWord::PointRecords) ||
      !SizeRecords(doc_.Moji, h.MojiCount, kMojiRecordSize, body, TReadWord::TextRecords)) {
    return false;
  }

  auto decodeText = [](const TRecordBytes<kMojiRecordSize>& r) { return DecodeMoji2(r, TPoolAddressing::Offset); };
  return ReadRecords<kSenRecordSize>(doc_.Sen, Inlined<DecodeSen2>, TReadWord::LineRecords) &&
         ReadRecords<kEnkoRecordSize>(doc_.Enko, Inlined<DecodeEnko2>, TReadWord::ArcRecords) &&
         ReadRecords<kTenRecordSize>(doc_.Ten, Inlined<DecodeTen2>, TReadWord::PointRecords) &&
         ReadRecords<kMojiRecordSize>(doc_.Moji, decodeText, TReadWord::TextRecords) && ReadPool();
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
    auto invalid = [&](bool wholeNumber) {
      if (failure != nullptr) {
        failure->Index = i;
        failure->Text = std::string(UpToZero(items[i]));
        failure->WholeNumber = wholeNumber;
      }
      return Fail(failure, TReadReason::BadHeaderItem);
    };
    if (field.Whole != nullptr) {
      std::optional<int32_t> value = ParseStrictInt(items[i]);
      if (!value) return invalid(true);
      h.*field.Whole = *value;
    } else {
      std::optional<float> value = ParseStrictSingle(items[i]);
      if (!value) return invalid(false);
      h.*field.Decimal = *value;
    }
  }
  return true;
}

namespace {

bool ReadJwkFrom(TByteReader in, TJwkData& document, TReadFailure* failure) {
  // A worker reading file after file allocates the record arrays once.
  ResetKeepingArrays(document, &TJwkData::Sen, &TJwkData::Enko, &TJwkData::Ten, &TJwkData::Moji);
  if (failure != nullptr) *failure = TReadFailure{};
  try {
    return TJwkReader(in, document, failure).Read();
  } catch (const std::bad_alloc&) {
    return Fail(failure, TReadReason::NoMemory);
  }
}

}  // namespace

bool ReadJwkBytes(std::span<const uint8_t> bytes, TJwkData& document, TReadFailure* failure) {
  return ReadJwkFrom(TByteReader(bytes), document, failure);
}

bool ReadJwk(const std::string& path, TJwkData& document, TReadFailure* failure) {
  return ReadFileWith(path, document, failure, &ReadJwkFrom, &ResetJwk);
}

bool ReadJwk(TInputFile& file, TFileBytes& bytes, TJwkData& document, TReadFailure* failure) {
  return ReadFileWith(file, bytes, document, failure, &ReadJwkFrom, &ResetJwk);
}

TLoadSummary JwkSummary(const std::string& path, const TJwkData& document) {
  const THeader& h = document.Header;
  return TLoadSummary{path, std::nullopt, std::nullopt, h.SenCount, h.EnkoCount, h.MojiCount, h.TenCount,
                      std::nullopt};
}

}  // namespace torvane
