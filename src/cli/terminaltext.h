// Text bound for the terminal that may come from a file or a path: shown, never obeyed.
#pragma once

#include <string>
#include <string_view>

namespace torvane {

// utf8 with every control character, the line feed and CR among them (C0, DEL, C1), written as
// \xHH, and every byte that is not part of a well-formed UTF-8 character written the same way, so that no
// escape sequence or forged line from a drawing or a file name reaches the terminal. One line at a
// time: the caller ends it.
std::string ForTerminal(std::string_view utf8);

}  // namespace torvane
