#include "drawing/jwcunit.h"

#include <span>

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

class TJwcReader {
 public:
  TJwcReader(std::span<const uint8_t> bytes, TJwcData& document, TReadFailure* failure)
      : bytes_(bytes), in_(bytes), doc_(document), failure_(failure) {}

  bool Read();

 private:
  bool Fail(std::string reason) {
    if (failure_ != nullptr) failure_->Reason = std::move(reason);
    return false;
  }
  bool EndsIn(const char* section) { return Fail(std::string("the file ends inside the ") + section); }
  // A count of records of recordSize bytes must be 0 or more and fit in what the file holds after
  // its header blocks; checked before its array is sized.
  bool CountFits(int32_t count, std::size_t recordSize, const char* what);
  template <std::size_t N, typename T, typename Decode>
  bool ReadRecords(std::vector<T>& records, Decode decode, const char* section);
  bool ReadTables();
  template <typename T, std::size_t N>
  bool ReadStates(std::array<T, N>& table, uint8_t T::*member);
  bool ReadNames();

  std::span<const uint8_t> bytes_;
  TByteReader in_;
  TJwcData& doc_;
  TReadFailure* failure_;
};

bool TJwcReader::CountFits(int32_t count, std::size_t recordSize, const char* what) {
  if (count < 0) return Fail(std::string("the ") + what + " count " + std::to_string(count) + " is negative");
  std::size_t body = bytes_.size() > 800 ? bytes_.size() - 800 : 0;
  uint64_t needed = static_cast<uint64_t>(count) * recordSize;
  if (needed > body) {
    return Fail(std::string("the ") + what + " count " + std::to_string(count) + " needs " +
                std::to_string(needed) + " bytes, but the file holds only " + std::to_string(body) +
                " after its header");
  }
  return true;
}

template <std::size_t N, typename T, typename Decode>
bool TJwcReader::ReadRecords(std::vector<T>& records, Decode decode, const char* section) {
  TRecordBytes<N> record;
  for (T& slot : records) {
    if (!in_.ReadRecord(record)) return EndsIn(section);
    slot = decode(record);
  }
  return true;
}

bool TJwcReader::ReadTables() {
  for (TKasoTen2& slot : doc_.KasoTen) {
    if (!in_.ReadF32(slot.X)) return EndsIn("virtual points");
  }
  for (TKasoTen2& slot : doc_.KasoTen) {
    if (!in_.ReadF32(slot.Y)) return EndsIn("virtual points");
  }
  for (TKasoTen2& slot : doc_.KasoTen) {
    if (!in_.ReadU8(slot.Layer)) return EndsIn("virtual points");
  }

  for (auto member : {&TMojiShu2::Color, &TMojiShu2::Width, &TMojiShu2::Height}) {
    for (TMojiShu2& type : doc_.MojiShu) {
      if (!in_.ReadU16(type.*member)) return EndsIn("character types");
    }
  }
  for (TMojiShu2& type : doc_.MojiShu) {
    if (!in_.ReadS16(type.Spacing)) return EndsIn("character types");
  }

  for (TGLayer2& group : doc_.GLayers) {
    if (doc_.Header.RealScales) {
      if (!in_.ReadF32(group.Scale)) return EndsIn("layer-group scales");
    } else {
      uint16_t scale = 0;
      if (!in_.ReadU16(scale)) return EndsIn("layer-group scales");
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
    if (!in_.ReadU8(entry.*member)) return EndsIn("layer and layer-group states");
  }
  return true;
}

bool TJwcReader::ReadNames() {
  if (in_.Remaining() == 0) {
    // Older DOS editions saved no name tables: such a drawing ends right after its real points.
    if (failure_ != nullptr) failure_->MissingNameTables = true;
    return Fail("the file ends before the layer names (a drawing of an older DOS edition)");
  }
  std::span<const uint8_t> field;
  for (TLayer2& layer : doc_.Layers) {
    if (!in_.Take(8, field)) return EndsIn("layer names");
    layer.Name = std::string(UpToZero({reinterpret_cast<const char*>(field.data()), field.size()}));
  }
  for (TGLayer2& group : doc_.GLayers) {
    if (!in_.Take(16, field)) return EndsIn("layer-group names");
    group.Name = std::string(UpToZero({reinterpret_cast<const char*>(field.data()), field.size()}));
  }
  return true;
}

bool TJwcReader::Read() {
  doc_.HeaderBlocks.fill(std::string(kJwcHeaderBlockSize, '\0'));

  for (int block = 0; block < 4; ++block) {
    std::span<const uint8_t> bytes;
    if (!in_.Take(kJwcHeaderBlockSize, bytes)) {
      return Fail("the file ends inside header block " + std::to_string(block));
    }
    doc_.HeaderBlocks[block].assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  ParseJwcHeader(doc_);
  const TJwcData::THeader& h = doc_.Header;

  if (!CountFits(h.SenCount(), kSenRecordSize, "line")) return false;
  doc_.Sen.resize(static_cast<std::size_t>(h.SenCount()));
  if (!CountFits(h.EnkoCount(), kEnkoRecordSize, "arc")) return false;
  doc_.Enko.resize(static_cast<std::size_t>(h.EnkoCount()));
  if (!CountFits(h.MojiCount(), kMojiRecordSize, "text")) return false;
  doc_.Moji.resize(static_cast<std::size_t>(h.MojiCount()));
  if (!CountFits(h.TenCount(), kTenRecordSize, "real-point")) return false;
  doc_.Ten.resize(static_cast<std::size_t>(h.TenCount()));

  if (!ReadTables()) return false;
  if (!ReadRecords<kSenRecordSize>(doc_.Sen, DecodeSen2, "line records")) return false;
  if (!ReadRecords<kEnkoRecordSize>(doc_.Enko, DecodeEnko2, "arc records")) return false;
  auto decodeText = [](const TRecordBytes<kMojiRecordSize>& r) {
    return DecodeMoji2(r, TPoolAddressing::SegmentOffset);
  };
  if (!ReadRecords<kMojiRecordSize>(doc_.Moji, decodeText, "text records")) return false;

  int64_t poolSize = int64_t{h.PoolEnd()} - h.PoolStart();
  if (poolSize > 0) {
    std::span<const uint8_t> pool;
    if (static_cast<uint64_t>(poolSize) > in_.Remaining() || !in_.Take(static_cast<std::size_t>(poolSize), pool)) {
      return EndsIn("text pool");
    }
    for (TMoji2& text : doc_.Moji) {
      int64_t offset = int64_t{text.PoolAddress} - h.PoolStart();
      if (offset < 0) offset = text.PoolAddress;
      text.Text = PoolText(pool, offset);
    }
  }

  if (!ReadRecords<kTenRecordSize>(doc_.Ten, DecodeTen2, "real-point records")) return false;
  return ReadNames();
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

bool ReadJwcBytes(std::span<const uint8_t> bytes, TJwcData& document, TReadFailure* failure) {
  ResetJwc(document);
  if (failure != nullptr) *failure = TReadFailure{};
  return TJwcReader(bytes, document, failure).Read();
}

bool ReadJwc(const std::string& path, TJwcData& document, TReadFailure* failure) {
  TFileBytes file;
  if (!LoadFileBytes(path, file)) {
    ResetJwc(document);
    if (failure != nullptr) *failure = TReadFailure{"the file cannot be opened or read", false};
    return false;
  }
  return ReadJwcBytes(file.Span(), document, failure);
}

std::vector<std::string> JwcSummaryLines(const std::string& path, const TJwcData& document) {
  const TJwcData::THeader& h = document.Header;
  return LoadSummaryLines(TLoadSummary{path, h.Memo1, h.Memo2, h.SenCount(), h.EnkoCount(),
                                       h.MojiCount(), h.TenCount(), h.KasoTenCount()});
}

}  // namespace torvane
