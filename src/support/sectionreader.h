// What the drawing and part readers share: header blocks, record arrays sized only from counts
// that the file can hold, and failures that say where the file ends.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/bytereader.h"
#include "support/largearray.h"
#include "support/parallel.h"
#include "support/records.h"

namespace torvane {

// A decoder as a type of its own, so that reading loops call it directly and inline it (through a
// pointer, each of millions of records paid a call).
template <auto Decode>
inline constexpr auto Inlined = [](const auto& record) { return Decode(record); };

class TSectionReader {
 public:
  TSectionReader(TByteReader in, TReadFailure* failure) : in_(in), failure_(failure) {}
  // Arrays sized but never read, as when the file ends before them, hold zero records.
  ~TSectionReader() {
    for (std::span<std::byte> bytes : unread_) std::memset(bytes.data(), 0, bytes.size());
  }
  TSectionReader(const TSectionReader&) = delete;
  TSectionReader& operator=(const TSectionReader&) = delete;

 protected:
  // Sets the failure (when there is one to set) to reason at the current byte; false.
  bool Fail(TReadReason reason, TReadWord part = TReadWord::TextPool);
  bool EndsIn(TReadWord part) { return Fail(TReadReason::EndsInside, part); }

  template <std::size_t N>
  bool ReadHeaderBlocks(std::array<std::string, N>& blocks, std::size_t blockSize) {
    for (std::size_t i = 0; i < N; ++i) {
      std::span<const uint8_t> bytes;
      if (!in_.Take(blockSize, bytes)) {
        if (failure_ != nullptr) failure_->Index = i;
        return Fail(TReadReason::EndsInHeader);
      }
      blocks[i].assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    return true;
  }

  // Sizes records to count, which must be 0 or more and whose records must fit in available
  // bytes (what the file holds after its header blocks): a count the file cannot hold never
  // reaches the allocator. section names the records.
  template <typename Records>
  bool SizeRecords(Records& records, int32_t count, std::size_t recordSize, std::size_t available,
                   TReadWord section) {
    if (!CountFits(count, recordSize, available, section)) return false;
    {
      // ReadRecords or the end of the reading fills every byte.
      TSizingForOverwrite overwritten;
      records.resize(static_cast<std::size_t>(count));
    }
    if (!records.empty()) unread_.push_back(std::as_writable_bytes(std::span(records.data(), records.size())));
    return true;
  }

  // Fills records from the file, each from its whole record; records the file ends before stay
  // zero. A file's records are taken a window at a time, each decoded in two halves at once when
  // there are many.
  template <std::size_t N, typename Records, typename Decode>
  bool ReadRecords(Records& records, Decode decode, TReadWord section) {
    const std::size_t piece = std::max<std::size_t>(1, in_.PieceBytes() / N);
    std::size_t complete = 0;
    for (std::size_t n = 0; complete < records.size(); complete += n) {
      n = std::min({records.size() - complete, piece, in_.Remaining() / N});
      std::span<const uint8_t> bytes;
      if (n == 0) break;
      if (!in_.Take(n * N, bytes)) {
        // The file ended before its size said (it was cut while read): the whole records before
        // its end are still read.
        n = std::min(n, in_.Remaining() / N);
        if (n == 0 || !in_.Take(n * N, bytes)) break;
      }
      ForInHalves(n, [&, first = complete](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
          records[first + i] = decode(TRecordBytes<N>(bytes.subspan(i * N).template first<N>()));
        }
      });
    }
    std::fill(records.begin() + static_cast<std::ptrdiff_t>(complete), records.end(),
              typename Records::value_type{});
    const auto* filled = reinterpret_cast<const std::byte*>(records.data());
    std::erase_if(unread_, [filled](std::span<std::byte> b) { return b.data() == filled; });
    return complete == records.size() || EndsIn(section);
  }

  // ResolvePoolTexts, with its failure set at the current byte.
  bool ResolveTexts(std::span<const uint8_t> pool, std::span<TMoji2> texts,
                    const std::function<int64_t(const TMoji2&)>& offsetOf, TTextPool& store);

  TByteReader in_;
  TReadFailure* failure_;

 private:
  std::vector<std::span<std::byte>> unread_;  // arrays sized for overwriting and not yet read
  bool CountFits(int32_t count, std::size_t recordSize, std::size_t available, TReadWord section);
};

// Reads an open file through a window in bytes' memory (kept for the next file) with read; a file
// that cannot be read leaves the document reset and fails.
template <typename Document>
bool ReadFileWith(TInputFile& file, TFileBytes& bytes, Document& document, TReadFailure* failure,
                  bool (*read)(TByteReader, Document&, TReadFailure*), void (*reset)(Document&)) {
  int error = file.IsRegular() ? 0 : file.Error();
  if (error == 0) {
    TFileWindow window(file, bytes);
    bool complete = read(TByteReader(window), document, failure);
    if (window.Error() == 0) return complete;
    error = window.Error();
  }
  reset(document);
  if (failure != nullptr) {
    *failure = TReadFailure{};
    failure->Reason = TReadReason::CannotOpen;
    failure->OpenError = error;
  }
  return false;
}

template <typename Document>
bool ReadFileWith(const std::string& path, Document& document, TReadFailure* failure,
                  bool (*read)(TByteReader, Document&, TReadFailure*), void (*reset)(Document&)) {
  TInputFile file(path);
  TFileBytes bytes;
  return ReadFileWith(file, bytes, document, failure, read, reset);
}

}  // namespace torvane
