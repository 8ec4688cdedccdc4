// The report of a run: a CSV file (UTF-8, a header row, one row per input) that a spreadsheet opens.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/ioerror.h"
#include "support/outputfile.h"

namespace torvane {

// One field per column, in the order of the header.
using TReportRow = std::vector<std::string>;

// Writes the rows to a temporary file beside path as they come (nothing is held back) and puts it
// in place at Finish. The file begins with a byte-order mark, by which spreadsheet programs know
// it for UTF-8; lines end in CR LF. No cell starts a formula: one that would (paths are
// written by ReportPath first) begins with an apostrophe, as spreadsheet programs advise. A report that fails is given up, never the run it reports on:
// a write that fails (a full disk) removes the temporary file, and the rows after it are dropped.
class TReportFile {
 public:
  // Creates the file and writes the header; throws TIoError when it cannot be created.
  explicit TReportFile(const std::string& path);
  void Add(const TReportRow& row);
  // Puts the complete report in place, unless it was given up or this last step fails.
  void Finish();
  // The error that gave the report up; nothing while it holds every row.
  const std::optional<TIoError>& Failure() const { return failure_; }

  // The columns: input, output, kind, result, reason and the counts of the load summary.
  static const TReportRow& Header();

 private:
  void Flush();
  std::unique_ptr<TOutputFile> file_;
  std::string buffer_;
  std::optional<TIoError> failure_;
};

// A path as a report cell shows it: a relative path that a spreadsheet would take for a formula
// (beginning with =, +, -, @, a tab or a CR) begins with "./", naming the same file.
std::string ReportPath(const std::string& path);

// A field as CSV needs it: in double quotes (doubled inside) when it holds a comma, a quote or a
// line break, or begins or ends with a blank; else as it is.
std::string CsvField(const std::string& text);

}  // namespace torvane
