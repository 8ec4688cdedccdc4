// Character sizes as the character settings dialog shows and takes them: the table holds tenths
// of a millimetre, the edits millimetres as decimal text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

// Beyond this magnitude CeilTenths answers the limit itself: far outside any field.
constexpr int64_t kTenthsLimit = 1'000'000'000'000;

// The shortest decimal text of tenths / 10: 25 gives "2.5", 30 gives "3", 0 gives "0".
std::string TenthsText(uint16_t tenths);

// The ceiling of ten times the number written: 2.5 gives 25, 2.51 gives 26, -2.51 gives -25,
// computed on the decimal digits themselves, so that no binary rounding adds or loses a tenth.
// The number: optional spaces, optional sign, digits with an optional decimal point and fraction,
// an optional exponent (e or E, optional sign, digits), optional spaces. Nothing when the text is
// no such number; a magnitude beyond kTenthsLimit gives ±kTenthsLimit.
std::optional<int64_t> CeilTenths(std::string_view text);

}  // namespace torvane
