#include "cli/convertcli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>

#include "cli/convertrun.h"
#include "cli/messages.h"
#include "convert/conversion.h"
#include "convert/outputguard.h"
#include "drawing/jwcunit.h"
#include "shape/jwkunit.h"
#include "support/cp932.h"
#include "support/files.h"
#include "support/ioerror.h"
#include "support/outputfile.h"
#include "support/shown.h"
#include "support/text.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

// The default font as it is written, CP932: a run that names no font then loads no character-set
// converter, which costs more than half a millisecond of every start.
constexpr char kDefaultFontCp932[] = "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e";  // ＭＳ ゴシック
constexpr std::size_t kMaxFontBytes = 254;

// The usage text, translated as one piece.
std::string Usage() {
  return Tr(
    "Usage: torvane-convert [OPTION]... FILE|FOLDER...\n"
    "Converts JW_CAD drawings (.jwc) and parts (.jwk) of the DOS edition into drawings (.jww) and\n"
    "parts (.jws) of the Windows edition.\n"
    "\n"
    "  -r, --recursive    convert every drawing and part below the folders named; with -o DIR their\n"
    "                     folder tree is rebuilt under DIR\n"
    "  -j, --jobs N       convert N files at a time (default: the number of processors)\n"
    "  --to KIND          write each input as KIND: jww (a drawing's .jww, a part's .jws; the\n"
    "                     default), dxf (DXF 2010, UTF-8), or a picture: svg, png or pdf (a PDF page\n"
    "                     is the drawing's paper, 1 mm of paper to 1 mm); repeat it for several\n"
    "                     kinds, each output then counting on its own\n"
    "  --png-width N      width of PNG pictures in pixels (default 2000)\n"
    "  --scheme SCHEME    colours of pictures: print (black on white, the default) or screen (each\n"
    "                     pen in its reference colour on black)\n"
    "  -o OUT             the output file for one input and one kind (- for standard output; the\n"
    "                     summary then goes to standard error), or a folder for several, which\n"
    "                     must exist unless -r is given\n"
    "  --force            replace output files that already exist (a device or pipe is written into\n"
    "                     without it)\n"
    "  --skip-existing    keep output files that already exist and count their inputs as skipped\n"
    "  --report FILE      write a CSV report with one row per input. So that no spreadsheet takes a\n"
    "                     cell for a formula, a relative path beginning with =, +, -, @ is written\n"
    "                     as ./PATH, and any other cell beginning so gets a leading apostrophe\n"
    "  --no-correction    keep every converted coordinate unrounded (numeric correction is on by default)\n"
    "  --font NAME        font name that converted texts carry (default \"ＭＳ ゴシック\")\n"
    "  --settings INI     settings file whose character types size the texts of parts (read only);\n"
    "                     default: Torvane.ini in the current folder when it exists, else built-in values\n"
    "  --jwf FILE         environment file (JWF) of JW_CAD's DOS edition whose character types are\n"
    "                     imported over those of the settings, as the window's \"JWF読込\" does\n"
    "                     (a settings or JWF file larger than 1 MiB is refused: no real one is)\n"
    "  --quiet            print no summaries, no progress and no tally: only failures and notes\n"
    "  -h, --help         show this help\n"
    "  --version          show the version\n"
    "\n"
    "Each output is written beside its input with the extension of its kind (.jww or .jws by default)\n"
    "unless -o says otherwise.\n"
    "Exit status: 0 when every file was converted or skipped, 1 when any was refused or failed,\n"
    "2 on a usage error.\n");
}

// The jobs -j may ask for.
constexpr std::size_t kMaxJobs = 256;

class TUsageError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string FontFromUtf8(const std::string& utf8) {
  std::optional<std::string> cp932 = Utf8ToCp932(utf8);
  if (!cp932) throw TUsageError(Tr("the font name \"%1\" cannot be written in Shift-JIS (CP932)", {utf8}));
  if (cp932->size() > kMaxFontBytes) {
    throw TUsageError(Tr("the font name is %1 bytes long in Shift-JIS; at most %2 fit",
                         {std::to_string(cp932->size()), std::to_string(kMaxFontBytes)}));
  }
  return *cp932;
}

std::size_t DefaultJobs() {
  unsigned cores = std::thread::hardware_concurrency();
  return std::clamp<std::size_t>(cores, 1, kMaxJobs);
}

std::size_t JobsFrom(const std::string& text) {
  std::optional<int32_t> jobs = ParseStrictInt(text);
  if (!jobs || *jobs < 1 || static_cast<std::size_t>(*jobs) > kMaxJobs) {
    throw TUsageError(Tr("--jobs takes a number from 1 to %1, not \"%2\"", {std::to_string(kMaxJobs), text}));
  }
  return static_cast<std::size_t>(*jobs);
}

// No more workers than files: a worker that shares the cores with others converts its file on
// one thread, while the only worker of a run converts on all of them.
void LimitJobs(TRunOptions& run) {
  if (run.Inputs.size() >= run.Jobs) return;
  if (run.Recursive && std::any_of(run.Inputs.begin(), run.Inputs.end(), IsFolder)) return;
  run.Jobs = std::max<std::size_t>(run.Inputs.size(), 1);
}

// -o names a folder when it is one, and whenever several outputs are to be written.
void DecideOutput(TRunOptions& run) {
  if (!run.Output) return;
  // An output that is standard output's own file, by whatever name (/dev/stdout, the file it is
  // redirected to), is standard output: the summaries then go to standard error, not into it.
  if (SameFileAsDescriptor(*run.Output, STDOUT_FILENO)) run.Output = kStandardOutput;
  bool anyFolder = run.Recursive && std::any_of(run.Inputs.begin(), run.Inputs.end(), IsFolder);
  if (*run.Output == kStandardOutput) {
    if (run.Inputs.size() > 1 || anyFolder) throw TUsageError(Tr("-o - takes one file only"));
    if (run.Kinds.size() > 1) throw TUsageError(Tr("-o - takes one --to kind only"));
    return;
  }
  run.OutputIsFolder = IsFolder(*run.Output) || run.Inputs.size() > 1 || anyFolder || run.Kinds.size() > 1;
  if (!run.OutputIsFolder || IsFolder(*run.Output)) return;
  if (run.Kinds.size() > 1 && run.Inputs.size() == 1 && !anyFolder) {
    throw TUsageError(Tr("-o must name an existing folder when several --to kinds are given"));
  }
  if (!run.Recursive) throw TUsageError(Tr("-o must name an existing folder when several files are given"));
  // A tree is rebuilt under a folder that may not exist yet; the folder above it must.
  if (mkdir(run.Output->c_str(), 0777) != 0) {
    throw TUsageError(Tr("cannot make the output folder %1: %2", {ShownPath(*run.Output), std::strerror(errno)}));
  }
}

bool HasDrawingOrPartName(const std::string& path) {
  std::string extension = UpperExtension(path);
  return extension == ".JWC" || extension == ".JWK" || extension == ".JWW" || extension == ".JWS";
}

// The report replaces an earlier file of its name, but never a drawing or part, by its name or
// through a link, which the report is written through.
void CheckReport(const TRunOptions& run) {
  if (!run.Report) return;
  if (HasDrawingOrPartName(*run.Report)) {
    throw TUsageError(Tr("the report %1 would replace a drawing or part; name it .csv", {ShownPath(*run.Report)}));
  }
  if (IsFolder(*run.Report)) throw TUsageError(Tr("the report %1 is a folder", {ShownPath(*run.Report)}));
  std::error_code error;
  std::string target = ResolveTarget(*run.Report);
  // A pipe is not opened to be looked into: that would wait for a writer.
  bool drawingOrPart = HasDrawingOrPartName(target) ||
                       (fs::is_regular_file(target, error) && (IsJwcFile(target) || IsJwkFile(target)));
  if (drawingOrPart) {
    throw TUsageError(Tr("the report %1 is a link to the drawing or part %2, which is never replaced",
                         {ShownPath(*run.Report), ShownPath(target)}));
  }
}

int PngWidthFrom(const std::string& text) {
  int width = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), width);
  if (error != std::errc() || end != text.data() + text.size() || width < 1 || width > TPictureOptions::kMaxPngWidth) {
    throw TUsageError(Tr("--png-width takes a number of pixels from 1 to %1, not \"%2\"",
                         {std::to_string(TPictureOptions::kMaxPngWidth), text}));
  }
  return width;
}

// True for the screen's colours, false for print.
bool ScreenSchemeFrom(const std::string& text) {
  if (text == "screen") return true;
  if (text == "print") return false;
  throw TUsageError(Tr("--scheme takes print or screen, not \"%1\"", {text}));
}

// The kind --to names, added to the kinds of the run unless it is there already.
void AddOutputKind(TRunOptions& run, const std::string& name) {
  const TOutputKind* kind = FindOutputKind(name);
  if (kind == nullptr) {
    std::string names;
    for (const TOutputKind& known : OutputKinds()) {
      names += (names.empty() ? "" : ", ") + std::string(known.Name);
      if (&known == &NativeOutput()) names += ", jws";
    }
    throw TUsageError(Tr("--to takes one of %1, not \"%2\"", {names, name}));
  }
  if (kind->Writer == nullptr) {
    throw TUsageError(Tr("--to %1 is not available: this torvane-convert was built without the window's "
                         "libraries (TORVANE_GUI=OFF), which draw pictures",
                         {kind->Name}));
  }
  if (std::find(run.Kinds.begin(), run.Kinds.end(), kind) == run.Kinds.end()) run.Kinds.push_back(kind);
}

TRunOptions ParseOptions(const std::vector<std::string>& args) {
  TRunOptions run;
  run.Jobs = DefaultJobs();
  std::optional<std::string> font;
  std::optional<std::string> settings;
  std::optional<std::string> jwf;
  bool onlyFiles = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](const std::string& name) -> std::string {
      if (i + 1 >= args.size()) throw TUsageError(Tr("%1 needs a value", {name}));
      return args[++i];
    };
    if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
      run.Inputs.push_back(arg);
    } else if (arg == "--") {
      onlyFiles = true;
    } else if (arg == "--no-correction") {
      run.Conversion.NumericCorrection = false;
    } else if (arg == "--force") {
      run.Force = true;
    } else if (arg == "--skip-existing") {
      run.SkipExisting = true;
    } else if (arg == "--quiet") {
      run.Quiet = true;
    } else if (arg == "-r" || arg == "--recursive") {
      run.Recursive = true;
    } else if (arg == "-j" || arg == "--jobs") {
      run.Jobs = JobsFrom(value(arg));
    } else if (arg.starts_with("--jobs=")) {
      run.Jobs = JobsFrom(arg.substr(7));
    } else if (arg.starts_with("-j")) {
      run.Jobs = JobsFrom(arg.substr(2));
    } else if (arg == "--report") {
      run.Report = value(arg);
    } else if (arg.starts_with("--report=")) {
      run.Report = arg.substr(9);
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
    } else if (arg == "--to") {
      AddOutputKind(run, value(arg));
    } else if (arg.starts_with("--to=")) {
      AddOutputKind(run, arg.substr(5));
    } else if (arg == "--png-width") {
      run.Conversion.Picture.PngWidth = PngWidthFrom(value(arg));
    } else if (arg.starts_with("--png-width=")) {
      run.Conversion.Picture.PngWidth = PngWidthFrom(arg.substr(12));
    } else if (arg == "--scheme") {
      run.Conversion.Picture.ScreenColours = ScreenSchemeFrom(value(arg));
    } else if (arg.starts_with("--scheme=")) {
      run.Conversion.Picture.ScreenColours = ScreenSchemeFrom(arg.substr(9));
    } else if (arg == "-o") {
      run.Output = value(arg);
    } else {
      throw TUsageError(Tr("unknown option %1", {arg}));
    }
  }
  if (run.Inputs.empty()) throw TUsageError(Tr("no file to convert"));
  if (run.Kinds.empty()) run.Kinds.push_back(&NativeOutput());
  if (run.Force && run.SkipExisting) throw TUsageError(Tr("--force and --skip-existing exclude each other"));
  run.Conversion.FontName = font ? FontFromUtf8(*font) : std::string(kDefaultFontCp932);
  std::string why;
  if (settings && !run.CharacterTypes.NameSettings(*settings, why)) throw TUsageError(why);
  if (settings) run.Conversion.Picture.PenColors = run.CharacterTypes.Pens();
  if (jwf) {
    TJwfDecision decision = run.CharacterTypes.ImportJwf(*jwf, why);
    if (decision == TJwfDecision::Refuse) throw TUsageError(why);
    if (decision == TJwfDecision::TakeAfterWarning) {
      run.Warnings.push_back(Tr("warning: %1; the values it holds are used", {why}));
    }
  }
  CheckReport(run);
  DecideOutput(run);
  LimitJobs(run);
  return run;
}

std::string IoErrorReason(const TIoError& e) {
  return e.Errno() != 0 ? std::strerror(e.Errno()) : Tr("I/O error %1", {std::to_string(e.Code())});
}

void PrintError(std::ostream& err, const std::string& message) {
  err << EscapeControls(std::string(kProgram) + ": " + message) << "\n";
}

}  // namespace

int RunConvertCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const TTerminal& terminal) {
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "-h" || arg == "--help") {
      out << Usage();
      return kExitConverted;
    }
    if (arg == "--version") {
      out << kProgram << " " << TORVANE_VERSION << "\n";
      return kExitConverted;
    }
  }
  TRunOptions options;
  try {
    options = ParseOptions(args);
  } catch (const TUsageError& e) {
    // The reason, and where to read more: the whole usage text would bury the reason.
    err << EscapeControls(std::string(kProgram) + ": " + e.what()) << "\n"
        << Tr("Try \"%1 --help\" for more information.", {kProgram}) << "\n";
    return kExitUsage;
  }
  for (const std::string& warning : options.Warnings) err << EscapeControls(std::string(kProgram) + ": " + warning) << "\n";
  // With the output on standard output, every text goes to standard error.
  std::ostream& text = options.Output == kStandardOutput ? err : out;
  TTally tally;
  try {
    tally = RunConversions(options, text, err, terminal);
  } catch (const TIoError& e) {
    PrintError(err, Tr("the report %1 cannot be written: %2", {ShownPath(*options.Report), IoErrorReason(e)}));
    return kExitSomeFailed;
  }
  if (tally.ReportFailure) {
    PrintError(err, Tr("the report %1 could not be finished: %2 (the conversions went on without it)",
                       {ShownPath(*options.Report), IoErrorReason(*tally.ReportFailure)}));
  }
  if (!options.Quiet) {
    text << Tr("%1 converted, %2 failed, %3 skipped",
              {std::to_string(tally.Converted), std::to_string(tally.Failed), std::to_string(tally.Skipped)})
        << "\n";
  }
  out.flush();
  if (!out) {
    err << kProgram << ": " << Tr("the summaries could not be written to standard output") << "\n";
    return kExitSomeFailed;
  }
  return tally.Failed == 0 && !tally.ReportFailure ? kExitConverted : kExitSomeFailed;
}

}  // namespace torvane
