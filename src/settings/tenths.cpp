#include "settings/tenths.h"

#include <algorithm>

namespace torvane {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Exponents beyond this are saturated: the value is far outside the limit (or zero) either way.
constexpr int64_t kMaxExponent = 1'000'000;

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

std::string TenthsText(uint16_t tenths) {
  std::string text = std::to_string(tenths / 10);
  if (tenths % 10 != 0) text += "." + std::to_string(tenths % 10);
  return text;
}

std::optional<int64_t> CeilTenths(std::string_view text) {
  text = TrimSpaces(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // The digits without the point, and how many of them stand before it.
  std::string digits;
  while (i < text.size() && IsDigit(text[i])) digits += text[i++];
  int64_t point = static_cast<int64_t>(digits.size());
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) digits += text[i++];
  }
  if (digits.empty()) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    if (i == text.size() || !IsDigit(text[i])) return std::nullopt;
    int64_t exponent = 0;
    while (i < text.size() && IsDigit(text[i])) exponent = std::min(exponent * 10 + (text[i++] - '0'), kMaxExponent);
    point += negativeExponent ? -exponent : exponent;
  }
  if (i != text.size()) return std::nullopt;

  // Ten times the number: the point moves one digit to the right.
  ++point;
  std::size_t leadingZeros = std::min(digits.find_first_not_of('0'), digits.size());
  digits.erase(0, leadingZeros);
  point -= static_cast<int64_t>(leadingZeros);
  if (digits.empty()) return 0;
  int64_t whole = 0;
  if (point > 0) {
    // kTenthsLimit has 13 digits: a whole part of more than 13 is beyond it.
    if (point > 13) return negative ? -kTenthsLimit : kTenthsLimit;
    for (int64_t d = 0; d < point; ++d) {
      whole = whole * 10 + (d < static_cast<int64_t>(digits.size()) ? digits[static_cast<std::size_t>(d)] - '0' : 0);
    }
  }
  std::size_t fractionStart = static_cast<std::size_t>(std::clamp<int64_t>(point, 0, static_cast<int64_t>(digits.size())));
  bool fraction = digits.find_first_not_of('0', fractionStart) != std::string::npos;
  int64_t ceiling = negative ? -whole : whole + (fraction ? 1 : 0);
  return std::clamp(ceiling, -kTenthsLimit, kTenthsLimit);
}

}  // namespace torvane
