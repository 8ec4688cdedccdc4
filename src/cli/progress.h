// The progress line on a terminal: files done of all, failures so far and the file being
// converted, redrawn in place on standard error.
#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

namespace torvane {

class TProgressLine {
 public:
  // Draws nothing unless shown; columns is the terminal's width.
  TProgressLine(std::ostream& err, bool shown, std::size_t total, std::size_t columns);

  // Redraws the line, at most ten times a second unless forced.
  void Update(std::size_t done, std::size_t failed, const std::string& current, bool force = false);
  // Removes the line, so that other output begins at the start of a line; Update draws it again.
  void Clear();

 private:
  std::ostream& err_;
  bool shown_;
  bool drawn_ = false;
  std::size_t total_;
  std::size_t columns_;
  std::chrono::steady_clock::time_point last_{};
};

// The text cut to at most width columns of a terminal (CJK characters take two), keeping its end,
// where the name of the file is; a cut is marked with "…".
std::string FitToColumns(const std::string& text, std::size_t width);

}  // namespace torvane
