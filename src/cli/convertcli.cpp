#include "cli/convertcli.h"

#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

#include "drawing/jwc2jww.h"
#include "drawing/jwcunit.h"
#include "drawing/jwwunit.h"
#include "settings/inifile.h"
#include "settings/settings.h"
#include "shape/jwk2jws.h"
#include "shape/jwkunit.h"
#include "shape/jwsunit.h"
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
    "Usage: torvane-convert [--no-correction] [--font NAME] [--settings INI] [-o OUT] [--force] [--quiet]"
    " FILE...\n"
    "Converts JW_CAD drawings (.jwc) and parts (.jwk) of the DOS edition into drawings (.jww) and\n"
    "parts (.jws) of the Windows edition.\n"
    "\n"
    "  --no-correction  keep every converted coordinate unrounded (numeric correction is on by default)\n"
    "  --font NAME      font name that converted texts carry (default \"ＭＳ ゴシック\")\n"
    "  --settings INI   settings file whose character types size the texts of parts (read only);\n"
    "                   default: Torvane.ini in the current folder when it exists, else built-in values\n"
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

// The part of the file name after its last ".", upper-cased in ASCII, with the dot.
std::string UpperExtension(const std::string& path) {
  std::string name = fs::path(path).filename().string();
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return "";
  std::string extension = name.substr(dot);
  for (char& c : extension) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return extension;
}

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

TOptions ParseOptions(const std::vector<std::string>& args) {
  TOptions options;
  std::optional<std::string> font;
  std::optional<std::string> settings;
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
    } else if (arg == "-o") {
      options.output = value(arg);
    } else {
      throw TUsageError("unknown option " + arg);
    }
  }
  if (options.files.empty()) throw TUsageError("no file to convert");
  options.fontCp932 = FontFromUtf8(font.value_or(kDefaultFont));
  options.characterTypes = CharacterTypes(settings);
  std::error_code error;
  if (options.output && options.files.size() > 1 && !fs::is_directory(*options.output, error)) {
    throw TUsageError("-o must name an existing folder when several files are given");
  }
  return options;
}

class TBatch {
 public:
  TBatch(const TOptions& options, std::ostream& out, std::ostream& err)
      : options_(options), out_(out), err_(err) {}

  // True when the file was converted.
  bool Convert(const std::string& path);

 private:
  bool Refuse(const std::string& path, const std::string& why) {
    err_ << kProgram << ": " << path << ": " << why << "\n";
    return false;
  }
  std::string OutputPathFor(const std::string& path, const char* extension) const;
  // Refuses an output that would replace the input, one written earlier in this run, or an
  // existing file without --force.
  bool MayWrite(const std::string& input, const std::string& output);
  static fs::path KeyOf(const std::string& output);
  void PrintSummary(const std::vector<std::string>& lines) {
    if (options_.quiet) return;
    for (const std::string& line : lines) out_ << line << "\n";
    out_.flush();
  }
  // Prints the summary and answers whether the document may be converted.
  bool Loaded(const std::string& path, const std::vector<std::string>& summary, bool complete,
              const TReadFailure& failure);
  bool Saved(const std::string& path, const std::string& output, bool written, const std::string& reason);
  bool ConvertDrawing(const std::string& path, const std::string& output);
  bool ConvertPart(const std::string& path, const std::string& output);

  const TOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
  std::set<fs::path> written_;
};

std::string TBatch::OutputPathFor(const std::string& path, const char* extension) const {
  fs::path input(path);
  fs::path name = input.filename();
  name.replace_extension(extension);
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

bool TBatch::Loaded(const std::string& path, const std::vector<std::string>& summary, bool complete,
                    const TReadFailure& failure) {
  PrintSummary(summary);
  if (complete) return true;
  if (!failure.MissingNameTables) return Refuse(path, "cannot be read: " + failure.Reason);
  err_ << kProgram << ": " << path << ": note: the drawing has no layer or group names (saved by an older "
       << "DOS edition); they stay empty\n";
  return true;
}

bool TBatch::Saved(const std::string& path, const std::string& output, bool written, const std::string& reason) {
  if (!written) return Refuse(path, "cannot write " + output + ": " + reason);
  written_.insert(KeyOf(output));
  return true;
}

bool TBatch::ConvertDrawing(const std::string& path, const std::string& output) {
  if (!MayWrite(path, output)) return false;
  TReadFailure failure;
  bool complete = ReadJwc(path, JwcDocument, &failure);
  if (!Loaded(path, JwcSummaryLines(fs::absolute(path).string(), JwcDocument), complete, failure)) return false;
  ConvertJwcToJww(options_.fontCp932, options_.correction, JwcDocument, TJwwDocument);
  std::string reason;
  bool written = WriteJww(output, TJwwDocument, &reason);
  return Saved(path, output, written, reason);
}

bool TBatch::ConvertPart(const std::string& path, const std::string& output) {
  if (!MayWrite(path, output)) return false;
  TReadFailure failure;
  bool complete = ReadJwk(path, JwkDocument, &failure);
  if (!Loaded(path, JwkSummaryLines(fs::absolute(path).string(), JwkDocument), complete, failure)) return false;
  ConvertJwkToJws(options_.fontCp932, options_.correction, options_.characterTypes, JwkDocument, TJwsDocument);
  std::string reason;
  bool written = WriteJws(output, TJwsDocument, &reason);
  return Saved(path, output, written, reason);
}

bool TBatch::Convert(const std::string& path) {
  std::error_code error;
  if (!fs::exists(path, error)) return Refuse(path, "no such file");
  if (fs::is_directory(path, error)) return Refuse(path, "is a folder, not a file");
  if (!fs::is_regular_file(path, error)) return Refuse(path, "is not a regular file");
  std::string extension = UpperExtension(path);
  try {
    if (extension == ".JWC") {
      return IsJwcFile(path) ? ConvertDrawing(path, OutputPathFor(path, ".jww")) : Refuse(path, "not a JW_CAD drawing");
    }
    if (extension == ".JWK") {
      return IsJwkFile(path) ? ConvertPart(path, OutputPathFor(path, ".jws")) : Refuse(path, "not a JW_CAD part");
    }
  } catch (const TIoError& e) {
    return Refuse(path, "cannot write " + e.Path() + ": " + e.Text());
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
