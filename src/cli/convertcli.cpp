#include "cli/convertcli.h"

#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

#include "convert/conversion.h"
#include "settings/inifile.h"
#include "settings/jwf.h"
#include "settings/settings.h"
#include "support/cp932.h"
#include "support/bytereader.h"
#include "support/ioerror.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr char kProgram[] = "torvane-convert";
constexpr char kDefaultFont[] = "ＭＳ ゴシック";
constexpr std::size_t kMaxFontBytes = 254;

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
    "  -o OUT           the output file for one input, or an existing folder for several\n"
    "  --force          replace output files that already exist\n"
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
  TMojiSettingsTable characterTypes{};
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

// The character types that size the texts of parts: from the settings file named, else from
// Torvane.ini in the current folder when there is one, else the built-in values.
TMojiSettingsTable CharacterTypes(const std::optional<std::string>& settings) {
  std::error_code error;
  std::string path = settings.value_or("Torvane.ini");
  if (!settings && !fs::is_regular_file(path, error)) return DefaultMojiSettings();
  TFileBytes bytes;
  if (!LoadFileBytes(path, bytes)) throw TUsageError("the settings file " + path + " cannot be read");
  return ReadMojiSettings(TIniText(std::string(reinterpret_cast<const char*>(bytes.data.get()), bytes.size)));
}

std::string JwfRejection(const std::string& path, const TJwfResult& result) {
  std::string file = "the JWF file " + path;
  std::string line = "line " + std::to_string(result.StopLine);
  switch (result.Stop) {
    case TJwfStop::Unreadable: return file + " cannot be read: " + std::strerror(result.Error);
    case TJwfStop::BadValue:
      return file + ", " + line + ": " +
             (result.BadText.empty() ? std::string("a value is missing")
                                     : "\"" + Cp932ToUtf8(result.BadText) + "\" is not a whole number");
    case TJwfStop::EndOfFile: line = "its end (" + line + ")"; break;
    case TJwfStop::LcollorUnderscore: line += ", which begins with LCOLLOR_"; break;
    case TJwfStop::Mdist: line += ", its first MDIST line"; break;
  }
  return file + " is no JWF file of JW_CAD's DOS edition: it has " + std::to_string(result.KeyLines) + " of the " +
         std::to_string(kJwfKeyLinesNeeded) + " key lines (LCOLLOR, MPEN, MWIDE, MHIGH, MDIST) needed before " +
         "reading ends at " + line;
}

// Imports the JWF file over the character types as the window's import does; a file that the
// window would reject is a usage error.
void ApplyJwf(const std::string& path, TMojiSettingsTable& types) {
  TPenColors colors = DefaultPenColors();  // shown by the window only; conversion has no use for them
  TJwfResult result = ReadJwfFile(path, types, colors);
  if (!result.Accepted()) throw TUsageError(JwfRejection(path, result));
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
  options.characterTypes = CharacterTypes(settings);
  if (jwf) ApplyJwf(*jwf, options.characterTypes);
  std::error_code error;
  if (options.output && options.files.size() > 1 && !fs::is_directory(*options.output, error)) {
    throw TUsageError("-o must name an existing folder when several files are given");
  }
  return options;
}

class TBatch {
 public:
  TBatch(const TOptions& options, std::ostream& out, std::ostream& err)
      : options_(options), out_(out), err_(err) {
    conversion_.FontName = options.fontCp932;
    conversion_.NumericCorrection = options.correction;
    conversion_.CharacterTypes = options.characterTypes;
  }

  // True when the file was converted.
  bool Convert(const std::string& path);

 private:
  bool Refuse(const std::string& path, const std::string& why) {
    err_ << kProgram << ": " << path << ": " << why << "\n";
    return false;
  }
  std::string OutputPathFor(const std::string& path, TFileKind kind) const;
  // Refuses an output that would replace the input, one written earlier in this run, or an
  // existing file without --force.
  bool MayWrite(const std::string& input, const std::string& output);
  static fs::path KeyOf(const std::string& output);
  void PrintSummary(const std::vector<std::string>& lines) {
    if (options_.quiet) return;
    for (const std::string& line : lines) out_ << line << "\n";
    out_.flush();
  }
  bool ConvertChecked(const std::string& path, TFileKind kind);

  const TOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
  TConversionOptions conversion_;
  std::set<fs::path> written_;
};

std::string TBatch::OutputPathFor(const std::string& path, TFileKind kind) const {
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

bool TBatch::MayWrite(const std::string& input, const std::string& output) {
  std::error_code error;
  if (fs::equivalent(input, output, error) || KeyOf(input) == KeyOf(output)) {
    return Refuse(input, "the output " + output + " would replace the input");
  }
  if (written_.count(KeyOf(output)) != 0) {
    return Refuse(input, "the output " + output + " was already written by another file of this run");
  }
  if (fs::is_directory(output, error)) return Refuse(input, "the output " + output + " is a folder");
  if (fs::exists(fs::symlink_status(output, error)) && !options_.force) {
    return Refuse(input, "the output " + output + " already exists (--force replaces it)");
  }
  return true;
}

// The system's own words for an errno, else the runtime's text.
std::string WriteFailureText(const TWriteOutcome& outcome) {
  return outcome.Error != 0 ? std::strerror(outcome.Error) : outcome.Text;
}

bool TBatch::ConvertChecked(const std::string& path, TFileKind kind) {
  std::string output = OutputPathFor(path, kind);
  if (!MayWrite(path, output)) return false;
  TFileOutcome outcome =
      ConvertFile(path, kind, output, conversion_, GlobalDocuments(),
                  options_.force ? TWriteMode::Replace : TWriteMode::NoReplace, true, fs::absolute(path).string());
  const TLoadOutcome& load = outcome.Load;
  PrintSummary(load.Summary);
  if (!load.Opened()) return Refuse(path, std::string("cannot be read: ") + std::strerror(load.Failure.OpenError));
  if (load.Truncated()) return Refuse(path, "cannot be read: " + load.Failure.Reason);
  if (load.Failure.MissingNameTables) {
    err_ << kProgram << ": " << path << ": note: the drawing has no layer or group names (saved by an older "
         << "DOS edition); they stay empty\n";
  }
  const TWriteOutcome& write = *outcome.Write;
  if (!write.Written) return Refuse(path, "cannot write " + output + ": " + WriteFailureText(write));
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
    err << kProgram << ": " << e.what() << "\n" << kUsage;
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
