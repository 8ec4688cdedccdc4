#include "support/sectionreader.h"

namespace torvane {

bool TSectionReader::Fail(TReadReason reason, TReadWord part) {
  if (failure_ != nullptr) {
    failure_->Reason = reason;
    failure_->Part = part;
    failure_->Offset = in_.Position();
  }
  return false;
}

bool TSectionReader::CountFits(int32_t count, std::size_t recordSize, std::size_t available, TReadWord section) {
  uint64_t needed = count < 0 ? 0 : static_cast<uint64_t>(count) * recordSize;
  if (count >= 0 && needed <= available) return true;
  if (failure_ != nullptr) {
    failure_->Count = count;
    failure_->Needed = needed;
    failure_->Available = available;
  }
  return Fail(count < 0 ? TReadReason::NegativeCount : TReadReason::CountTooLarge, section);
}

bool TSectionReader::ResolveTexts(std::span<const uint8_t> pool, std::span<TMoji2> texts,
                                  const std::function<int64_t(const TMoji2&)>& offsetOf, TTextPool& store) {
  uint64_t needed = 0;
  TReadReason reason = ResolvePoolTexts(pool, texts, offsetOf, store, needed);
  if (reason == TReadReason::None) return true;
  if (failure_ != nullptr) {
    failure_->Needed = needed;
    failure_->Available = kMaxTextBytes;
  }
  return Fail(reason, TReadWord::TextPool);
}

}  // namespace torvane
