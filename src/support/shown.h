// Texts shown to a person that may come from a file or a path: shown, never obeyed. The command
// line and the window show paths the same way.
#pragma once

#include <string>
#include <string_view>

namespace torvane {

// utf8 with every control character, the line feed and CR among them (C0, DEL, C1), written as
// \xHH, and every byte that is not part of a well-formed UTF-8 character written the same way, so that
// no escape sequence or forged line from a drawing or a file name reaches the terminal or the log. One
// line at a time: the caller ends it.
std::string EscapeControls(std::string_view utf8);

// A path as a person reads it: name by name as it is when its bytes are UTF-8, else decoded as
// CP932 (the encoding of names copied from DOS disks), control characters escaped.
std::string ShownPath(std::string_view path);

}  // namespace torvane
