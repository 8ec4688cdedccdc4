#include "support/cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace torvane {
namespace {

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

class TIconv {
 public:
  TIconv(const char* to, const char* from) : handle_(iconv_open(to, from)) {
    if (handle_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
  }
  ~TIconv() { iconv_close(handle_); }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;

  // Converts the whole input; onInvalid is called with the remaining input when a sequence cannot
  // be converted and returns how many input bytes to skip (0 to give up).
  template <typename OnInvalid>
  bool Convert(std::string_view input, std::string& output, OnInvalid onInvalid) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
      char* out = buffer;
      std::size_t outLeft = sizeof buffer;
      std::size_t result = iconv(handle_, &in, &inLeft, &out, &outLeft);
      int error = errno;
      output.append(buffer, static_cast<std::size_t>(out - buffer));
      if (result != static_cast<std::size_t>(-1)) continue;
      if (error == E2BIG) continue;
      std::size_t skip = onInvalid(std::string_view(in, inLeft), output);
      if (skip == 0 || skip > inLeft) return false;
      in += skip;
      inLeft -= skip;
    }
    return true;
  }

 private:
  iconv_t handle_;
};

}  // namespace

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  TIconv converter("CP932", "UTF-8");
  std::string result;
  if (!converter.Convert(utf8, result, [](std::string_view, std::string&) { return std::size_t{0}; })) {
    return std::nullopt;
  }
  return result;
}

std::string Cp932ToUtf8(std::string_view cp932) {
  // One per thread: opening the conversion costs more than a summary's few texts, and a batch
  // worker decodes some for every file.
  thread_local TCp932Decoder decoder;
  return decoder.Decode(cp932);
}

class TCp932Decoder::TConverter : public TIconv {
 public:
  TConverter() : TIconv("UTF-8", "CP932") {}
};

TCp932Decoder::TCp932Decoder() = default;

TCp932Decoder::~TCp932Decoder() = default;

std::string TCp932Decoder::Decode(std::string_view cp932) {
  // ASCII is the same in both.
  if (std::all_of(cp932.begin(), cp932.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::string(cp932);
  }
  // Opened at the first text that needs it: loading the conversion costs more than half a
  // millisecond, and most drawings' summaries are ASCII.
  if (converter_ == nullptr) converter_ = std::make_unique<TConverter>();
  std::string result;
  converter_->Convert(cp932, result, [](std::string_view rest, std::string& output) {
    output += "\xEF\xBF\xBD";
    // A lead byte with a valid-looking trail is one unknown character; otherwise skip one byte.
    bool pair = rest.size() >= 2 && IsLeadByte(static_cast<unsigned char>(rest[0])) &&
                static_cast<unsigned char>(rest[1]) >= 0x40;
    return std::size_t{pair ? 2u : 1u};
  });
  return result;
}

std::size_t Cp932PrefixLength(std::string_view text, std::size_t maxBytes) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t width = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    if (i + width > maxBytes) break;
    i += width;
  }
  return std::min(i, text.size());
}

std::size_t Utf8CharacterLength(std::string_view text, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  std::size_t length = lead < 0x80                    ? 1
                       : lead >= 0xC2 && lead <= 0xDF ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  unsigned char second = length > 1 ? byte(at + 1) : 0;
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
      (lead == 0xF4 && second >= 0x90)) {
    return 0;
  }
  return length;
}

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = Utf8CharacterLength(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

}  // namespace torvane
