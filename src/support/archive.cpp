#include "support/archive.h"

#include <system_error>

#include "support/cp932.h"
#include "support/parallel.h"

namespace torvane {

TArchiveWriter::TArchiveWriter(TByteSink& sink, std::size_t bufferSize)
    : sink_(sink),
      capacity_(bufferSize > 0 ? bufferSize : 1),
      buffer_(std::make_unique_for_overwrite<uint8_t[]>(capacity_)) {}

void TArchiveWriter::WriteString(std::string_view text) {
  std::size_t length = text.size();
  if (length < 255) {
    WriteByte(static_cast<uint8_t>(length));
  } else if (length < 65534) {
    WriteByte(0xFF);
    WriteWord(static_cast<uint16_t>(length));
  } else {
    WriteByte(0xFF);
    WriteWord(0xFFFF);
    WriteDword(static_cast<uint32_t>(length));
  }
  WriteBytes(text.data(), length);
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
  WriteWord(0xFFFF);
  WriteWord(kArchiveSchema);
  WriteWord(static_cast<uint16_t>(name.size()));
  WriteBytes(name.data(), name.size());
}

void TArchiveWriter::WriteClassRef(uint32_t index) {
  if (index < 0x7FFD) {
    WriteWord(static_cast<uint16_t>(0x8000 | index));
  } else {
    WriteWord(0x7FFF);
    WriteDword(0x80000000u | index);
  }
}

TArchiveWriter::~TArchiveWriter() {
  if (pending_.valid()) pending_.wait();
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
