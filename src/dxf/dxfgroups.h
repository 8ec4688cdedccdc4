// The byte layer of a DXF file: group codes and their values, one per line, collected in a block
// and handed to a sink a block at a time. A full block is handed over on a second thread while the
// next one fills (unless this thread works serially), so formatting and writing overlap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <string_view>

#include "support/outputfile.h"

namespace torvane {

class TDxfGroups {
 public:
  explicit TDxfGroups(TByteSink& sink);
  // Waits for a block still being handed over.
  ~TDxfGroups();
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

  // Hands the rest to the sink and waits until it has taken every byte; a failing sink raises
  // TIoError.
  void Flush();

 private:
  // Room for at least bytes more at end_, and the code with its line ended there.
  void Code(int code, std::size_t bytes);
  void EndLine();
  void FlushWhenFull();
  // Waits for the block being handed over; raises what its write raised.
  void Settle();

  // A block of memory written straight through a pointer: appending to a string cost a third of
  // the formatting time.
  struct TBlock {
    std::unique_ptr<char[]> Bytes;
    std::size_t Capacity = 0;
    std::size_t Size = 0;
  };

  TByteSink& sink_;
  TBlock filling_;
  TBlock handing_;  // being handed to the sink
  char* end_ = nullptr;  // where filling_ ends
  std::future<void> handover_;
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
