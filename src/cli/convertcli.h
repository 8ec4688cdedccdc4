// The command-line converter: options, one conversion per file, messages and exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/convertrun.h"

namespace torvane {

enum TExitStatus : int { kExitConverted = 0, kExitSomeFailed = 1, kExitUsage = 2 };

// args are the arguments after the program name. Summaries, the lines naming the outputs and the
// tally go to out, errors, notes and the progress line (when the terminal allows it) to err, all
// in UTF-8.
int RunConvertCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const TTerminal& terminal = {});

}  // namespace torvane
