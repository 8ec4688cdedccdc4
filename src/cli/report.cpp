#include "cli/report.h"

namespace torvane {
namespace {

constexpr std::size_t kFlushBytes = 64 * 1024;

}  // namespace

const TReportRow& TReportFile::Header() {
  static const TReportRow header{"input", "output", "kind", "result", "reason", "lines", "arcs", "texts",
                                 "points", "virtual points"};
  return header;
}

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
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i > 0) buffer_ += ',';
    buffer_ += CsvField(row[i]);
  }
  buffer_ += "\r\n";
  if (buffer_.size() >= kFlushBytes) Flush();
}

void TReportFile::Flush() {
  file_->Write(reinterpret_cast<const uint8_t*>(buffer_.data()), buffer_.size());
  buffer_.clear();
}

void TReportFile::Finish() {
  Flush();
  file_->Commit();
}

}  // namespace torvane
