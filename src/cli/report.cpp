#include "cli/report.h"

#include <string_view>

namespace torvane {
namespace {

constexpr std::size_t kFlushBytes = 64 * 1024;

bool StartsFormula(const std::string& text) {
  return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

// A cell's text that a spreadsheet shows as text, never evaluates.
std::string Inert(const std::string& text) { return StartsFormula(text) ? "'" + text : text; }

}  // namespace

const TReportRow& TReportFile::Header() {
  static const TReportRow header{"input", "output", "kind", "result", "reason", "lines", "arcs", "texts",
                                 "points", "virtual points"};
  return header;
}

std::string ReportPath(const std::string& path) { return StartsFormula(path) ? "./" + path : path; }

std::string CsvField(const std::string& text) {
  bool quoted = text.find_first_of(",\"\r\n") != std::string::npos ||
                (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quoted) return text;
  std::string field = "\"";
  for (char c : text) {
    field += c;
    if (c == '"') field += '"';
  }
  return field + "\"";
}

TReportFile::TReportFile(const std::string& path) : file_(std::make_unique<TOutputFile>(path)) {
  buffer_ = "\xEF\xBB\xBF";
  Add(Header());
}

void TReportFile::Add(const TReportRow& row) {
  if (failure_) return;
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i > 0) buffer_ += ',';
    buffer_ += CsvField(Inert(row[i]));
  }
  buffer_ += "\r\n";
  if (buffer_.size() >= kFlushBytes) Flush();
}

void TReportFile::Flush() {
  try {
    file_->Write(reinterpret_cast<const uint8_t*>(buffer_.data()), buffer_.size());
  } catch (const TIoError& e) {
    failure_ = e;
    file_.reset();
  }
  buffer_.clear();
}

void TReportFile::Finish() {
  if (failure_) return;
  Flush();
  if (failure_) return;
  try {
    file_->Commit();
  } catch (const TIoError& e) {
    failure_ = e;
  }
  file_.reset();
}

}  // namespace torvane
