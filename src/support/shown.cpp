#include "support/shown.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "support/cp932.h"

namespace torvane {
namespace {

void AppendEscaped(std::string& out, unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\x%02X", value);
  out += buffer;
}

}  // namespace

std::string EscapeControls(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    std::size_t length = Utf8CharacterLength(utf8, at);
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

std::string ShownPath(std::string_view path) {
  // Name by name: a tree copied from a DOS disk into a folder named in UTF-8 mixes the two, and
  // "/" is never the trail byte of a CP932 character.
  std::string decoded;
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = std::min(path.find('/', start), path.size());
    std::string_view name = path.substr(start, end - start);
    decoded += IsUtf8(name) ? std::string(name) : Cp932ToUtf8(name);
    if (end < path.size()) decoded += '/';
    start = end + 1;
  }
  return EscapeControls(decoded);
}

}  // namespace torvane
