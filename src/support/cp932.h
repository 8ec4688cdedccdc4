// CP932 (Windows Shift-JIS), the encoding of every text inside the files. Conversion to and from
// UTF-8 happens only at the edges: the command line, the terminal and the window.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

// True when text is well-formed UTF-8: no overlong forms, surrogates or values past U+10FFFF.
bool IsUtf8(std::string_view text);

// The length of the well-formed UTF-8 character at text[at] (at < text.size()), or 0 when there is none.
std::size_t Utf8CharacterLength(std::string_view text, std::size_t at);

// UTF-8 to CP932; nothing when the text holds a character CP932 cannot encode, or is not UTF-8.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// CP932 to UTF-8; a byte sequence that is not CP932 becomes U+FFFD, so nothing is dropped silently.
std::string Cp932ToUtf8(std::string_view cp932);

// Cp932ToUtf8 for many texts in a row: the converter is opened once. Not for several threads.
class TCp932Decoder {
 public:
  TCp932Decoder();
  ~TCp932Decoder();
  TCp932Decoder(const TCp932Decoder&) = delete;
  TCp932Decoder& operator=(const TCp932Decoder&) = delete;
  std::string Decode(std::string_view cp932);

 private:
  class TConverter;
  std::unique_ptr<TConverter> converter_;
};

// The length of the longest prefix of text of at most maxBytes bytes that does not split a
// double-byte character.
std::size_t Cp932PrefixLength(std::string_view text, std::size_t maxBytes);

}  // namespace torvane
