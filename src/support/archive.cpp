#include "support/archive.h"

#include <system_error>

#include "support/cp932.h"
#include "support/parallel.h"

namespace torvane {

namespace {

// The buffer of the last writer that ended on this thread, kept for the next: a worker that
// writes file after file allocates it once.
struct TKeptBuffer {
  std::unique_ptr<uint8_t[]> Data;
  std::size_t Capacity = 0;
};
thread_local TKeptBuffer keptBuffer;

std::unique_ptr<uint8_t[]> TakeBuffer(std::size_t capacity) {
  if (keptBuffer.Data && keptBuffer.Capacity == capacity) return std::move(keptBuffer.Data);
  return std::make_unique_for_overwrite<uint8_t[]>(capacity);
}

}  // namespace

TArchiveWriter::TArchiveWriter(TByteSink& sink, std::size_t bufferSize)
    : sink_(sink), capacity_(bufferSize > 0 ? bufferSize : 1), buffer_(TakeBuffer(capacity_)) {}

uint8_t* StoreLengthPrefix(uint8_t* p, std::size_t length) {
  if (length < 255) return StoreLittleEndian(p, static_cast<uint8_t>(length));
  p = StoreLittleEndian(p, uint8_t{0xFF});
  if (length < 65534) return StoreLittleEndian(p, static_cast<uint16_t>(length));
  p = StoreLittleEndian(p, uint16_t{0xFFFF});
  return StoreLittleEndian(p, static_cast<uint32_t>(length));
}

uint8_t* StoreNewClass(uint8_t* p, std::string_view name) {
  p = StoreLittleEndian(p, uint16_t{0xFFFF});
  p = StoreLittleEndian(p, kArchiveSchema);
  p = StoreLittleEndian(p, static_cast<uint16_t>(name.size()));
  std::memcpy(p, name.data(), name.size());
  return p + name.size();
}

void TArchiveWriter::WriteString(std::string_view text) {
  Put(LengthPrefixBytes(text.size()), [&](uint8_t* p) { StoreLengthPrefix(p, text.size()); });
  WriteBytes(text.data(), text.size());
}

void TArchiveWriter::WriteShortString(std::string_view text) {
  text = text.substr(0, Cp932PrefixLength(text, 254));
  WriteByte(static_cast<uint8_t>(text.size()));
  WriteBytes(text.data(), text.size());
}

void TArchiveWriter::WriteCount(uint32_t n) {
  if (n < 0xFFFF) {
    WriteWord(static_cast<uint16_t>(n));
  } else {
    WriteWord(0xFFFF);
    WriteDword(n);
  }
}

void TArchiveWriter::WriteNewClass(std::string_view name) {
  // Class names are a few letters: they always fit one Put.
  Put(NewClassBytes(name), [&](uint8_t* p) { StoreNewClass(p, name); });
}

void TArchiveWriter::WriteClassRef(uint32_t index) {
  Put(ClassRefBytes(index), [&](uint8_t* p) { StoreClassRef(p, index); });
}

TArchiveWriter::~TArchiveWriter() {
  if (pending_.valid()) pending_.wait();
  keptBuffer = TKeptBuffer{std::move(buffer_), capacity_};
}

void TArchiveWriter::AwaitPending() {
  if (pending_.valid()) pending_.get();
}

void TArchiveWriter::HandOver() {
  AwaitPending();
  if (!spare_) spare_ = std::make_unique_for_overwrite<uint8_t[]>(capacity_);
  std::swap(buffer_, spare_);
  std::size_t size = used_;
  used_ = 0;
  if (SerialWorkOnThisThread) {
    sink_.Write(spare_.get(), size);
    return;
  }
  try {
    pending_ = std::async(std::launch::async, [this, size] { sink_.Write(spare_.get(), size); });
  } catch (const std::system_error&) {
    sink_.Write(spare_.get(), size);  // no thread to be had: write here
  }
}

void TArchiveWriter::Flush() {
  AwaitPending();
  if (used_ == 0) return;
  std::size_t size = used_;
  used_ = 0;
  sink_.Write(buffer_.get(), size);
}

}  // namespace torvane
