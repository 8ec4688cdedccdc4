// The byte layer of a DXF file: group codes and their values, one per line, collected in a block
// that its owner hands to a sink a piece of the file at a time; pieces may be formatted on two
// threads at once and written in their order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "support/outputfile.h"

namespace torvane {

class TDxfGroups {
 public:
  explicit TDxfGroups(TByteSink& sink);
  TDxfGroups(const TDxfGroups&) = delete;
  TDxfGroups& operator=(const TDxfGroups&) = delete;

  void Text(int code, std::string_view value);
  void Int(int code, int64_t value);
  // The shortest decimal that reads back as the very same double; the value must be finite.
  void Real(int code, double value);
  // An object's handle (hexadecimal), for codes 5, 105, 330, 340, 350, 360 and 390.
  void Handle(int code, uint32_t handle);
  // 10/20/30 (or 11/21/31, ...) for a point in the plane.
  void Point(int code, double x, double y);

  // Hands the groups collected so far to the sink; a failing sink raises TIoError.
  void Flush();

 private:
  // Room for at least bytes more at end_, and the code with its line ended there.
  void Code(int code, std::size_t bytes);
  // A larger block, with room for at least bytes more.
  void Grow(std::size_t bytes);

  TByteSink& sink_;
  // A block of memory written straight through a pointer: appending to a string cost a third of
  // the formatting time.
  std::unique_ptr<char[]> block_;
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

// The characters of std::to_chars(value): the shortest decimal that reads back as the very same
// double, in fixed or exponent form, whichever is shorter (fixed on a tie); value must be finite.
// Written at first (room for 32 characters); answers where they end. Short decimals, which are
// nearly all of a drawing's numbers, take a quicker way than the general one.
char* ShortestDecimal(char* first, double value);

// A text as a DXF string value: control characters, which would end the line, in caret notation
// ("^J" for a line feed), as DXF readers decode it.
std::string DxfString(std::string_view utf8);

}  // namespace torvane
