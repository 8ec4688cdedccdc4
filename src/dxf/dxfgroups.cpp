#include "dxf/dxfgroups.h"

#include <charconv>
#include <system_error>

#include "support/parallel.h"

namespace torvane {
namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

void Append(std::string& buffer, int64_t value) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  buffer.append(digits, end);
}

}  // namespace

TDxfGroups::TDxfGroups(TByteSink& sink) : sink_(sink) { buffer_.reserve(kBlockBytes + 4096); }

TDxfGroups::~TDxfGroups() {
  if (handover_.valid()) handover_.wait();
}

void TDxfGroups::Code(int code) {
  // Readers take a code with or without the blanks that once aligned it; without them the file is
  // a tenth smaller.
  Append(buffer_, code);
  buffer_ += '\n';
}

void TDxfGroups::Text(int code, std::string_view value) {
  Code(code);
  buffer_ += value;
  buffer_ += '\n';
  FlushWhenFull();
}

void TDxfGroups::Int(int code, int64_t value) {
  Code(code);
  Append(buffer_, value);
  buffer_ += '\n';
  FlushWhenFull();
}

void TDxfGroups::Real(int code, double value) {
  Code(code);
  char digits[32];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  buffer_.append(digits, end);
  buffer_ += '\n';
  FlushWhenFull();
}

void TDxfGroups::Handle(int code, uint32_t handle) {
  Code(code);
  char digits[12];
  auto end = std::to_chars(digits, digits + sizeof digits, handle, 16).ptr;
  for (char* c = digits; c != end; ++c) {
    if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
  }
  buffer_.append(digits, end);
  buffer_ += '\n';
  FlushWhenFull();
}

void TDxfGroups::Point(int code, double x, double y) {
  Real(code, x);
  Real(code + 10, y);
  Real(code + 20, 0.0);
}

void TDxfGroups::Settle() {
  if (handover_.valid()) handover_.get();
}

void TDxfGroups::FlushWhenFull() {
  if (buffer_.size() < kBlockBytes) return;
  Settle();
  handing_.swap(buffer_);
  buffer_.clear();
  auto write = [this] { sink_.Write(reinterpret_cast<const uint8_t*>(handing_.data()), handing_.size()); };
  if (!SerialWorkOnThisThread) {
    try {
      handover_ = std::async(std::launch::async, write);
      return;
    } catch (const std::system_error&) {
      // No thread to be had: written here.
    }
  }
  write();
}

void TDxfGroups::Flush() {
  Settle();
  sink_.Write(reinterpret_cast<const uint8_t*>(buffer_.data()), buffer_.size());
  buffer_.clear();
}

std::string DxfString(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20) {
      out += '^';
      out += static_cast<char>(byte + 0x40);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace torvane
