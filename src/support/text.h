// Text helpers shared by every reader and writer: number conversion of header items and
// fixed-size field copies. Texts are byte strings (CP932 where they hold characters).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// A 32-bit integer: leading blanks, then an optional sign or a hexadecimal prefix ("$", "x", "X",
// "0x", "0X"), then digits up to the end of the text or its first zero byte. Anything else, or a
// value that does not fit 32 bits, makes the text invalid. Hexadecimal takes up to 32 bits as
// two's complement ("$FFFFFFFF" is -1).
std::optional<int32_t> ParseInt32(std::string_view text);

// A 32-bit float: leading blanks, optional sign, digits with an optional decimal point and
// fraction, an optional exponent; up to the end of the text or its first zero byte.
std::optional<float> ParseSingle(std::string_view text);

// Lenient forms used by drawing headers: 0 for an empty or invalid text.
int32_t TextToInt(std::string_view text);
float TextToSingle(std::string_view text);

// Strict forms used by part headers; the item ends at its first zero byte.
// An integer: optional leading blanks, optional sign, decimal digits, nothing after them.
std::optional<int32_t> ParseStrictInt(std::string_view text);
// A decimal number: optional blanks, optional sign, digits with an optional fraction and
// exponent, optional trailing blanks.
std::optional<float> ParseStrictSingle(std::string_view text);

// pattern with "%1", "%2", … replaced by the values in turn, so that a translation may order them
// as its language needs; a "%" before anything else stays.
std::string FillPattern(std::string_view pattern, std::initializer_list<std::string_view> values);

// The bytes of text up to its first zero byte.
std::string_view UpToZero(std::string_view text);

// Removes leading and trailing bytes of value 32 or below (blanks, control characters, zeros).
std::string_view TrimControls(std::string_view text);
// Removes trailing bytes of value 32 or below only.
std::string_view TrimRightControls(std::string_view text);

// Splits a comma-separated header list into n item texts. Items the list does not reach keep
// "0"; a list ending in a comma stops there; items beyond n are ignored.
std::vector<std::string> SplitList(std::string_view text, int n);

}  // namespace torvane
