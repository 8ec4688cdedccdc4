// The command line's own texts: written in English, shown in the user's language through gettext
// (the catalogues in po/).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "support/readfailure.h"

namespace torvane {

// The program's name, which is also the message catalogues' domain.
inline constexpr char kProgram[] = "torvane-convert";

// Takes the user's locale from the environment and finds the catalogues: in TEXTDOMAINDIR when it
// is set, else in share/locale beside the folder of the program (where installing puts them, and
// where the build tree has them).
void InitMessages(const char* programPath);

// The text in the user's language; the English text itself when there is no translation.
const char* Tr(const char* english);

// The translated pattern with "%1", "%2", ... replaced by the arguments in turn, so that a
// translation may order them as its language needs.
std::string Tr(const char* english, std::initializer_list<std::string_view> arguments);

// Why a read stopped inside a file (not a file that could not be opened), in the user's language.
std::string ReadFailureText(const TReadFailure& failure);

}  // namespace torvane
