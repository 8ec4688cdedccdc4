#include "dxf/dxfgroups.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace torvane {
namespace {

// The first size of a block, more than a piece of entities takes (some 1.6 MB of texts); it grows
// when a piece needs more.
constexpr std::size_t kBlockBytes = std::size_t{2} << 20;
// Short decimals are found exactly in a 64-bit integer while a double still resolves every unit of
// it: a value scaled below 2^40 has a rounding interval far narrower than one unit.
constexpr double kScaledLimit = 0x1p40;
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = 22;
constexpr uint64_t kWholePowersOfTen[] = {1,         10,         100,         1000,         10000,       100000,
                                          1000000,   10000000,   100000000,   1000000000,   10000000000, 100000000000};

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The decimal digits of a value, right-aligned to end; answers where they begin.
template <typename Unsigned>
char* DigitsBefore(char* end, Unsigned value) {
  while (value >= 100) {
    end -= 2;
    std::memcpy(end, kPairs + 2 * (value % 100), 2);
    value /= 100;
  }
  if (value >= 10) {
    end -= 2;
    std::memcpy(end, kPairs + 2 * value, 2);
  } else {
    *--end = static_cast<char>('0' + value);
  }
  return end;
}

static_assert(std::endian::native == std::endian::little, "digits are shifted as the bytes of numbers");

// Two digits of a value below 100, as the bytes of a little-endian number.
uint64_t PairOf(uint32_t value) {
  uint16_t pair;
  std::memcpy(&pair, kPairs + 2 * value, 2);
  return pair;
}

// whole + fraction / 10^4 (whole below 10^8, fraction below 10^4) in fixed form, without the
// fraction's trailing zeros, and without the point when the fraction is 0. Without a branch on the
// counts of digits, which vary from one coordinate to the next beyond any prediction: all eight
// digits of whole are made in a register and shifted past the leading zeros.
char* WithFourPlaces(char* out, uint32_t whole, uint32_t fraction) {
  static constexpr uint32_t kTens[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
  uint32_t high = whole / 10000, low = whole % 10000;
  uint64_t digits = PairOf(high / 100) | PairOf(high % 100) << 16 | PairOf(low / 100) << 32 | PairOf(low % 100) << 48;
  int count = (static_cast<int>(std::bit_width(whole)) * 1233) >> 12;  // ⌊bits·log10 2⌋, 0 to 8
  count += static_cast<int>((kTens[count] - 1 - whole) >> 31);       // whole >= kTens[count]
  count += whole == 0 ? 1 : 0;                                        // "0"
  digits >>= 8 * (8 - count);
  // Eight bytes are stored whatever the count; those after it are overwritten.
  std::memcpy(out, &digits, 8);
  out += count;
  if (fraction == 0) return out;
  *out++ = '.';
  std::memcpy(out, kPairs + 2 * (fraction / 100), 2);
  std::memcpy(out + 2, kPairs + 2 * (fraction % 100), 2);
  int zeros = (fraction % 10 == 0 ? 1 : 0) + (fraction % 100 == 0 ? 1 : 0) + (fraction % 1000 == 0 ? 1 : 0);
  return out + 4 - zeros;
}

// whole + fraction / 10^places (fraction above 0, below 10^11) in fixed form, without the
// fraction's trailing zeros.
char* WithFraction(char* out, uint64_t whole, uint64_t fraction, int places) {
  if (places > 8 && fraction % 100000000 == 0) fraction /= 100000000, places -= 8;
  if (places > 4 && fraction % 10000 == 0) fraction /= 10000, places -= 4;
  if (fraction % 100 == 0) fraction /= 100, places -= 2;
  if (fraction % 10 == 0) fraction /= 10, places -= 1;
  out = std::to_chars(out, out + 16, whole).ptr;
  *out++ = '.';
  char* end = out + places;
  char* digit = end;
  for (; digit - out >= 2; fraction /= 100) {
    digit -= 2;
    std::memcpy(digit, kPairs + 2 * (fraction % 100), 2);
  }
  if (digit > out) *--digit = static_cast<char>('0' + fraction);
  return end;
}

// digits × 10^exponent as std::to_chars lays it out: fixed unless the exponent form is shorter.
char* LaidOut(char* out, const char* digits, int count, int exponent) {
  int scientific = exponent + count - 1;
  int magnitude = scientific < 0 ? -scientific : scientific;
  int scientificLength = count + (count > 1 ? 1 : 0) + 2 + (magnitude >= 100 ? 3 : 2);
  int fixedLength = exponent >= 0 ? count + exponent : count + exponent > 0 ? count + 1 : 2 - exponent;
  if (fixedLength <= scientificLength) {
    if (exponent >= 0) {
      out = std::copy(digits, digits + count, out);
      return std::fill_n(out, exponent, '0');
    }
    int whole = count + exponent;
    if (whole > 0) {
      out = std::copy(digits, digits + whole, out);
      *out++ = '.';
      return std::copy(digits + whole, digits + count, out);
    }
    *out++ = '0';
    *out++ = '.';
    out = std::fill_n(out, -whole, '0');
    return std::copy(digits, digits + count, out);
  }
  *out++ = digits[0];
  if (count > 1) {
    *out++ = '.';
    out = std::copy(digits + 1, digits + count, out);
  }
  *out++ = 'e';
  *out++ = scientific < 0 ? '-' : '+';
  if (magnitude < 10) *out++ = '0';
  return std::to_chars(out, out + 3, magnitude).ptr;
}

// Any finite value, in the general way: a short decimal found in a 64-bit integer, else
// std::to_chars. Out of line, so that the quick way for four places saves no registers.
[[gnu::noinline]] char* AnyDecimal(char* first, double value) {
  double magnitude = std::fabs(value);
  if (magnitude > 0 && magnitude < kScaledLimit) {
    // Scaled by the largest power of ten that keeps it below 2^40, a decimal of that many places
    // or fewer lies within a 2^-12 of one integer, the only one that can read back as the value.
    // Its trailing zeros give the fewest places, so no shorter decimal exists.
    int binaryExponent = static_cast<int>((std::bit_cast<uint64_t>(magnitude) >> 52) & 0x7ff) - 1023;
    int places = std::min(((39 - binaryExponent) * 78913) >> 18, kLargestExactPower);  // ⌊(39 − e)·log10 2⌋
    double scaled = magnitude * kPowersOfTen[places];
    auto units = static_cast<int64_t>(scaled + 0.5);
    auto unitsReal = static_cast<double>(units);
    // Both are exact, so the quotient is the double nearest to the decimal: the value itself
    // exactly when the decimal reads back as it.
    if (std::fabs(scaled - unitsReal) <= scaled * 0x1p-50 && unitsReal / kPowersOfTen[places] == magnitude) {
      if (std::signbit(value)) *first++ = '-';
      if (magnitude >= 1) {
        // Whole units and a fraction: always shorter in fixed form. From 1 on, places is 11 at most.
        auto whole = static_cast<uint64_t>(magnitude);
        uint64_t fraction = static_cast<uint64_t>(units) - whole * kWholePowersOfTen[places];
        if (fraction != 0) return WithFraction(first, whole, fraction, places);
      }
      char digits[24];
      char* end = digits + sizeof digits;
      char* begin = DigitsBefore(end, static_cast<uint64_t>(units));
      int exponent = -places;
      while (end[-1] == '0') --end, ++exponent;
      return LaidOut(first, begin, static_cast<int>(end - begin), exponent);
    }
  }
  return std::to_chars(first, first + 32, value).ptr;
}

}  // namespace

char* ShortestDecimal(char* first, double value) {
  double magnitude = std::fabs(value);
  // Nearly every number of a drawing: at most four places below 10^8, which the general way would
  // also find, only later. Such a decimal lies within 2^-12 of one integer of ten-thousandths.
  if (magnitude < 1e8) {
    auto units = static_cast<uint64_t>(static_cast<int64_t>(magnitude * 1e4 + 0.5));
    auto whole = static_cast<uint32_t>(units / 10000), fraction = static_cast<uint32_t>(units % 10000);
    // The fixed form is the shorter but for 0.000d and for five or more zeros ending a whole
    // number, which the general way lays out.
    bool fixed = fraction != 0 ? whole != 0 || fraction >= 10 : whole % 100000 != 0 || whole == 0;
    if (static_cast<double>(units) / 1e4 == magnitude && fixed) {
      // Without a branch: the signs of coordinates follow no pattern to predict.
      *first = '-';
      first += std::signbit(value) ? 1 : 0;
      return WithFourPlaces(first, whole, fraction);
    }
  }
  return AnyDecimal(first, value);
}

TDxfGroups::TDxfGroups(TByteSink& sink)
    : sink_(sink), block_(static_cast<char*>(AllocateLarge(kBlockBytes)), TLargeRelease{kBlockBytes}),
      capacity_(kBlockBytes), end_(block_.get()) {}

void TDxfGroups::Grow(std::size_t bytes) {
  std::size_t used = static_cast<std::size_t>(end_ - block_.get());
  std::size_t capacity = std::max(2 * capacity_, used + bytes);
  std::unique_ptr<char, TLargeRelease> grown(static_cast<char*>(AllocateLarge(capacity)), TLargeRelease{capacity});
  std::copy(block_.get(), end_, grown.get());
  block_ = std::move(grown);
  capacity_ = capacity;
  end_ = block_.get() + used;
}

void TDxfGroups::Flush() {
  auto size = static_cast<std::size_t>(end_ - block_.get());
  end_ = block_.get();
  sink_.Write(reinterpret_cast<const uint8_t*>(block_.get()), size);
}

std::optional<std::size_t> TPieceOrder::Take() {
  std::lock_guard lock(mutex_);
  if (failed_ || taken_ == pieces_) return std::nullopt;
  return taken_++;
}

bool TPieceOrder::Write(std::size_t piece, TDxfGroups& groups) {
  {
    std::unique_lock lock(mutex_);
    written_.wait(lock, [&] { return next_ == piece || failed_; });
    if (failed_) return false;
  }
  // Only this thread writes until next_ moves on.
  groups.Flush();
  {
    std::lock_guard lock(mutex_);
    ++next_;
  }
  written_.notify_all();
  return true;
}

void TPieceOrder::Fail() {
  {
    std::lock_guard lock(mutex_);
    failed_ = true;
  }
  written_.notify_all();
}

std::string DxfString(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20) {
      out += '^';
      out += static_cast<char>(byte + 0x40);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace torvane
