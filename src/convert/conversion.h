// The conversion service that the window and the command line share: which kind a file is, what
// its output is called, and one file's read → summary → convert → write, answered as plain values
// that each front end words for its own users.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/outputkinds.h"
#include "drawing/jwcunit.h"
#include "drawing/jwwunit.h"
#include "settings/settings.h"
#include "shape/jwkunit.h"
#include "shape/jwsunit.h"
#include "support/bytereader.h"
#include "support/outputfile.h"
#include "support/summary.h"

namespace torvane {

// The part of the file name (not the folder) after its last ".", with the dot, upper-cased in
// ASCII; empty when the name has no dot.
std::string UpperExtension(const std::string& path);
// By the extension alone: ".JWC" a drawing, ".JWK" a part, anything else neither.
TFileKind FileKindOf(const std::string& path);
// True when the file name's extension is the extension of the output kind for a file of the kind,
// in any letter case.
bool HasOutputExtension(const std::string& path, TFileKind kind, const TOutputKind& to);

enum class TCheckResult {
  Accepted,     // the extension names a kind and the file carries its signature
  NotJwcJwk,    // the extension is neither .jwc nor .jwk
  NoSignature,  // the extension names a kind, but the file does not carry its signature
  Unreadable,   // the file cannot be opened or read: Error says why
};

struct TFileCheck {
  TFileKind Kind = TFileKind::None;  // by the extension
  TCheckResult Result = TCheckResult::NotJwcJwk;
  int Error = 0;  // the errno of an unreadable file
};

// Classifies a file by its extension, then confirms it by its 20-byte signature; touches no document.
TFileCheck CheckFile(const std::string& path);
// The same for the file at path that the caller opened already: the signature is read from file.
TFileCheck CheckFile(const std::string& path, TInputFile& file);

// The path with the extension of its file name (from its last ".") replaced by extension, or
// extension appended to a name without one.
std::string ChangeExtension(const std::string& path, std::string_view extension);
// The output name of a batch file: its name without folder, the extension changed to that of the
// output kind (.jww or .jws for the native one) in lower case whatever the input's case
// ("PLAN.JWC" → "PLAN.jww").
std::string BatchOutputName(const std::string& path, TFileKind kind, const TOutputKind& to);
// folder + "/" + BatchOutputName; a folder that already ends in "/" gets no second one.
std::string BatchOutputPath(const std::string& folder, const std::string& path, TFileKind kind,
                            const TOutputKind& to);

// The path a user chose for an output, with the extension of its kind unless it already carries
// it in some letter case: "plan2" and "plan2.txt" give "plan2.jww", "PLAN2.JWW" stays.
std::string WithOutputExtension(const std::string& path, TFileKind kind, const TOutputKind& to);

// How pictures (SVG, PNG, PDF) of a converted document look: the width of a PNG in pixels, and
// black on white (print) or each pen in its reference colour from PenColors on black (screen).
struct TPictureOptions {
  static constexpr int kMaxPngWidth = 20000;
  int PngWidth = 2000;
  bool ScreenColours = false;
  TPenColors PenColors = DefaultPenColors();
};

// What a conversion takes from the user: the CP932 font name every text carries, numeric
// correction, the character types that size the texts of parts, and the look of pictures.
struct TConversionOptions {
  std::string FontName;
  bool NumericCorrection = true;
  TMojiSettingsTable CharacterTypes = DefaultMojiSettings();
  TPictureOptions Picture;
};

// The documents one conversion works on. The window passes the global ones; each worker of the
// command line has its own.
struct TDocuments {
  TJwcData& Jwc;
  TJwwData& Jww;
  TJwkData& Jwk;
  TJwsData& Jws;
};
TDocuments GlobalDocuments();

// Documents owned together, for one worker.
struct TOwnedDocuments {
  TJwcData Jwc;
  TJwwData Jww;
  TJwkData Jwk;
  TJwsData Jws;
  TDocuments Refs() { return {Jwc, Jww, Jwk, Jws}; }
};

struct TLoadOutcome {
  TFileKind Kind = TFileKind::None;
  // The path as given to LoadDocument and the values its summary shows (LoadSummaryLines, made
  // only where it is shown: a drawing's memos must be decoded for it).
  TLoadSummary Counts;
  // True when every section was read.
  bool Complete = false;
  // Why the read stopped, when it did not complete, as a code with its values for the front end
  // to word. Failure.OpenError is set when the file could not be opened or read at all;
  // Failure.MissingNameTables() marks a drawing of an older edition that lacks only its name tables.
  TReadFailure Failure;

  // Only the header was read (by LoadForConversion), which showed that the output would be too large:
  // the summary is whole, the document holds no records.
  bool HeaderOnly = false;

  bool Opened() const { return Complete || Failure.OpenError == 0; }
  // A read that stopped inside the records: the document holds only what came before.
  bool Truncated() const { return !Complete && Opened() && !Failure.MissingNameTables() && !HeaderOnly; }
};

// Reads the file into the document of its kind and produces its summary; summaryPath is the path
// the summary begins with.
TLoadOutcome LoadDocument(const std::string& path, TFileKind kind, TDocuments documents,
                          const std::string& summaryPath);

enum class TWriteMode {
  Replace,         // an existing output is replaced (the user agreed to it)
  NoReplace,       // an output that exists when the file is committed is kept, and the write fails
                   // (EEXIST); a device, pipe or socket is written into either way
  StandardOutput,  // the bytes go to standard output; the output path only names it
};

// No reader of the format loads a file larger than this.
inline constexpr uint64_t kMaxOutputBytes = 0x7FFFFFFF;

struct TWriteOutcome {
  bool Written = false;
  // On failure: the runtime I/O code and its Japanese text, the errno behind it (0 when none),
  // and whether the output could not even be created (as opposed to failing while it was written).
  int Code = 0;
  std::string Text;
  int Error = 0;
  bool NotCreated = false;
  // Refused before converting (EFBIG): the output would take at least TooLargeBytes, more than
  // kMaxOutputBytes.
  uint64_t TooLargeBytes = 0;
};

// Converts the loaded document of the kind, unless its output would be larger than
// kMaxOutputBytes: then answers false and refusal says so. converted tells what the outputs are
// made from: the converted document in documents.Jww or documents.Jws; or, for a drawing written
// only as kinds that convert while they write (whileWriting, see TOutputKind), the drawing itself,
// converted by each output as it is written so that its converted records never stand in memory
// whole. The source document is left as it is, so converting it again gives the same bytes.
bool ConvertDocument(TFileKind kind, const TConversionOptions& options, TDocuments documents, bool whileWriting,
                     TConverted& converted, TWriteOutcome& refusal);

// Writes the converted document as the output kind to output (the kind must have a writer).
// naming says whether the user named output (a link is written through, a device or pipe written
// into) or it was derived from the input's name (only a regular file is written, in place of the
// entry at that path); see TOutputFile. Check it with TOutputGuard first (convert/outputguard.h).
TWriteOutcome WriteConverted(const TConverted& converted, const TOutputKind& to, const TConversionOptions& options,
                             const std::string& output, TWriteMode mode, TOutputNaming naming = TOutputNaming::Named);
// WriteConverted in two steps, for batches that convert files side by side but put their outputs
// in place in the order of the files: StageConverted writes every byte to a temporary file beside
// output and closes it (staged holds it; nothing when the outcome is a failure), CommitStaged puts
// that file in place of output. entry is what TOutputGuard::Check found at a derived output's path.
TWriteOutcome StageConverted(const TConverted& converted, const TOutputKind& to, const TConversionOptions& options,
                             const std::string& output, TWriteMode mode, TOutputNaming naming,
                             const std::optional<TPathEntry>& entry, std::unique_ptr<TOutputFile>& staged);
TWriteOutcome CommitStaged(TOutputFile& staged);

// ConvertDocument, then WriteConverted.
TWriteOutcome SaveDocument(TFileKind kind, const TConversionOptions& options, TDocuments documents,
                           const TOutputKind& to, const std::string& output, TWriteMode mode,
                           TOutputNaming naming = TOutputNaming::Named);

struct TFileOutcome {
  TLoadOutcome Load;
  // Absent when the file was not converted: it could not be opened, or it was truncated while
  // the caller asked for complete files only.
  std::optional<TWriteOutcome> Write;
};

// Loads an opened file for conversion: true when the document is loaded and may be converted
// (SaveDocument or StageConverted then writes it); else outcome tells why not: it could not be
// opened or read, it was truncated while wholeOnly asks for complete files, or its header alone
// shows that its output would be larger than kMaxOutputBytes (refused before the file is read
// whole and before its records take their memory). The file's bytes are read into bytes, whose
// memory a caller loading file after file reuses.
bool LoadForConversion(TInputFile& file, TFileBytes& bytes, TFileKind kind, const TConversionOptions& options,
                       TDocuments documents, bool wholeOnly, const std::string& summaryPath, TFileOutcome& outcome);

}  // namespace torvane
