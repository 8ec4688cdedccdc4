#include "dxf/dxfgroups.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "support/parallel.h"

namespace torvane {
namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
// More than any group but a long text needs: a code, a number and two line ends.
constexpr std::size_t kGroupBytes = 64;

}  // namespace

TDxfGroups::TDxfGroups(TByteSink& sink) : sink_(sink) {
  filling_.Capacity = kBlockBytes + kGroupBytes;
  filling_.Bytes = std::make_unique_for_overwrite<char[]>(filling_.Capacity);
  end_ = filling_.Bytes.get();
}

TDxfGroups::~TDxfGroups() {
  if (handover_.valid()) handover_.wait();
}

void TDxfGroups::Code(int code, std::size_t bytes) {
  std::size_t used = static_cast<std::size_t>(end_ - filling_.Bytes.get());
  if (filling_.Capacity - used < bytes) {
    // Only a text longer than the slack gets here.
    std::size_t capacity = used + bytes + kBlockBytes;
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    std::copy(filling_.Bytes.get(), end_, grown.get());
    filling_.Bytes = std::move(grown);
    filling_.Capacity = capacity;
    end_ = filling_.Bytes.get() + used;
  }
  // Readers take a code with or without the blanks that once aligned it; without them the file is
  // a tenth smaller.
  end_ = std::to_chars(end_, end_ + kGroupBytes, code).ptr;
  *end_++ = '\n';
}

void TDxfGroups::EndLine() {
  *end_++ = '\n';
  FlushWhenFull();
}

void TDxfGroups::Text(int code, std::string_view value) {
  Code(code, kGroupBytes + value.size());
  end_ = std::copy(value.begin(), value.end(), end_);
  EndLine();
}

void TDxfGroups::Int(int code, int64_t value) {
  Code(code, kGroupBytes);
  end_ = std::to_chars(end_, end_ + 24, value).ptr;
  EndLine();
}

void TDxfGroups::Real(int code, double value) {
  Code(code, kGroupBytes);
  end_ = std::to_chars(end_, end_ + 32, value).ptr;
  EndLine();
}

void TDxfGroups::Handle(int code, uint32_t handle) {
  Code(code, kGroupBytes);
  char* digits = end_;
  end_ = std::to_chars(end_, end_ + 12, handle, 16).ptr;
  for (char* c = digits; c != end_; ++c) {
    if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
  }
  EndLine();
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
  filling_.Size = static_cast<std::size_t>(end_ - filling_.Bytes.get());
  if (filling_.Size < kBlockBytes) return;
  Settle();
  std::swap(handing_, filling_);
  if (!filling_.Bytes) {
    filling_.Capacity = kBlockBytes + kGroupBytes;
    filling_.Bytes = std::make_unique_for_overwrite<char[]>(filling_.Capacity);
  }
  filling_.Size = 0;
  end_ = filling_.Bytes.get();
  auto write = [this] { sink_.Write(reinterpret_cast<const uint8_t*>(handing_.Bytes.get()), handing_.Size); };
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
  filling_.Size = static_cast<std::size_t>(end_ - filling_.Bytes.get());
  sink_.Write(reinterpret_cast<const uint8_t*>(filling_.Bytes.get()), filling_.Size);
  end_ = filling_.Bytes.get();
  filling_.Size = 0;
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
