// The byte layer of a DXF file: group codes and their values, one per line, collected in a block
// that its owner hands to a sink a piece of the file at a time; pieces may be formatted on two
// threads at once and written in their order.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "support/largearray.h"
#include "support/outputfile.h"

namespace torvane {

// The characters of std::to_chars(value): the shortest decimal that reads back as the very same
// double, in fixed or exponent form, whichever is shorter (fixed on a tie); value must be finite.
// Written at first (room for 32 characters); answers where they end. Short decimals, which are
// nearly all of a drawing's numbers, take a quicker way than the general one.
char* ShortestDecimal(char* first, double value);

// Each group code's line, built once: the codes of a file are few, their lines many.
struct TDxfCodeLine {
  char Bytes[8];
  std::size_t Size;
};
inline constexpr int kDxfCodes = 1072;  // DXF's codes run from 0 to 1071
inline constexpr std::array<TDxfCodeLine, kDxfCodes> kDxfCodeLines = [] {
  std::array<TDxfCodeLine, kDxfCodes> lines{};
  for (int code = 0; code < kDxfCodes; ++code) {
    std::size_t size = code < 10 ? 1 : code < 100 ? 2 : code < 1000 ? 3 : 4;
    for (int rest = code, i = static_cast<int>(size) - 1; i >= 0; rest /= 10, --i) {
      lines[code].Bytes[i] = static_cast<char>('0' + rest % 10);
    }
    lines[code].Bytes[size] = '\n';
    lines[code].Size = size + 1;
  }
  return lines;
}();

// The groups are written inline: a drawing has millions of them.
class TDxfGroups {
 public:
  explicit TDxfGroups(TByteSink& sink);
  TDxfGroups(const TDxfGroups&) = delete;
  TDxfGroups& operator=(const TDxfGroups&) = delete;

  void Text(int code, std::string_view value) {
    Code(code, kGroupBytes + value.size());
    end_ = std::copy(value.begin(), value.end(), end_);
    *end_++ = '\n';
  }
  void Int(int code, int64_t value) {
    Code(code, kGroupBytes);
    end_ = std::to_chars(end_, end_ + 24, value).ptr;
    *end_++ = '\n';
  }
  // The shortest decimal that reads back as the very same double; the value must be finite.
  void Real(int code, double value) {
    Code(code, kGroupBytes);
    end_ = ShortestDecimal(end_, value);
    *end_++ = '\n';
  }
  // An object's handle (hexadecimal), for codes 5, 105, 330, 340, 350, 360 and 390.
  void Handle(int code, uint32_t handle) {
    Code(code, kGroupBytes);
    int digits = std::max(1, static_cast<int>(std::bit_width(handle) + 3) / 4);
    for (int i = digits - 1; i >= 0; --i) end_[i] = "0123456789ABCDEF"[handle & 15], handle >>= 4;
    end_ += digits;
    *end_++ = '\n';
  }
  // 10/20/30 (or 11/21/31, ...) for a point in the plane.
  void Point(int code, double x, double y) {
    Real(code, x);
    Real(code + 10, y);
    Real(code + 20, 0.0);
  }

  // Hands the groups collected so far to the sink; a failing sink raises TIoError.
  void Flush();

 private:
  // More than any group but a long text needs: a code, a number and two line ends.
  static constexpr std::size_t kGroupBytes = 64;

  // Room for at least bytes more at end_, and the code with its line ended there.
  void Code(int code, std::size_t bytes) {
    if (capacity_ - static_cast<std::size_t>(end_ - block_.get()) < bytes) [[unlikely]] Grow(bytes);
    // Readers take a code with or without the blanks that once aligned it; without them the file
    // is a tenth smaller.
    if (code >= 0 && code < kDxfCodes) [[likely]] {
      std::memcpy(end_, kDxfCodeLines[code].Bytes, sizeof kDxfCodeLines[code].Bytes);
      end_ += kDxfCodeLines[code].Size;
      return;
    }
    end_ = std::to_chars(end_, end_ + kGroupBytes, code).ptr;
    *end_++ = '\n';
  }
  // A larger block, with room for at least bytes more.
  void Grow(std::size_t bytes);

  TByteSink& sink_;
  // A block of memory written straight through a pointer: appending to a string cost a third of
  // the formatting time. In huge pages: a megabyte first touched in small pages costs some 3 ms
  // here.
  std::unique_ptr<char, TLargeRelease> block_;
  std::size_t capacity_ = 0;
  char* end_ = nullptr;  // where the groups collected so far end
};

// The order in which the pieces of a file, formatted on several threads, reach its sink: each
// thread takes the next piece, formats it into its own groups, and hands them over once every
// piece before it is written.
class TPieceOrder {
 public:
  explicit TPieceOrder(std::size_t pieces) : pieces_(pieces) {}
  // The next piece to format; nothing when every piece is taken or a thread has failed.
  std::optional<std::size_t> Take();
  // Waits until the pieces before piece are written, then flushes groups (its groups); answers
  // false, writing nothing, when a thread has failed meanwhile. A failing sink raises TIoError.
  bool Write(std::size_t piece, TDxfGroups& groups);
  // Called by a thread that will not write its piece: the others stop waiting for it.
  void Fail();

 private:
  std::mutex mutex_;
  std::condition_variable written_;
  std::size_t pieces_;
  std::size_t taken_ = 0;
  std::size_t next_ = 0;  // the piece to be written next
  bool failed_ = false;
};

// A text as a DXF string value: control characters, which would end the line, in caret notation
// ("^J" for a line feed), as DXF readers decode it.
std::string DxfString(std::string_view utf8);

}  // namespace torvane
