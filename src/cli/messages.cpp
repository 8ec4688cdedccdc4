#include "cli/messages.h"

#include <libintl.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "support/cp932.h"

namespace torvane {
namespace {

// The folder of the catalogues: share/locale next to the program's bin folder.
std::string CatalogueFolder(const char* programPath) {
  if (const char* folder = std::getenv("TEXTDOMAINDIR"); folder != nullptr && *folder != '\0') return folder;
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) program = std::filesystem::absolute(programPath, error);
  return (program.parent_path().parent_path() / "share" / "locale").string();
}

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8 either.
    unsigned char next = static_cast<unsigned char>(length > 1 ? text[i + 1] : 0);
    if ((length == 2 && c < 0xC2) || (length == 3 && c == 0xE0 && next < 0xA0) ||
        (length == 3 && c == 0xED && next >= 0xA0) || (length == 4 && c == 0xF0 && next < 0x90) ||
        (length == 4 && (c > 0xF4 || (c == 0xF4 && next >= 0x90)))) {
      return false;
    }
    i += length;
  }
  return true;
}

// The locale the environment asks messages in, as setlocale would take it.
const char* RequestedMessagesLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return nullptr;
}

}  // namespace

void InitMessages(const char* programPath) {
  // An empty LANGUAGE is no choice at all, as gettext has it; it must not hide LANG.
  if (const char* language = std::getenv("LANGUAGE"); language != nullptr && *language == '\0') unsetenv("LANGUAGE");
  if (std::setlocale(LC_ALL, "") == nullptr) {
    // The locale asked for (ja_JP.UTF-8, say) is not generated on this system. The messages can
    // still be in its language: gettext follows LANGUAGE under any locale but plain C.
    const char* requested = RequestedMessagesLocale();
    if (std::setlocale(LC_ALL, "C.UTF-8") != nullptr && requested != nullptr) setenv("LANGUAGE", requested, 0);
  }
  bindtextdomain(kTextDomain, CatalogueFolder(programPath).c_str());
  bind_textdomain_codeset(kTextDomain, "UTF-8");
  textdomain(kTextDomain);
}

const char* Tr(const char* english) { return dgettext(kTextDomain, english); }

std::string Tr(const char* english, std::initializer_list<std::string_view> arguments) {
  std::string_view pattern = Tr(english);
  std::string text;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    std::size_t index = i + 1 < pattern.size() ? static_cast<std::size_t>(pattern[i + 1] - '1') : arguments.size();
    if (pattern[i] == '%' && index < arguments.size()) {
      text += arguments.begin()[index];
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

std::string DisplayName(std::string_view path) {
  // Name by name: a tree copied from a DOS disk into a folder named in UTF-8 mixes the two, and
  // "/" is never the trail byte of a CP932 character.
  std::string shown;
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = std::min(path.find('/', start), path.size());
    std::string_view name = path.substr(start, end - start);
    shown += IsUtf8(name) ? std::string(name) : Cp932ToUtf8(name);
    if (end < path.size()) shown += '/';
    start = end + 1;
  }
  return shown;
}

}  // namespace torvane
