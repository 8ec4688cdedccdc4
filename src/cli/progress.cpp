#include "cli/progress.h"

#include <vector>

#include "cli/messages.h"

namespace torvane {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

// Every character outside ASCII is taken as two columns wide: the names are mostly Japanese.
std::size_t Columns(unsigned char lead) { return lead < 0x80 ? 1 : 2; }

std::size_t TextColumns(const std::string& text) {
  std::size_t total = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) total += Columns(static_cast<unsigned char>(c));
  }
  return total;
}

}  // namespace

std::string FitToColumns(const std::string& text, std::size_t width) {
  if (TextColumns(text) <= width) return text;
  if (width == 0) return "";
  // The characters, as the offsets where each begins.
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  std::size_t used = 1;  // the "…"
  std::size_t k = starts.size();
  while (k > 0 && used + Columns(static_cast<unsigned char>(text[starts[k - 1]])) <= width) {
    used += Columns(static_cast<unsigned char>(text[starts[--k]]));
  }
  return "…" + (k < starts.size() ? text.substr(starts[k]) : std::string());
}

TProgressLine::TProgressLine(std::ostream& err, bool shown, std::size_t total, std::size_t columns)
    : err_(err), shown_(shown), total_(total), columns_(columns) {}

void TProgressLine::Update(std::size_t done, std::size_t failed, const std::string& current, bool force) {
  if (!shown_) return;
  auto now = std::chrono::steady_clock::now();
  if (drawn_ && !force && now - last_ < kRedrawInterval) return;
  last_ = now;
  std::string counts = Tr("%1 of %2 files, %3 failed", {std::to_string(done), std::to_string(total_),
                                                         std::to_string(failed)});
  // One column fewer than the terminal has, so that the line never wraps.
  std::size_t width = columns_ > 1 ? columns_ - 1 : 1;
  std::size_t used = TextColumns(counts) + 2;
  std::string line = used < width ? counts + "  " + FitToColumns(current, width - used) : FitToColumns(counts, width);
  err_ << "\r" << line << "\x1b[K" << std::flush;
  drawn_ = true;
}

void TProgressLine::Clear() {
  if (!drawn_) return;
  err_ << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

}  // namespace torvane
