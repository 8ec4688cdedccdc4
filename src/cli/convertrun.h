// One run of the command line over its inputs: the files named and, with --recursive, the drawings
// and parts below the folders named; converted side by side, reported in the order of the inputs.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/charactertypes.h"
#include "convert/conversion.h"
#include "support/ioerror.h"

namespace torvane {

// The output "-": standard output.
inline constexpr char kStandardOutput[] = "-";

struct TRunOptions {
  // The font and numeric correction; the character types come from CharacterTypes, read when the
  // first part needs them.
  TConversionOptions Conversion;
  TCharacterTypes CharacterTypes;
  // What the options are taken with, to be told before the run (a JWF file short of key lines).
  std::vector<std::string> Warnings;
  std::vector<std::string> Inputs;
  // --to: the kinds each input is written as, each once, in the order first named.
  std::vector<const TOutputKind*> Kinds;
  // -o: one output file ("-" standard output), or the folder the outputs (and with recursion their
  // tree) go into.
  std::optional<std::string> Output;
  bool OutputIsFolder = false;
  bool Recursive = false;
  bool Force = false;
  bool SkipExisting = false;
  bool Quiet = false;
  std::size_t Jobs = 1;
  std::optional<std::string> Report;
};

// What the terminal allows: a progress line on standard error, and its width; whether standard
// output goes to the same terminal, so that the line makes way for it too.
struct TTerminal {
  bool Progress = false;
  std::size_t Columns = 80;
  bool OutputShared = false;
};

struct TTally {
  std::size_t Converted = 0, Failed = 0, Skipped = 0;
  // Why the report was given up part-way; the conversions went on without it.
  std::optional<TIoError> ReportFailure;
};

// Converts every input into an output of each kind; each output is one result (its line, report
// row and count), and an input's summary is printed once. Summaries and lines naming the outputs go to out, failures and notes to
// err, the progress line to err as well. Throws TIoError when the report cannot be created, before
// any input is converted; a report that fails later leaves the run going (TTally::ReportFailure).
TTally RunConversions(const TRunOptions& options, std::ostream& out, std::ostream& err, const TTerminal& terminal);

}  // namespace torvane
