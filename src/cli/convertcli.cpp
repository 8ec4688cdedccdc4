#include "cli/convertcli.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

#include "cli/charactertypes.h"
#include "cli/terminaltext.h"
#include "convert/conversion.h"
#include "support/cp932.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr char kProgram[] = "torvane-convert";
constexpr char kDefaultFont[] = "ＭＳ ゴシック";
constexpr std::size_t kMaxFontBytes = 254;
constexpr char kStandardOutput[] = "-";

constexpr char kUsage[] =
    "Usage: torvane-convert [--no-correction] [--font NAME] [--settings INI] [--jwf FILE] [-o OUT] [--force]"
    " [--quiet] FILE...\n"
    "Converts JW_CAD drawings (.jwc) and parts (.jwk) of the DOS edition into drawings (.jww) and\n"
    "parts (.jws) of the Windows edition.\n"
    "\n"
    "  --no-correction  keep every converted coordinate unrounded (numeric correction is on by default)\n"
    "  --font NAME      font name that converted texts carry (default \"ＭＳ ゴシック\")\n"
    "  --settings INI   settings file whose character types size the texts of parts (read only);\n"
    "                   default: Torvane.ini in the current folder when it exists, else built-in values\n"
    "  --jwf FILE       environment file (JWF) of JW_CAD's DOS edition whose character types are\n"
    "                   imported over those of the settings, as the window's \"JWF読込\" does\n"
    "  -o OUT           the output file for one input (- for standard output; the summary then goes\n"
    "                   to standard error), or an existing folder for several\n"
    "  --force          replace output files that already exist (a device or pipe is written into\n"
    "                   without it)\n"
    "  --quiet          print no load summaries\n"
    "  -h, --help       show this help\n"
    "\n"
    "Each output is written beside its input with the extension .jww or .jws unless -o says otherwise.\n"
    "Exit status: 0 when every file was converted, 1 when any was refused or failed, 2 on a usage error.\n";

struct TOptions {
  bool correction = true;
  bool force = false;
  bool quiet = false;
  std::string fontCp932;
  TCharacterTypes characterTypes;
  std::optional<std::string> output;
  std::vector<std::string> files;
};

class TUsageError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string FontFromUtf8(const std::string& utf8) {
  std::optional<std::string> cp932 = Utf8ToCp932(utf8);
  if (!cp932) throw TUsageError("the font name \"" + utf8 + "\" cannot be written in Shift-JIS (CP932)");
  if (cp932->size() > kMaxFontBytes) {
    throw TUsageError("the font name is " + std::to_string(cp932->size()) + " bytes long in Shift-JIS; at most " +
                      std::to_string(kMaxFontBytes) + " fit");
  }
  return *cp932;
}

TOptions ParseOptions(const std::vector<std::string>& args) {
  TOptions options;
  std::optional<std::string> font;
  std::optional<std::string> settings;
  std::optional<std::string> jwf;
  bool onlyFiles = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](const std::string& name) -> std::string {
      if (i + 1 >= args.size()) throw TUsageError(name + " needs a value");
      return args[++i];
    };
    if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
      options.files.push_back(arg);
    } else if (arg == "--") {
      onlyFiles = true;
    } else if (arg == "--no-correction") {
      options.correction = false;
    } else if (arg == "--force") {
      options.force = true;
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--font") {
      font = value(arg);
    } else if (arg.starts_with("--font=")) {
      font = arg.substr(7);
    } else if (arg == "--settings") {
      settings = value(arg);
    } else if (arg.starts_with("--settings=")) {
      settings = arg.substr(11);
    } else if (arg == "--jwf") {
      jwf = value(arg);
    } else if (arg.starts_with("--jwf=")) {
      jwf = arg.substr(6);
    } else if (arg == "-o") {
      options.output = value(arg);
    } else {
      throw TUsageError("unknown option " + arg);
    }
  }
  if (options.files.empty()) throw TUsageError("no file to convert");
  options.fontCp932 = FontFromUtf8(font.value_or(kDefaultFont));
  std::string why;
  if (settings && !options.characterTypes.NameSettings(*settings, why)) throw TUsageError(why);
  if (jwf && !options.characterTypes.ImportJwf(*jwf, why)) throw TUsageError(why);
  std::error_code ignored;
  if (options.output == kStandardOutput && options.files.size() > 1) {
    throw TUsageError("-o - takes one file only");
  }
  if (options.output && options.files.size() > 1 && !fs::is_directory(*options.output, ignored)) {
    throw TUsageError("-o must name an existing folder when several files are given");
  }
  return options;
}

class TBatch {
 public:
  TBatch(TOptions& options, std::ostream& out, std::ostream& err)
      : options_(options), toStandardOutput_(options.output == kStandardOutput),
        summary_(toStandardOutput_ ? err : out), err_(err) {
    conversion_.FontName = options.fontCp932;
    conversion_.NumericCorrection = options.correction;
    for (const std::string& file : options.files) inputs_.Add(file);
  }

  // True when the file was converted.
  bool Convert(const std::string& path);

 private:
  bool Refuse(const std::string& path, const std::string& why) {
    err_ << ForTerminal(std::string(kProgram) + ": " + path + ": " + why) << "\n";
    return false;
  }
  std::string OutputPathFor(const std::string& path, TFileKind kind) const;
  // Refuses an output that would replace an input of the run, one written earlier in this run,
  // or an existing file without --force.
  bool MayWrite(const std::string& input, const std::string& output);
  bool MayWriteStandardOutput(const std::string& input);
  static fs::path KeyOf(const std::string& output);
  void PrintSummary(const std::vector<std::string>& lines) {
    if (options_.quiet) return;
    for (const std::string& line : lines) summary_ << ForTerminal(line) << "\n";
    summary_.flush();
  }
  bool ConvertChecked(const std::string& path, TFileKind kind);
  std::string WriteFailure(const std::string& output, const TWriteOutcome& write) const;

  TOptions& options_;
  bool toStandardOutput_;
  std::ostream& summary_;
  std::ostream& err_;
  TConversionOptions conversion_;
  TInputFiles inputs_;
  std::set<fs::path> written_;
};

std::string TBatch::OutputPathFor(const std::string& path, TFileKind kind) const {
  if (toStandardOutput_) return "standard output";
  fs::path input(path);
  fs::path name = input.filename();
  name.replace_extension(OutputExtension(kind));
  if (!options_.output) return (input.parent_path() / name).string();
  std::error_code error;
  if (fs::is_directory(*options_.output, error)) return (fs::path(*options_.output) / name).string();
  return *options_.output;
}

fs::path TBatch::KeyOf(const std::string& output) {
  std::error_code error;
  fs::path key = fs::weakly_canonical(output, error);
  if (!error) return key;
  key = fs::absolute(output, error);
  return error ? fs::path(output) : key;
}

std::string AlreadyExists(const std::string& output) {
  return "the output " + output + " already exists (--force replaces it)";
}

bool TBatch::MayWrite(const std::string& input, const std::string& output) {
  if (toStandardOutput_) return MayWriteStandardOutput(input);
  if (const std::string* replaced = inputs_.Find(output)) {
    return Refuse(input, "the output " + output + " would replace the input" +
                             (*replaced == input ? std::string() : " " + *replaced));
  }
  if (written_.count(KeyOf(output)) != 0) {
    return Refuse(input, "the output " + output + " was already written by another file of this run");
  }
  std::error_code error;
  fs::file_status target = fs::status(output, error);
  if (fs::is_directory(target)) return Refuse(input, "the output " + output + " is a folder");
  // A device or pipe is written into, not replaced, so it needs no --force.
  bool special = fs::exists(target) && !fs::is_regular_file(target);
  if (fs::exists(fs::symlink_status(output, error)) && !special && !options_.force) {
    return Refuse(input, AlreadyExists(output));
  }
  return true;
}

bool TBatch::MayWriteStandardOutput(const std::string& input) {
  if (const std::string* replaced = inputs_.FindDescriptor(STDOUT_FILENO)) {
    return Refuse(input, "standard output is the input " + *replaced);
  }
  // A drawing's bytes would drive the terminal.
  if (isatty(STDOUT_FILENO)) return Refuse(input, "standard output is a terminal; redirect it to a file or a pipe");
  return true;
}

std::string TBatch::WriteFailure(const std::string& output, const TWriteOutcome& write) const {
  if (write.TooLargeBytes != 0) {
    return "the output would take at least " + std::to_string(write.TooLargeBytes) +
           " bytes, more than the 2 GiB that readers of the format load; not converted";
  }
  // Made at the target while this file was converted.
  if (write.Error == EEXIST && !options_.force) return AlreadyExists(output);
  // The system's own words for an errno, else the runtime's text.
  return "cannot write " + output + ": " + (write.Error != 0 ? std::strerror(write.Error) : write.Text);
}

bool TBatch::ConvertChecked(const std::string& path, TFileKind kind) {
  std::string output = OutputPathFor(path, kind);
  if (!MayWrite(path, output)) return false;
  if (kind == TFileKind::Part) {
    std::string why;
    if (!options_.characterTypes.Get(conversion_.CharacterTypes, why)) return Refuse(path, why);
  }
  TWriteMode mode = toStandardOutput_ ? TWriteMode::StandardOutput
                    : options_.force  ? TWriteMode::Replace
                                      : TWriteMode::NoReplace;
  TFileOutcome outcome =
      ConvertFile(path, kind, output, conversion_, GlobalDocuments(), mode, true, fs::absolute(path).string());
  const TLoadOutcome& load = outcome.Load;
  PrintSummary(load.Summary);
  if (!load.Opened()) return Refuse(path, std::string("cannot be read: ") + std::strerror(load.Failure.OpenError));
  if (load.Truncated()) return Refuse(path, "cannot be read: " + load.Failure.Reason);
  if (load.Failure.MissingNameTables) {
    err_ << ForTerminal(std::string(kProgram) + ": " + path +
                        ": note: the drawing has no layer or group names (saved by an older DOS edition); they "
                        "stay empty")
         << "\n";
  }
  const TWriteOutcome& write = *outcome.Write;
  if (!write.Written) return Refuse(path, WriteFailure(output, write));
  written_.insert(KeyOf(output));
  return true;
}

bool TBatch::Convert(const std::string& path) {
  std::error_code error;
  if (!fs::exists(path, error)) return Refuse(path, "no such file");
  if (fs::is_directory(path, error)) return Refuse(path, "is a folder, not a file");
  if (!fs::is_regular_file(path, error)) return Refuse(path, "is not a regular file");
  TFileCheck check = CheckFile(path);
  try {
    switch (check.Result) {
      case TCheckResult::Accepted: return ConvertChecked(path, check.Kind);
      case TCheckResult::Unreadable: return Refuse(path, std::string("cannot be read: ") + std::strerror(check.Error));
      case TCheckResult::NoSignature:
        return Refuse(path, check.Kind == TFileKind::Drawing ? "not a JW_CAD drawing" : "not a JW_CAD part");
      case TCheckResult::NotJwcJwk: break;
    }
  } catch (const std::exception& e) {
    // Whatever else goes wrong with one file (memory, the system) ends that file, not the run.
    return Refuse(path, std::string("cannot be converted: ") + e.what());
  }
  return Refuse(path, "not a JW_CAD drawing or part (.jwc, .jwk)");
}

}  // namespace

int RunConvertCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "-h" || arg == "--help") {
      out << kUsage;
      return kExitConverted;
    }
  }
  TOptions options;
  try {
    options = ParseOptions(args);
  } catch (const TUsageError& e) {
    err << ForTerminal(std::string(kProgram) + ": " + e.what()) << "\n" << kUsage;
    return kExitUsage;
  }
  TBatch batch(options, out, err);
  bool allConverted = true;
  for (const std::string& file : options.files) allConverted = batch.Convert(file) && allConverted;
  out.flush();
  if (!out) {
    err << kProgram << ": the summaries could not be written to standard output\n";
    return kExitSomeFailed;
  }
  return allConverted ? kExitConverted : kExitSomeFailed;
}

}  // namespace torvane
