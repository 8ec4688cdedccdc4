#include "convert/conversion.h"

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

const char* OutputExtension(TFileKind kind) {
  switch (kind) {
    case TFileKind::Drawing: return ".jww";
    case TFileKind::Part: return ".jws";
    case TFileKind::None: break;
  }
  return "";
}

const char* UpperOutputExtension(TFileKind kind) {
  switch (kind) {
    case TFileKind::Drawing: return ".JWW";
    case TFileKind::Part: return ".JWS";
    case TFileKind::None: break;
  }
  return "";
}

TFileCheck CheckFile(const std::string& path) {
  TFileCheck check;
  check.Kind = FileKindOf(path);
  if (check.Kind == TFileKind::None) return check;
  std::string head;
  if (!LoadFilePrefix(path, 20, head, &check.Error)) {
    check.Result = TCheckResult::Unreadable;
    return check;
  }
  const char* signature = check.Kind == TFileKind::Drawing ? kJwcSignature : kJwkSignature;
  check.Result = UpToZero(head) == signature ? TCheckResult::Accepted : TCheckResult::NoSignature;
  return check;
}

std::string BatchOutputName(const std::string& path, TFileKind kind) {
  fs::path name = fs::path(path).filename();
  name.replace_extension(OutputExtension(kind));
  return name.string();
}

std::string BatchOutputPath(const std::string& folder, const std::string& path, TFileKind kind) {
  std::string name = BatchOutputName(path, kind);
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string WithOutputExtension(const std::string& path, TFileKind kind) {
  if (UpperExtension(path) == UpperOutputExtension(kind)) return path;
  fs::path chosen(path);
  chosen.replace_extension(OutputExtension(kind));
  return chosen.string();
}

TDocuments GlobalDocuments() { return {JwcDocument, TJwwDocument, JwkDocument, TJwsDocument}; }

TLoadOutcome LoadDocument(const std::string& path, TFileKind kind, TDocuments documents,
                          const std::string& summaryPath) {
  TLoadOutcome outcome;
  outcome.Kind = kind;
  if (kind == TFileKind::Drawing) {
    outcome.Complete = ReadJwc(path, documents.Jwc, &outcome.Failure);
    if (outcome.Opened()) outcome.Summary = JwcSummaryLines(summaryPath, documents.Jwc);
  } else if (kind == TFileKind::Part) {
    outcome.Complete = ReadJwk(path, documents.Jwk, &outcome.Failure);
    if (outcome.Opened()) outcome.Summary = JwkSummaryLines(summaryPath, documents.Jwk);
  }
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

template <typename Body>
TWriteOutcome WriteOutput(const std::string& output, TWriteMode mode, Body body) {
  std::optional<TOutputFile> file;
  try {
    file.emplace(output, mode == TWriteMode::Replace);
  } catch (const TIoError& e) {
    return Failed(e, false);
  }
  try {
    body(*file);
    file->Commit();
  } catch (const TIoError& e) {
    return Failed(e, true);
  }
  TWriteOutcome outcome;
  outcome.Written = true;
  return outcome;
}

}  // namespace

TWriteOutcome SaveDocument(TFileKind kind, const TConversionOptions& options, TDocuments documents,
                           const std::string& output, TWriteMode mode) {
  if (kind == TFileKind::Drawing) {
    ConvertJwcToJww(options.FontName, options.NumericCorrection, documents.Jwc, documents.Jww);
    return WriteOutput(output, mode, [&](TByteSink& sink) { WriteJwwTo(sink, documents.Jww); });
  }
  ConvertJwkToJws(options.FontName, options.NumericCorrection, options.CharacterTypes, documents.Jwk,
                  documents.Jws);
  return WriteOutput(output, mode, [&](TByteSink& sink) { WriteJwsTo(sink, documents.Jws); });
}

TFileOutcome ConvertFile(const std::string& path, TFileKind kind, const std::string& output,
                         const TConversionOptions& options, TDocuments documents, TWriteMode mode,
                         bool wholeOnly, const std::string& summaryPath) {
  TFileOutcome outcome;
  outcome.Load = LoadDocument(path, kind, documents, summaryPath);
  if (!outcome.Load.Opened() || (wholeOnly && outcome.Load.Truncated())) return outcome;
  outcome.Write = SaveDocument(kind, options, documents, output, mode);
  return outcome;
}

}  // namespace torvane
