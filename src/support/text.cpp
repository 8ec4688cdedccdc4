#include "support/text.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace torvane {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::size_t SkipBlanks(std::string_view text, std::size_t i) {
  while (i < text.size() && text[i] == ' ') ++i;
  return i;
}

// Reads digits of a decimal number (mantissa with optional point, optional exponent) starting at
// i; returns the position after it, or npos when no valid number starts there.
std::size_t ScanDecimal(std::string_view text, std::size_t i) {
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return std::string_view::npos;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++expDigits;
    if (expDigits == 0) return std::string_view::npos;
  }
  return i;
}

std::optional<float> DecimalToSingle(std::string_view number) {
  // Through the extended type, as the drawing programs of that time converted numbers; from_chars
  // keeps the conversion independent of the process's locale.
  bool negative = false;
  if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
    negative = number.front() == '-';
    number.remove_prefix(1);
  }
  long double value = 0;
  auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
  return static_cast<float>(negative ? -value : value);
}

std::optional<int32_t> ParseDecimalDigits(std::string_view digits, bool negative) {
  if (digits.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : digits) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

// An optional sign, then decimal digits and nothing else.
std::optional<int32_t> ParseSignedDecimal(std::string_view text) {
  bool negative = false;
  if (text.starts_with('+') || text.starts_with('-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  return ParseDecimalDigits(text, negative);
}

}  // namespace

std::string_view UpToZero(std::string_view text) {
  std::size_t zero = text.find('\0');
  return zero == std::string_view::npos ? text : text.substr(0, zero);
}

std::optional<int32_t> ParseInt32(std::string_view text) {
  text = UpToZero(text);
  std::size_t i = SkipBlanks(text, 0);
  std::string_view rest = text.substr(i);
  std::size_t prefix = 0;
  if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
    prefix = 1;
  } else if (rest.starts_with("0x") || rest.starts_with("0X")) {
    prefix = 2;
  }
  if (prefix > 0) {
    std::string_view digits = rest.substr(prefix);
    if (digits.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : digits) {
      int v = HexValue(c);
      if (v < 0) return std::nullopt;
      value = value * 16 + static_cast<uint64_t>(v);
      if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value));
  }
  return ParseSignedDecimal(rest);
}

std::optional<float> ParseSingle(std::string_view text) {
  text = UpToZero(text);
  std::size_t start = SkipBlanks(text, 0);
  std::size_t end = ScanDecimal(text, start);
  if (end != text.size()) return std::nullopt;
  return DecimalToSingle(text.substr(start));
}

int32_t TextToInt(std::string_view text) { return ParseInt32(text).value_or(0); }

float TextToSingle(std::string_view text) { return ParseSingle(text).value_or(0.0f); }

std::optional<int32_t> ParseStrictInt(std::string_view text) {
  text = UpToZero(text);
  return ParseSignedDecimal(text.substr(SkipBlanks(text, 0)));
}

std::optional<float> ParseStrictSingle(std::string_view text) {
  text = UpToZero(text);
  std::size_t start = SkipBlanks(text, 0);
  std::size_t end = ScanDecimal(text, start);
  if (end == std::string_view::npos || SkipBlanks(text, end) != text.size()) return std::nullopt;
  return DecimalToSingle(text.substr(start, end - start));
}

std::string FillPattern(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string text;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    std::size_t index = i + 1 < pattern.size() ? static_cast<std::size_t>(pattern[i + 1] - '1') : values.size();
    if (pattern[i] == '%' && index < values.size()) {
      text += values.begin()[index];
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

std::string_view TrimControls(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  return TrimRightControls(text.substr(begin));
}

std::string_view TrimRightControls(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(0, end);
}

std::vector<std::string> SplitList(std::string_view text, int n) {
  std::vector<std::string> items(n > 0 ? static_cast<std::size_t>(n) : 0, "0");
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
      items[i] = std::string(text);
      break;
    }
    items[i] = std::string(text.substr(0, comma));
    text.remove_prefix(comma + 1);
    if (text.empty()) break;
  }
  return items;
}

}  // namespace torvane
