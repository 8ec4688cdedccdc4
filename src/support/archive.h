// The object-archive byte conventions of the Windows-edition files: little-endian numbers,
// length-prefixed texts, and class introductions and references of an object list. Bytes are
// gathered in a buffer and handed to the sink in large blocks; a full block is written on another
// thread while the next one fills, so that formatting and the file system work at the same time.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <future>
#include <memory>
#include <string_view>

#include "support/outputfile.h"

namespace torvane {

inline constexpr uint16_t kArchiveSchema = 230;

class TArchiveWriter {
 public:
  explicit TArchiveWriter(TByteSink& sink, std::size_t bufferSize = 1 << 20);
  // Waits for a block still being written; Flush is not called here: a writer that is dropped
  // after a failure writes nothing more.
  ~TArchiveWriter();
  TArchiveWriter(const TArchiveWriter&) = delete;
  TArchiveWriter& operator=(const TArchiveWriter&) = delete;

  void WriteByte(uint8_t b) { Append(&b, 1); }
  void WriteWord(uint16_t w) { AppendLittleEndian(w); }
  void WriteDword(uint32_t d) { AppendLittleEndian(d); }
  void WriteDouble(double x) { AppendLittleEndian(std::bit_cast<uint64_t>(x)); }
  void WriteBytes(const void* data, std::size_t size) { Append(data, size); }

  // Length prefix: 1 byte up to 254; 0xFF and 2 bytes up to 65,533; from 65,534 on 0xFF, 0xFFFF
  // and 4 bytes (65,534 in the 2-byte form would read back as the Unicode marker).
  void WriteString(std::string_view text);
  // 1 byte of length, then the bytes; a text over 254 bytes is cut at the last whole CP932
  // character that fits.
  void WriteShortString(std::string_view text);
  void WriteCount(uint32_t n);
  void WriteNewClass(std::string_view name);
  void WriteClassRef(uint32_t index);

  // Hands every buffered byte to the sink and waits until it has them; a failed write of any
  // block raises its TIoError here at the latest.
  void Flush();

 private:
  void Append(const void* data, std::size_t size) {
    if (size <= capacity_ - used_) [[likely]] {
      std::memcpy(buffer_.get() + used_, data, size);
      used_ += size;
      return;
    }
    if (size > capacity_) {
      Flush();
      sink_.Write(static_cast<const uint8_t*>(data), size);
      return;
    }
    HandOver();
    std::memcpy(buffer_.get() + used_, data, size);
    used_ += size;
  }
  template <typename T>
  void AppendLittleEndian(T value) {
    if constexpr (std::endian::native == std::endian::little) {
      Append(&value, sizeof value);
    } else {
      uint8_t bytes[sizeof(T)];
      for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
      Append(bytes, sizeof bytes);
    }
  }

  // Starts writing the full buffer on another thread and goes on in the spare one.
  void HandOver();
  // Waits for the block being written, if any; raises its failure.
  void AwaitPending();

  TByteSink& sink_;
  // Left uninitialised: a small file touches only the start of its megabyte.
  std::size_t capacity_;
  std::unique_ptr<uint8_t[]> buffer_;
  std::unique_ptr<uint8_t[]> spare_;  // the block being written while buffer_ fills
  std::size_t used_ = 0;
  std::future<void> pending_;
};

}  // namespace torvane
