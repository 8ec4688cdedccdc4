#include "convert/conversion.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "drawing/jwc2jww.h"
#include "shape/jwk2jws.h"
#include "support/ioerror.h"
#include "support/outputfile.h"
#include "support/text.h"

namespace torvane {

namespace fs = std::filesystem;

std::string UpperExtension(const std::string& path) {
  std::string name = fs::path(path).filename().string();
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return "";
  std::string extension = name.substr(dot);
  for (char& c : extension) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return extension;
}

TFileKind FileKindOf(const std::string& path) {
  std::string extension = UpperExtension(path);
  if (extension == ".JWC") return TFileKind::Drawing;
  if (extension == ".JWK") return TFileKind::Part;
  return TFileKind::None;
}

bool HasOutputExtension(const std::string& path, TFileKind kind, const TOutputKind& to) {
  std::string expected = OutputExtension(kind, to);
  return !expected.empty() && UpperExtension(path) == UpperExtension(expected);
}

TFileCheck CheckFile(const std::string& path) {
  if (FileKindOf(path) == TFileKind::None) return {};
  TInputFile file(path);
  return CheckFile(path, file);
}

TFileCheck CheckFile(const std::string& path, TInputFile& file) {
  TFileCheck check;
  check.Kind = FileKindOf(path);
  if (check.Kind == TFileKind::None) return check;
  uint8_t head[20] = {};
  ssize_t got = -1;
  if (file.IsRegular()) {
    got = file.ReadAt(head, sizeof head, 0, check.Error);
  } else {
    check.Error = file.Error();
  }
  if (got < 0) {
    check.Result = TCheckResult::Unreadable;
    return check;
  }
  const char* signature = check.Kind == TFileKind::Drawing ? kJwcSignature : kJwkSignature;
  std::string text(reinterpret_cast<const char*>(head), static_cast<std::size_t>(got));
  check.Result = UpToZero(text) == signature ? TCheckResult::Accepted : TCheckResult::NoSignature;
  return check;
}

std::string ChangeExtension(const std::string& path, std::string_view extension) {
  // The extension is what follows the last "." of the name, as UpperExtension takes it; a name
  // that is all extension (".jwc") keeps nothing of it.
  std::size_t nameStart = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
  std::size_t dot = path.rfind('.');
  return (dot == std::string::npos || dot < nameStart ? path : path.substr(0, dot)) + std::string(extension);
}

std::string BatchOutputName(const std::string& path, TFileKind kind, const TOutputKind& to) {
  return ChangeExtension(fs::path(path).filename().string(), OutputExtension(kind, to));
}

std::string BatchOutputPath(const std::string& folder, const std::string& path, TFileKind kind,
                            const TOutputKind& to) {
  std::string name = BatchOutputName(path, kind, to);
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string WithOutputExtension(const std::string& path, TFileKind kind, const TOutputKind& to) {
  if (HasOutputExtension(path, kind, to)) return path;
  return ChangeExtension(path, OutputExtension(kind, to));
}

TDocuments GlobalDocuments() { return {JwcDocument, TJwwDocument, JwkDocument, TJwsDocument}; }

namespace {

// The counts and the summary lines of a document that was read as far as it goes.
void Summarise(TFileKind kind, TDocuments documents, const std::string& summaryPath, TLoadOutcome& outcome) {
  if (!outcome.Opened() || kind == TFileKind::None) return;
  outcome.Counts = kind == TFileKind::Drawing ? JwcSummary(summaryPath, documents.Jwc)
                                              : JwkSummary(summaryPath, documents.Jwk);
}

}  // namespace

TLoadOutcome LoadDocument(const std::string& path, TFileKind kind, TDocuments documents,
                          const std::string& summaryPath) {
  TLoadOutcome outcome;
  outcome.Kind = kind;
  if (kind == TFileKind::Drawing) {
    outcome.Complete = ReadJwc(path, documents.Jwc, &outcome.Failure);
  } else if (kind == TFileKind::Part) {
    outcome.Complete = ReadJwk(path, documents.Jwk, &outcome.Failure);
  }
  Summarise(kind, documents, summaryPath, outcome);
  return outcome;
}

namespace {

TWriteOutcome Failed(const TIoError& e, bool created) {
  TWriteOutcome outcome;
  outcome.Code = e.Code();
  outcome.Text = e.Text();
  outcome.Error = e.Errno();
  outcome.NotCreated = !created;
  return outcome;
}

// Passes bytes on until more than kMaxOutputBytes would have gone, then fails as a file-size
// limit would: the floor checked before converting leaves out the header.
class TBoundedSink final : public TByteSink {
 public:
  explicit TBoundedSink(TByteSink& sink) : sink_(sink) {}
  void Write(const uint8_t* data, std::size_t size) override {
    if (size > kMaxOutputBytes - written_) throw TIoError::FromErrno(EFBIG, "");
    sink_.Write(data, size);
    written_ += size;
  }

 private:
  TByteSink& sink_;
  uint64_t written_ = 0;
};

template <typename Body>
TWriteOutcome WriteOutput(const std::string& output, TWriteMode mode, TOutputNaming naming, Body body) {
  if (mode == TWriteMode::StandardOutput) {
    try {
      TDescriptorSink out(STDOUT_FILENO, output);
      TBoundedSink bounded(out);
      body(bounded);
    } catch (const TIoError& e) {
      return Failed(e, true);
    }
    TWriteOutcome outcome;
    outcome.Written = true;
    return outcome;
  }
  std::optional<TOutputFile> file;
  try {
    file.emplace(output, mode == TWriteMode::Replace, naming);
  } catch (const TIoError& e) {
    return Failed(e, false);
  }
  try {
    TBoundedSink bounded(*file);
    body(bounded);
    file->Commit();
  } catch (const TIoError& e) {
    return Failed(e, true);
  }
  TWriteOutcome outcome;
  outcome.Written = true;
  return outcome;
}

// WriteOutput up to the commit: the complete temporary file is left in staged. Standard output
// has nothing to stage; it is written at once.
template <typename Body>
TWriteOutcome StageOutput(const std::string& output, TWriteMode mode, TOutputNaming naming,
                          const std::optional<TPathEntry>& entry, Body body, std::unique_ptr<TOutputFile>& staged) {
  staged.reset();
  if (mode == TWriteMode::StandardOutput) return WriteOutput(output, mode, naming, body);
  std::unique_ptr<TOutputFile> file;
  try {
    file = std::make_unique<TOutputFile>(output, mode == TWriteMode::Replace, naming, entry);
  } catch (const TIoError& e) {
    return Failed(e, false);
  }
  try {
    TBoundedSink bounded(*file);
    body(bounded);
    file->Finish();
  } catch (const TIoError& e) {
    return Failed(e, true);
  }
  staged = std::move(file);
  TWriteOutcome outcome;
  outcome.Written = true;
  return outcome;
}

TWriteOutcome TooLarge(uint64_t bytes) {
  TWriteOutcome outcome = Failed(TIoError::FromErrno(EFBIG, ""), false);
  outcome.TooLargeBytes = bytes;
  return outcome;
}

template <typename Source>
uint64_t OutputFloor(const Source& source, const std::string& font) {
  return EntityListFloor(source.Sen.size(), source.Enko.size(), source.Ten.size(), source.Moji.size(), font.size()) +
         TextContentBytes(source.Moji);
}

// The header blocks at the start of the file and the bytes after them; false when the file is
// shorter or cannot be read.
template <std::size_t N>
bool PeekHeaderBlocks(TInputFile& file, std::array<std::string, N>& blocks, std::size_t blockSize, uint64_t& body) {
  std::string head(N * blockSize, '\0');
  int error = 0;
  if (file.ReadAt(reinterpret_cast<uint8_t*>(head.data()), head.size(), 0, error) != static_cast<ssize_t>(head.size())) {
    return false;
  }
  for (std::size_t i = 0; i < N; ++i) blocks[i] = head.substr(i * blockSize, blockSize);
  body = file.Size() - N * blockSize;
  return true;
}

// The floor of the output from the counts of the header, when the file holds all their records;
// 0 otherwise (the read then tells what is wrong).
uint64_t CountsFloor(std::initializer_list<std::pair<int32_t, std::size_t>> counts, uint64_t body,
                     const std::string& font) {
  uint64_t needed = 0;
  for (auto [count, recordSize] : counts) {
    if (count < 0) return 0;
    needed += static_cast<uint64_t>(count) * recordSize;
  }
  if (needed > body) return 0;
  auto n = [&](std::size_t i) { return static_cast<uint64_t>(std::data(counts)[i].first); };
  return EntityListFloor(n(0), n(1), n(2), n(3), font.size());
}

// Reads only the header of the file into its document and answers the floor of its output (0
// when it cannot tell), with the summary in load.
uint64_t HeaderFloor(TInputFile& file, TFileKind kind, TDocuments documents, const std::string& font,
                     const std::string& summaryPath, TLoadOutcome& load) {
  uint64_t body = 0;
  uint64_t floor = 0;
  if (kind == TFileKind::Drawing) {
    TJwcData& doc = documents.Jwc;
    ResetJwc(doc);
    if (!PeekHeaderBlocks(file, doc.HeaderBlocks, kJwcHeaderBlockSize, body)) return 0;
    ParseJwcHeader(doc);
    const TJwcData::THeader& h = doc.Header;
    floor = CountsFloor({{h.SenCount(), kSenRecordSize},
                         {h.EnkoCount(), kEnkoRecordSize},
                         {h.TenCount(), kTenRecordSize},
                         {h.MojiCount(), kMojiRecordSize}},
                        body, font);
    load.Counts = JwcSummary(summaryPath, doc);
  } else {
    TJwkData& doc = documents.Jwk;
    ResetJwk(doc);
    if (!PeekHeaderBlocks(file, doc.HeaderBlocks, kJwkHeaderBlockSize, body) || !ParseJwkHeader(doc)) return 0;
    const TJwkData::THeader& h = doc.Header;
    floor = CountsFloor({{h.SenCount, kSenRecordSize},
                         {h.EnkoCount, kEnkoRecordSize},
                         {h.TenCount, kTenRecordSize},
                         {h.MojiCount, kMojiRecordSize}},
                        body, font);
    load.Counts = JwkSummary(summaryPath, doc);
  }
  load.Kind = kind;
  load.HeaderOnly = true;
  return floor;
}

}  // namespace

bool ConvertDocument(TFileKind kind, const TConversionOptions& options, TDocuments documents, bool whileWriting,
                     TConverted& converted, TWriteOutcome& refusal) {
  uint64_t floor = kind == TFileKind::Drawing ? OutputFloor(documents.Jwc, options.FontName)
                                              : OutputFloor(documents.Jwk, options.FontName);
  if (floor > kMaxOutputBytes) {
    refusal = TooLarge(floor);
    return false;
  }
  converted = TConverted{};
  converted.Kind = kind;
  if (kind == TFileKind::Drawing && whileWriting) {
    converted.DrawingSource = &documents.Jwc;
  } else if (kind == TFileKind::Drawing) {
    ConvertJwcToJww(options.FontName, options.NumericCorrection, documents.Jwc, documents.Jww);
    converted.Drawing = &documents.Jww;
  } else {
    ConvertJwkToJws(options.FontName, options.NumericCorrection, options.CharacterTypes, documents.Jwk,
                    documents.Jws);
    converted.Part = &documents.Jws;
  }
  return true;
}

TWriteOutcome WriteConverted(const TConverted& converted, const TOutputKind& to, const TConversionOptions& options,
                             const std::string& output, TWriteMode mode, TOutputNaming naming) {
  return WriteOutput(output, mode, naming, [&](TByteSink& sink) { to.Writer(sink, converted, options); });
}

TWriteOutcome StageConverted(const TConverted& converted, const TOutputKind& to, const TConversionOptions& options,
                             const std::string& output, TWriteMode mode, TOutputNaming naming,
                             const std::optional<TPathEntry>& entry, std::unique_ptr<TOutputFile>& staged) {
  return StageOutput(
      output, mode, naming, entry, [&](TByteSink& sink) { to.Writer(sink, converted, options); }, staged);
}

TWriteOutcome SaveDocument(TFileKind kind, const TConversionOptions& options, TDocuments documents,
                           const TOutputKind& to, const std::string& output, TWriteMode mode,
                           TOutputNaming naming) {
  TWriteOutcome refusal;
  TConverted converted;
  if (!ConvertDocument(kind, options, documents, to.ConvertsWhileWriting, converted, refusal)) return refusal;
  return WriteConverted(converted, to, options, output, mode, naming);
}

TWriteOutcome CommitStaged(TOutputFile& staged) {
  try {
    staged.Commit();
  } catch (const TIoError& e) {
    return Failed(e, true);
  }
  TWriteOutcome outcome;
  outcome.Written = true;
  return outcome;
}

bool LoadForConversion(TInputFile& file, TFileBytes& bytes, TFileKind kind, const TConversionOptions& options,
                       TDocuments documents, bool wholeOnly, const std::string& summaryPath, TFileOutcome& outcome) {
  // Refused before the records take their memory. Most files are too small for their counts to
  // reach the limit at all, and need no look at their header first.
  TLoadOutcome header;
  uint64_t size = file.IsRegular() ? file.Size() : 0;
  bool mayPass = EntityListFloor(size / kSenRecordSize, size / kEnkoRecordSize, size / kTenRecordSize,
                                 size / kMojiRecordSize, options.FontName.size()) > kMaxOutputBytes;
  uint64_t floor = mayPass ? HeaderFloor(file, kind, documents, options.FontName, summaryPath, header) : 0;
  if (floor > kMaxOutputBytes) {
    outcome.Load = std::move(header);
    outcome.Write = TooLarge(floor);
    return false;
  }
  outcome.Load = TLoadOutcome{};
  outcome.Load.Kind = kind;
  if (kind == TFileKind::Drawing) {
    outcome.Load.Complete = ReadJwc(file, bytes, documents.Jwc, &outcome.Load.Failure);
  } else if (kind == TFileKind::Part) {
    outcome.Load.Complete = ReadJwk(file, bytes, documents.Jwk, &outcome.Load.Failure);
  }
  Summarise(kind, documents, summaryPath, outcome.Load);
  return outcome.Load.Opened() && !(wholeOnly && outcome.Load.Truncated());
}

}  // namespace torvane
