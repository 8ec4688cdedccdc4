#include "support/readfailure.h"

#include <string_view>

#include "support/cp932.h"
#include "support/records.h"
#include "support/text.h"

namespace torvane {

std::string WordReadFailure(const TReadFailure& f, const std::function<std::string(TReadWord)>& words) {
  auto say = [&](TReadWord pattern, std::initializer_list<std::string_view> values) {
    return FillPattern(words(pattern), values);
  };
  std::string count = std::to_string(f.Count);
  switch (f.Reason) {
    case TReadReason::NoMemory: return words(TReadWord::NoMemory);
    case TReadReason::EndsInHeader: return say(TReadWord::EndsInHeader, {std::to_string(f.Index)});
    case TReadReason::EndsInside: return say(TReadWord::EndsInside, {words(f.Part)});
    case TReadReason::NegativeCount: return say(TReadWord::NegativeCount, {words(f.Part), count});
    case TReadReason::CountTooLarge:
      return say(TReadWord::CountTooLarge,
                 {words(f.Part), count, std::to_string(f.Needed), std::to_string(f.Available)});
    case TReadReason::NoNameTables: return words(TReadWord::NoNameTables);
    case TReadReason::BadHeaderItem:
      return say(f.WholeNumber ? TReadWord::NotWholeNumber : TReadWord::NotNumber,
                 {std::to_string(f.Index), Cp932ToUtf8(f.Text)});
    case TReadReason::TextsTooLarge:
      return say(TReadWord::TextsTooLarge, {std::to_string(f.Needed), std::to_string(kMaxTextBytes >> 20)});
    case TReadReason::PoolTooLarge: return words(TReadWord::PoolTooLarge);
    case TReadReason::None:
    case TReadReason::CannotOpen: break;
  }
  return "";
}

}  // namespace torvane
