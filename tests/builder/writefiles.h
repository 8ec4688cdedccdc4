// Whole-file writers for tests and benchmarks: a document written straight to a path, without the
// conversion service's size bound, and one file converted from start to end.
#pragma once

#include <functional>
#include <string>

#include "convert/conversion.h"
#include "drawing/jwwunit.h"
#include "shape/jwsunit.h"
#include "support/outputfile.h"

namespace torvane::test {

// Writes a file through TOutputFile: true when body wrote every byte and the file took its place;
// false when a write failed (the target is left as it was, failure says why). A target that
// cannot be created at all raises TIoError.
bool WriteFileReplacing(const std::string& path, const std::function<void(TByteSink&)>& body,
                        std::string* failure = nullptr);
bool WriteJww(const std::string& path, const TJwwData& document, std::string* failure = nullptr);
bool WriteJws(const std::string& path, const TJwsData& document, std::string* failure = nullptr);

// One file from start to end, as a front end does it: load, then (unless the read stopped inside
// the records and wholeOnly is set) convert and write.
TFileOutcome ConvertFile(const std::string& path, TFileKind kind, const std::string& output,
                         const TConversionOptions& options, TDocuments documents, TWriteMode mode,
                         bool wholeOnly, const std::string& summaryPath);

}  // namespace torvane::test
