#include "drawing/jwcunit.h"

#include <new>
#include <span>

#include "support/sectionreader.h"
#include "support/summary.h"
#include "support/text.h"

namespace torvane {

TJwcData JwcDocument;

namespace {

using TItem = TJwcItem;

// A pool address item: "SSSS:OOOO", the segment in characters 1 to 4 and the offset in 6 to 9,
// both hexadecimal (a part that is not counts as 0).
int32_t PoolAddressItem(std::string_view text) {
  std::string_view segment = text.substr(0, 4);
  std::string_view offset = text.size() > 5 ? text.substr(5, 4) : std::string_view();
  return TextToInt("$" + std::string(segment)) * 16 + TextToInt("$" + std::string(offset));
}

// Converts every item by its type; returns the item texts.
template <std::size_t N>
std::vector<std::string> ParseList(const std::string& block, std::array<TItem, N>& items) {
  std::vector<std::string> texts = SplitList(block, static_cast<int>(N));
  for (std::size_t i = 0; i < N; ++i) {
    if (items[i].IsInt) {
      items[i].Int = TextToInt(texts[i]);
    } else {
      items[i].Real = TextToSingle(texts[i]);
    }
  }
  return texts;
}

class TJwcReader : TSectionReader {
 public:
  TJwcReader(TByteReader in, TJwcData& document, TReadFailure* failure)
      : TSectionReader(in, failure), body_(in.Remaining() > 800 ? in.Remaining() - 800 : 0), doc_(document) {}

  bool Read();

 private:
  bool ReadTables();
  template <typename T, std::size_t N>
  bool ReadStates(std::array<T, N>& table, uint8_t T::*member);
  bool ReadPool();
  bool ReadNames();

  std::size_t body_;  // the bytes after the four header blocks, which every count must fit in
  TJwcData& doc_;
};

bool TJwcReader::ReadTables() {
  for (TKasoTen2& slot : doc_.KasoTen) {
    if (!in_.ReadF32(slot.X)) return EndsIn(TReadWord::VirtualPoints);
  }
  for (TKasoTen2& slot : doc_.KasoTen) {
    if (!in_.ReadF32(slot.Y)) return EndsIn(TReadWord::VirtualPoints);
  }
  for (TKasoTen2& slot : doc_.KasoTen) {
    if (!in_.ReadU8(slot.Layer)) return EndsIn(TReadWord::VirtualPoints);
  }

  for (auto member : {&TMojiShu2::Color, &TMojiShu2::Width, &TMojiShu2::Height}) {
    for (TMojiShu2& type : doc_.MojiShu) {
      if (!in_.ReadU16(type.*member)) return EndsIn(TReadWord::CharacterTypes);
    }
  }
  for (TMojiShu2& type : doc_.MojiShu) {
    if (!in_.ReadS16(type.Spacing)) return EndsIn(TReadWord::CharacterTypes);
  }

  for (TGLayer2& group : doc_.GLayers) {
    if (doc_.Header.RealScales) {
      if (!in_.ReadF32(group.Scale)) return EndsIn(TReadWord::LayerGroupScales);
    } else {
      uint16_t scale = 0;
      if (!in_.ReadU16(scale)) return EndsIn(TReadWord::LayerGroupScales);
      group.Scale = static_cast<float>(scale);
    }
  }

  return ReadStates(doc_.GLayers, &TGLayer2::State1) && ReadStates(doc_.Layers, &TLayer2::State1) &&
         ReadStates(doc_.GLayers, &TGLayer2::State2) && ReadStates(doc_.Layers, &TLayer2::State2) &&
         ReadStates(doc_.GLayers, &TGLayer2::WriteLayer);
}

template <typename T, std::size_t N>
bool TJwcReader::ReadStates(std::array<T, N>& table, uint8_t T::*member) {
  for (T& entry : table) {
    if (!in_.ReadU8(entry.*member)) return EndsIn(TReadWord::LayerStates);
  }
  return true;
}

bool TJwcReader::ReadNames() {
  if (in_.Remaining() == 0) {
    // Older DOS editions saved no name tables: such a drawing ends right after its real points.
    return Fail(TReadReason::NoNameTables, TReadWord::LayerNames);
  }
  std::span<const uint8_t> field;
  for (TLayer2& layer : doc_.Layers) {
    if (!in_.Take(8, field)) return EndsIn(TReadWord::LayerNames);
    layer.Name = std::string(UpToZero({reinterpret_cast<const char*>(field.data()), field.size()}));
  }
  for (TGLayer2& group : doc_.GLayers) {
    if (!in_.Take(16, field)) return EndsIn(TReadWord::LayerGroupNames);
    group.Name = std::string(UpToZero({reinterpret_cast<const char*>(field.data()), field.size()}));
  }
  return true;
}

bool TJwcReader::ReadPool() {
  const TJwcData::THeader& h = doc_.Header;
  int64_t size = int64_t{h.PoolEnd()} - h.PoolStart();
  if (size <= 0) return true;
  std::span<const uint8_t> pool;
  if (static_cast<uint64_t>(size) > in_.Remaining() || !in_.Take(static_cast<std::size_t>(size), pool)) {
    return EndsIn(TReadWord::TextPool);
  }
  // A text addressed below the pool takes its address itself as the offset, as drawings of that
  // time were read.
  int64_t start = h.PoolStart();
  auto offsetOf = [start](const TMoji2& text) {
    int64_t offset = int64_t{text.PoolAddress} - start;
    return offset < 0 ? int64_t{text.PoolAddress} : offset;
  };
  return ResolveTexts(pool, doc_.Moji, offsetOf, doc_.Texts);
}

bool TJwcReader::Read() {
  doc_.HeaderBlocks.fill(std::string(kJwcHeaderBlockSize, '\0'));
  if (!ReadHeaderBlocks(doc_.HeaderBlocks, kJwcHeaderBlockSize)) return false;
  ParseJwcHeader(doc_);
  const TJwcData::THeader& h = doc_.Header;
  if (!SizeRecords(doc_.Sen, h.SenCount(), kSenRecordSize, body_, TReadWord::LineRecords) ||
      !SizeRecords(doc_.Enko, h.EnkoCount(), kEnkoRecordSize, body_, TReadWord::ArcRecords) ||
      !SizeRecords(doc_.Moji, h.MojiCount(), kMojiRecordSize, body_, TReadWord::TextRecords) ||
      !SizeRecords(doc_.Ten, h.TenCount(), kTenRecordSize, body_, TReadWord::RealPointRecords)) {
    return false;
  }
  auto decodeText = [](const TRecordBytes<kMojiRecordSize>& r) {
    return DecodeMoji2(r, TPoolAddressing::SegmentOffset);
  };
  return ReadTables() && ReadRecords<kSenRecordSize>(doc_.Sen, Inlined<DecodeSen2>, TReadWord::LineRecords) &&
         ReadRecords<kEnkoRecordSize>(doc_.Enko, Inlined<DecodeEnko2>, TReadWord::ArcRecords) &&
         ReadRecords<kMojiRecordSize>(doc_.Moji, decodeText, TReadWord::TextRecords) && ReadPool() &&
         ReadRecords<kTenRecordSize>(doc_.Ten, Inlined<DecodeTen2>, TReadWord::RealPointRecords) && ReadNames();
}

}  // namespace

bool IsJwcFile(const std::string& path) {
  std::string head;
  return LoadFilePrefix(path, 20, head) && UpToZero(head) == kJwcSignature;
}

void ResetJwc(TJwcData& document) { document = TJwcData{}; }

void ParseJwcHeader(TJwcData& document) {
  TJwcData::THeader& h = document.Header;
  std::string_view block0 = document.HeaderBlocks[0];
  h.Title = std::string(block0.substr(0, 40));
  h.Memo1 = std::string(block0.substr(std::min<std::size_t>(40, block0.size()), 32));
  h.Memo2 = std::string(block0.substr(std::min<std::size_t>(72, block0.size()), 32));
  h.RealScales = h.Title.size() > 22 && h.Title[22] == 'f';
  ParseList(document.HeaderBlocks[1], h.List1);
  ParseList(document.HeaderBlocks[2], h.List2);
  std::vector<std::string> list3 = ParseList(document.HeaderBlocks[3], h.List3);
  if (h.List1[30].Int == 0) h.List1[30].Int = 518;
  h.List3[0].Int = PoolAddressItem(list3[0]);
  h.List3[1].Int = PoolAddressItem(list3[1]);
}

namespace {

bool ReadJwcFrom(TByteReader in, TJwcData& document, TReadFailure* failure) {
  // A worker reading file after file allocates the record arrays once.
  ResetKeepingArrays(document, &TJwcData::Sen, &TJwcData::Enko, &TJwcData::Moji, &TJwcData::Ten);
  if (failure != nullptr) *failure = TReadFailure{};
  try {
    return TJwcReader(in, document, failure).Read();
  } catch (const std::bad_alloc&) {
    if (failure != nullptr) failure->Reason = TReadReason::NoMemory;
    return false;
  }
}

}  // namespace

bool ReadJwcBytes(std::span<const uint8_t> bytes, TJwcData& document, TReadFailure* failure) {
  return ReadJwcFrom(TByteReader(bytes), document, failure);
}

bool ReadJwc(const std::string& path, TJwcData& document, TReadFailure* failure) {
  return ReadFileWith(path, document, failure, &ReadJwcFrom, &ResetJwc);
}

bool ReadJwc(TInputFile& file, TFileBytes& bytes, TJwcData& document, TReadFailure* failure) {
  return ReadFileWith(file, bytes, document, failure, &ReadJwcFrom, &ResetJwc);
}

TLoadSummary JwcSummary(const std::string& path, const TJwcData& document) {
  const TJwcData::THeader& h = document.Header;
  return TLoadSummary{path, h.Memo1, h.Memo2, h.SenCount(), h.EnkoCount(), h.MojiCount(), h.TenCount(),
                      h.KasoTenCount()};
}

}  // namespace torvane
