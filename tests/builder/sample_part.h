// The bundled sample part, made field by field.
#pragma once

#include <string>

namespace torvane::test {

// A desk with its chair and lamp at 1/20: an outline drawn as one group of lines, a drawer line,
// the chair's seat (a circle) and back (an arc), an elliptic lamp, two points and Japanese texts
// in kanji, hiragana, katakana, half-width katakana and full-width letters and digits.
std::string SamplePartJwk();

}  // namespace torvane::test
