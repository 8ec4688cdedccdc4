// The object-archive byte conventions of the Windows-edition files: little-endian numbers,
// length-prefixed texts, and class introductions and references of an object list. Bytes are
// gathered in a buffer and handed to the sink in large blocks.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "support/outputfile.h"

namespace torvane {

inline constexpr uint16_t kArchiveSchema = 230;

class TArchiveWriter {
 public:
  explicit TArchiveWriter(TByteSink& sink, std::size_t bufferSize = 1 << 20);
  // Flush is not called here: a writer that is dropped after a failure writes nothing more.
  ~TArchiveWriter() = default;
  TArchiveWriter(const TArchiveWriter&) = delete;
  TArchiveWriter& operator=(const TArchiveWriter&) = delete;

  void WriteByte(uint8_t b) { Append(&b, 1); }
  void WriteWord(uint16_t w) { AppendLittleEndian(w); }
  void WriteDword(uint32_t d) { AppendLittleEndian(d); }
  void WriteDouble(double x);
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

  // Hands every buffered byte to the sink.
  void Flush();

 private:
  void Append(const void* data, std::size_t size) {
    if (size > buffer_.size() - used_) Flush();
    if (size > buffer_.size()) {
      sink_.Write(static_cast<const uint8_t*>(data), size);
      return;
    }
    std::memcpy(buffer_.data() + used_, data, size);
    used_ += size;
  }
  template <typename T>
  void AppendLittleEndian(T value) {
    uint8_t bytes[sizeof(T)];
    for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    Append(bytes, sizeof bytes);
  }

  TByteSink& sink_;
  std::vector<uint8_t> buffer_;
  std::size_t used_ = 0;
};

}  // namespace torvane
