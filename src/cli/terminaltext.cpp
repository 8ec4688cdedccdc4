#include "cli/terminaltext.h"

#include <cstdint>
#include <cstdio>

namespace torvane {
namespace {

// The length of the well-formed UTF-8 character at text[at], or 0 when there is none.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(at);
  std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                     : lead >= 0xF0 && lead <= 0xF4                   ? 4
                                                                                      : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  uint8_t second = length > 1 ? byte(at + 1) : 0;
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
      (lead == 0xF4 && second >= 0x90)) {
    return 0;
  }
  return length;
}

void AppendEscaped(std::string& out, unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\x%02X", value);
  out += buffer;
}

}  // namespace

std::string ForTerminal(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    std::size_t length = CharacterLength(utf8, at);
    uint8_t lead = static_cast<uint8_t>(utf8[at]);
    if (length == 0) {
      AppendEscaped(out, lead);
      ++at;
      continue;
    }
    // A line feed too: a memo or a file name must not start a line that looks like the program's.
    bool c0 = length == 1 && (lead < 0x20 || lead == 0x7F);
    // U+0080 to U+009F: C2 80 to C2 9F.
    bool c1 = length == 2 && lead == 0xC2 && static_cast<uint8_t>(utf8[at + 1]) < 0xA0;
    if (c0 || c1) {
      AppendEscaped(out, c0 ? lead : static_cast<uint8_t>(utf8[at + 1]));
    } else {
      out.append(utf8, at, length);
    }
    at += length;
  }
  return out;
}

}  // namespace torvane
