// The environment file (JWF) of JW_CAD's DOS edition, read for the character types and pen colours
// as the character settings dialog imports it.
//
// The file is text: lines end in LF, CR LF or CR, and a DOS end-of-file byte (0x1A) ends the text.
// Each line is inspected from its first byte, keys match with letter case; the first test that
// fits decides:
//   "#..."       a comment;
//   "LCOLLOR_.." reading ends;
//   "LCOLLOR"    six pen colours, one digit each;
//   "MPEN"       the pens of character types 1 to 10, one digit each;
//   "MWIDE", "MHIGH", "MDIST"
//                widths, heights and spacings of types 1 to 10 in tenths of a millimetre: nine
//                values each ended by a space or tab, then the rest of the line for type 10;
//                reading ends after the first MDIST line;
//   others       skipped.
// After its key a key line has blanks (bytes up to and including the space), one separator byte
// whatever it is ("="), and blanks again; blanks follow every value. A value is a whole number as
// TextToInt reads it (so "$1E" is 30); one that is not, or is missing, ends the import on its
// line. Values are stored as they are read, keeping their low 16 bits (character types) or low 8
// bits (pen colours) as the settings file does, so a failure keeps what came before it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace torvane {

// The most bytes a JWF file may hold: the DOS edition's own hold a few kilobytes, so a larger file
// is not one, and is not read.
constexpr std::size_t kMaxJwfBytes = 1024 * 1024;
// Key lines a file must hold to count as a JWF file of the DOS edition.
constexpr int kJwfKeyLinesNeeded = 5;
// The longest text of a bad value that the result keeps, in bytes.
constexpr std::size_t kJwfMaxBadText = 64;

enum class TJwfStop {
  EndOfFile,          // the text ended
  LcollorUnderscore,  // a line beginning with "LCOLLOR_"
  Mdist,              // after the first MDIST line
  BadValue,           // a value that is not a whole number, or a missing one
  Unreadable,         // the file could not be read (ReadJwfFile only)
};

struct TJwfResult {
  // Key lines read whole.
  int KeyLines = 0;
  TJwfStop Stop = TJwfStop::EndOfFile;
  // The 1-based number of the line where reading stopped; for EndOfFile the number of lines read.
  std::size_t StopLine = 0;
  // BadValue: the CP932 text that is not a whole number (empty when the value is missing), at most
  // kJwfMaxBadText bytes of it without splitting a character.
  std::string BadText;
  // Unreadable: the errno.
  int Error = 0;
};

// Whether an import is taken, one rule for the character dialog and the command line. The values
// read stay in the tables in every case but an unreadable file (they are stored as they are read).
enum class TJwfDecision {
  Take,              // enough key lines, and every value a whole number
  TakeAfterWarning,  // fewer key lines than a JWF file of the DOS edition has: taken, with the warning
                     // that it is not one
  Refuse,            // it cannot be read, or a value is not a whole number: an error
};
TJwfDecision DecideJwf(const TJwfResult& result);

// Reads the JWF text into the tables; what it holds no value for stays as it was.
TJwfResult ReadJwf(std::string_view text, TMojiSettingsTable& moji,
                   TPenColors& pens);
// The same for a file; Stop is Unreadable, and the tables untouched, when it cannot be read (Error
// is EFBIG for one past kMaxJwfBytes).
TJwfResult ReadJwfFile(const std::string& path, TMojiSettingsTable& moji,
                       TPenColors& pens);

}  // namespace torvane
