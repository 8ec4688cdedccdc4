#include "cli/messages.h"

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "support/text.h"

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
  bindtextdomain(kProgram, CatalogueFolder(programPath).c_str());
  bind_textdomain_codeset(kProgram, "UTF-8");
  textdomain(kProgram);
}

const char* Tr(const char* english) { return dgettext(kProgram, english); }

std::string Tr(const char* english, std::initializer_list<std::string_view> arguments) {
  return FillPattern(Tr(english), arguments);
}

namespace {

std::string ReadWords(TReadWord text) {
  switch (text) {
    case TReadWord::NoMemory: return Tr("there is not enough memory to read the file");
    case TReadWord::EndsInside: return Tr("the file ends inside the %1");
    case TReadWord::EndsInHeader: return Tr("the file ends inside header block %1");
    case TReadWord::NegativeCount: return Tr("the count of the %1, %2, is negative");
    case TReadWord::CountTooLarge:
      return Tr("the count of the %1, %2, needs %3 bytes, but the file holds only %4 after its header");
    case TReadWord::NoNameTables: return Tr("the file ends before the layer names (a drawing of an older DOS edition)");
    case TReadWord::NotWholeNumber: return Tr("header item %1 \"%2\" is not a whole number");
    case TReadWord::NotNumber: return Tr("header item %1 \"%2\" is not a number");
    case TReadWord::TextsTooLarge:
      return Tr("the texts would take %1 bytes, more than the %2 MiB a drawing or part can need (many texts "
                "point into one run of the pool)");
    case TReadWord::PoolTooLarge: return Tr("the text pool is larger than 4 GiB");
    case TReadWord::VirtualPoints: return Tr("virtual points");
    case TReadWord::CharacterTypes: return Tr("character types");
    case TReadWord::LayerGroupScales: return Tr("layer-group scales");
    case TReadWord::LayerStates: return Tr("layer and layer-group states");
    case TReadWord::LineRecords: return Tr("line records");
    case TReadWord::ArcRecords: return Tr("arc records");
    case TReadWord::TextRecords: return Tr("text records");
    case TReadWord::PointRecords: return Tr("point records");
    case TReadWord::RealPointRecords: return Tr("real-point records");
    case TReadWord::TextPool: return Tr("text pool");
    case TReadWord::LayerNames: return Tr("layer names");
    case TReadWord::LayerGroupNames: return Tr("layer-group names");
  }
  return "";
}

}  // namespace

std::string ReadFailureText(const TReadFailure& failure) { return WordReadFailure(failure, ReadWords); }

}  // namespace torvane
