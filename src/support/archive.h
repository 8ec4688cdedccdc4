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

// The byte layouts of the archive, stored at p; each answers the byte after what it stored. The
// archive writer and the formatters of record runs share them.
template <typename T>
uint8_t* StoreLittleEndian(uint8_t* p, T value) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &value, sizeof value);
  } else {
    for (std::size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
  }
  return p + sizeof value;
}
inline uint8_t* StoreDouble(uint8_t* p, double x) { return StoreLittleEndian(p, std::bit_cast<uint64_t>(x)); }
// Length prefix: 1 byte up to 254; 0xFF and 2 bytes up to 65,533; from 65,534 on 0xFF, 0xFFFF
// and 4 bytes (65,534 in the 2-byte form would read back as the Unicode marker).
inline std::size_t LengthPrefixBytes(std::size_t length) { return length < 255 ? 1 : length < 65534 ? 3 : 7; }
uint8_t* StoreLengthPrefix(uint8_t* p, std::size_t length);
inline std::size_t NewClassBytes(std::string_view name) { return 6 + name.size(); }
uint8_t* StoreNewClass(uint8_t* p, std::string_view name);
inline std::size_t ClassRefBytes(uint32_t index) { return index < 0x7FFD ? 2 : 6; }
// Inline: every record of an object list begins with one.
inline uint8_t* StoreClassRef(uint8_t* p, uint32_t index) {
  if (index < 0x7FFD) return StoreLittleEndian(p, static_cast<uint16_t>(0x8000 | index));
  p = StoreLittleEndian(p, uint16_t{0x7FFF});
  return StoreLittleEndian(p, 0x80000000u | index);
}

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
  // Formats size bytes (at most kMaxPut) in place: format(p) writes exactly size bytes from p,
  // straight into the buffer wherever they fit.
  static constexpr std::size_t kMaxPut = 512;
  template <typename Format>
  void Put(std::size_t size, const Format& format) {
    if (size > capacity_ - used_) [[unlikely]] {
      if (size > capacity_) {
        uint8_t local[kMaxPut];
        format(local);
        Append(local, size);
        return;
      }
      HandOver();
    }
    format(buffer_.get() + used_);
    used_ += size;
  }
  TByteSink& Sink() { return sink_; }

  // A length prefix (StoreLengthPrefix), then the bytes.
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
    Put(sizeof value, [value](uint8_t* p) { StoreLittleEndian(p, value); });
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
