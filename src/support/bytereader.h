// Checked little-endian reading of file contents held in memory. A read past the end fails and
// reads nothing; fixed-size records are taken whole and then decoded at offsets that are checked
// when the program is compiled.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <type_traits>

#include <sys/types.h>

#include "support/largearray.h"
#include "support/readfailure.h"

namespace torvane {

// Memory a file is read into, kept from file to file.
struct TFileBytes {
  std::unique_ptr<uint8_t, TLargeRelease> data;
  std::size_t Capacity() const { return data ? data.get_deleter().capacity : 0; }
};

// A file opened once for reading: asked once what it is, then read from that one descriptor.
// Opened without blocking, so that a named pipe or a device cannot hold the reader; only regular
// files are read.
class TInputFile {
 public:
  explicit TInputFile(const std::string& path);
  ~TInputFile();
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  // True for a regular file; otherwise Error says why it cannot be read (the errno of the open,
  // EISDIR for a folder, EINVAL for anything else that is not a regular file).
  bool IsRegular();
  int Error() const { return error_; }
  // The size of a regular file when IsRegular asked.
  uint64_t Size() const { return size_; }
  // Reads up to n bytes from offset on, fewer only at the end of the file, leaving the file's
  // position alone; the count read, or -1 with error set. Two threads may read apart at once.
  ssize_t ReadAt(uint8_t* data, std::size_t n, off_t offset, int& error) const;

 private:
  int fd_;
  int error_;
  int regular_ = -1;  // not asked yet
  uint64_t size_ = 0;
};

// A regular file read through a window of memory that moves on as its bytes are taken: a large
// file is never held whole, only the largest piece asked for at once, and the window's memory,
// touched once, serves every piece.
class TFileWindow {
 public:
  // The window's usual size; a larger piece (a long text pool) widens it.
  static constexpr std::size_t kWindowBytes = std::size_t{4} << 20;

  // file must be regular (IsRegular asked); memory is used and kept when large enough.
  TFileWindow(const TInputFile& file, TFileBytes& memory) : file_(file), memory_(memory), size_(file.Size()) {}

  // The bytes from offset on, at least n of them, read as far as they are not held yet; the held
  // bytes before offset are let go (offset never goes back). False when the file ends first or a
  // read fails (Error); then nothing more is read.
  bool Hold(uint64_t offset, std::size_t n, std::span<const uint8_t>& held);
  // The file's size, or where a read found it ending (a file cut while it is read).
  uint64_t Size() const { return size_; }
  // The errno of a failed read or allocation (ENOMEM), or 0.
  int Error() const { return error_; }

 private:
  const TInputFile& file_;
  TFileBytes& memory_;
  uint64_t size_;
  uint64_t start_ = 0;     // the file offset of the first held byte
  std::size_t held_ = 0;   // bytes held from start_ on
  int error_ = 0;
};

// Reads the whole of a file that is small by nature (a settings or environment file); false when it
// cannot be opened or read, with the errno in error when given (EISDIR for a folder, EINVAL for
// anything else that is not a regular file, EFBIG for one of more than maxBytes, of which no more
// than that is ever held).
bool LoadSmallFile(const std::string& path, std::size_t maxBytes, std::string& out, int* error = nullptr);
// Reads the first n bytes (fewer when the file is shorter); false when it cannot be opened or read,
// with the errno in error as LoadFileBytes gives it.
bool LoadFilePrefix(const std::string& path, std::size_t n, std::string& out, int* error = nullptr);

template <std::size_t N>
class TRecordBytes {
 public:
  TRecordBytes() = default;
  explicit TRecordBytes(std::span<const uint8_t, N> bytes) { std::memcpy(bytes_.data(), bytes.data(), N); }

  uint8_t* Data() { return bytes_.data(); }

  template <std::size_t Offset>
  uint8_t U8() const {
    static_assert(Offset < N);
    return bytes_[Offset];
  }
  template <std::size_t Offset>
  uint16_t U16() const { return Get<uint16_t, Offset>(); }
  template <std::size_t Offset>
  int16_t S16() const { return static_cast<int16_t>(Get<uint16_t, Offset>()); }
  template <std::size_t Offset>
  uint32_t U32() const { return Get<uint32_t, Offset>(); }
  template <std::size_t Offset>
  int32_t S32() const { return static_cast<int32_t>(Get<uint32_t, Offset>()); }
  template <std::size_t Offset>
  float F32() const { return std::bit_cast<float>(Get<uint32_t, Offset>()); }

 private:
  template <typename T, std::size_t Offset>
  T Get() const {
    static_assert(Offset + sizeof(T) <= N);
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(T{bytes_[Offset + i]} << (8 * i));
    return value;
  }

  std::array<uint8_t, N> bytes_{};
};

// Reads bytes held in memory, or a file through its window.
class TByteReader {
 public:
  explicit TByteReader(std::span<const uint8_t> data) : held_(data) {}
  explicit TByteReader(TFileWindow& window) : window_(&window) {}

  std::size_t Position() const { return position_; }
  std::size_t Remaining() const {
    return window_ == nullptr ? held_.size() - position_ : static_cast<std::size_t>(window_->Size() - position_);
  }
  // The most bytes one Take should ask for: a file's window holds that much without widening.
  std::size_t PieceBytes() const { return window_ == nullptr ? held_.size() : TFileWindow::kWindowBytes; }

  // The next n bytes, consumed; false (nothing consumed) when fewer remain. They stay valid until
  // the next Take.
  bool Take(std::size_t n, std::span<const uint8_t>& out) {
    std::size_t offset = position_ - heldStart_;
    if (n > held_.size() - offset) {
      if (window_ == nullptr || n > Remaining()) return false;
      // The window now holds the bytes from here on, or nothing that may be read again.
      heldStart_ = position_;
      offset = 0;
      if (!window_->Hold(position_, n, held_)) {
        held_ = {};
        return false;
      }
    }
    out = held_.subspan(offset, n);
    position_ += n;
    return true;
  }
  bool ReadBytes(void* destination, std::size_t n) {
    std::span<const uint8_t> bytes;
    if (!Take(n, bytes)) return false;
    if (n > 0) std::memcpy(destination, bytes.data(), n);
    return true;
  }
  template <std::size_t N>
  bool ReadRecord(TRecordBytes<N>& record) { return ReadBytes(record.Data(), N); }

  bool ReadU8(uint8_t& value) { return ReadBytes(&value, 1); }
  bool ReadU16(uint16_t& value) { return ReadValue<2>(value); }
  bool ReadS16(int16_t& value) { return ReadValue<2>(value); }
  bool ReadF32(float& value) { return ReadValue<4>(value); }

 private:
  template <std::size_t N, typename T>
  bool ReadValue(T& value) {
    TRecordBytes<N> record;
    if (!ReadRecord(record)) return false;
    if constexpr (std::is_same_v<T, float>) {
      value = record.template F32<0>();
    } else if constexpr (N == 2) {
      value = static_cast<T>(record.template U16<0>());
    } else {
      value = static_cast<T>(record.template U32<0>());
    }
    return true;
  }

  TFileWindow* window_ = nullptr;
  std::span<const uint8_t> held_;  // the bytes from heldStart_ on
  std::size_t heldStart_ = 0, position_ = 0;
};

}  // namespace torvane
