#include "builder/writefiles.h"

#include "support/ioerror.h"

namespace torvane::test {

bool WriteFileReplacing(const std::string& path, const std::function<void(TByteSink&)>& body,
                        std::string* failure) {
  TOutputFile file(path);
  try {
    body(file);
    file.Commit();
  } catch (const TIoError& e) {
    if (failure != nullptr) *failure = e.Text();
    return false;
  }
  return true;
}

bool WriteJww(const std::string& path, const TJwwData& document, std::string* failure) {
  return WriteFileReplacing(path, [&document](TByteSink& sink) { WriteJwwTo(sink, document); }, failure);
}

bool WriteJws(const std::string& path, const TJwsData& document, std::string* failure) {
  return WriteFileReplacing(path, [&document](TByteSink& sink) { WriteJwsTo(sink, document); }, failure);
}

TFileOutcome ConvertFile(const std::string& path, TFileKind kind, const std::string& output,
                         const TConversionOptions& options, TDocuments documents, TWriteMode mode,
                         bool wholeOnly, const std::string& summaryPath) {
  TFileOutcome outcome;
  TInputFile file(path);
  TFileBytes bytes;
  if (LoadForConversion(file, bytes, kind, options, documents, wholeOnly, summaryPath, outcome)) {
    bytes = TFileBytes{};  // read; the command line lets a large input's bytes go here too
    outcome.Write = SaveDocument(kind, options, documents, NativeOutput(), output, mode);
  }
  return outcome;
}

}  // namespace torvane::test
