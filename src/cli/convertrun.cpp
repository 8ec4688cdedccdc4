#include "cli/convertrun.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "cli/messages.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "convert/batch.h"
#include "convert/folderwalk.h"
#include "convert/outputguard.h"
#include "support/files.h"
#include "support/ioerror.h"
#include "support/outputfile.h"
#include "support/shown.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

// One input: a file named, or one found below a folder named, with the output it gets.
struct TJob {
  std::string Input;
  // One output for each kind of the run (TRunOptions::Kinds), in that order; none when there is
  // none to name.
  std::vector<std::string> Outputs;
  // The errno of a folder below a named one that could not be read.
  int FolderError = 0;
  // A folder named while folders are not walked.
  bool Folder = false;
  // The output folder is made when it is missing: a tree rebuilt under -o.
  bool MakeFolder = false;
  // -o named the output itself; else the outputs were derived from the input's name.
  TOutputNaming Naming = TOutputNaming::Derived;
  // A folder's listing showed the input as a regular file.
  bool ListedRegular = false;
  // Why a part cannot have its character types (a settings or JWF file that cannot be read).
  std::string SettingsFailure;
};

// What a worker found out about one output of an input, before the output takes its place.
struct TPreparedOutput {
  // Why this output may not be written; empty when it may.
  std::string Refusal;
  // The output already existed when the worker looked, and may not be replaced.
  bool Exists = false;
  // What the worker found at the output's path.
  TPathEntry Entry;
  // Writing to the temporary file: its outcome, and the file when every byte was written.
  std::optional<TWriteOutcome> Staging;
  std::unique_ptr<TOutputFile> Staged;
};

// What a worker found out about one input.
struct TPrepared {
  TFileKind Kind = TFileKind::None;
  // Why the input was refused before it was read; empty when it was not.
  std::string Refusal;
  std::optional<TLoadOutcome> Load;
  // The conversion's refusal (an output too large), when it was refused.
  std::optional<TWriteOutcome> Conversion;
  std::vector<TPreparedOutput> Outputs;  // one for each of the job's outputs
};

enum class TResult { Converted, Failed, Skipped };

std::string ErrorText(int error) { return std::strerror(error); }

const char* KindName(TFileKind kind) {
  switch (kind) {
    case TFileKind::Drawing: return "drawing";
    case TFileKind::Part: return "part";
    case TFileKind::None: break;
  }
  return "";
}

// Why a write to output (named so in messages) failed, in the user's words: which folder is
// missing rather than "no such file".
std::string WriteFailureText(const std::string& output, const std::string& name, const TWriteOutcome& write) {
  if (write.TooLargeBytes != 0) {
    return Tr("the output would take at least %1 bytes, more than the 2 GiB that readers of the format load; "
              "not converted",
              {std::to_string(write.TooLargeBytes)});
  }
  if (write.NotCreated && (write.Error == ENOENT || write.Error == ENOTDIR)) {
    fs::path folder = fs::path(output).parent_path();
    std::error_code error;
    if (folder.empty()) folder = ".";
    if (!fs::exists(folder, error)) {
      return Tr("cannot write %1: the folder %2 does not exist", {name, ShownPath(folder.string())});
    }
    if (!fs::is_directory(folder, error)) {
      return Tr("cannot write %1: %2 is not a folder", {name, ShownPath(folder.string())});
    }
  }
  std::string why = write.Error != 0 ? ErrorText(write.Error) : Tr("I/O error %1", {std::to_string(write.Code)});
  return Tr("cannot write %1: %2", {name, why});
}

// Makes the folder and those above it that are missing, up to a folder that exists.
int MakeFolders(const fs::path& folder) {
  struct stat info {};
  if (folder.empty() || stat(folder.c_str(), &info) == 0) return 0;
  if (int error = MakeFolders(folder.parent_path()); error != 0) return error;
  if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return errno;
  return 0;
}

// Inputs up to this size leave their memory to the worker's next file.
constexpr std::size_t kKeptInputBytes = std::size_t{1} << 20;

// What each worker keeps from file to file.
struct TWorker {
  TOwnedDocuments Documents;
  TFileBytes Bytes;  // the memory its inputs are read into
  // The output folder last made (or found), so that the files of one folder ask only once.
  std::string MadeFolder;
};

// What every worker reads and none changes.
struct TShared {
  const TRunOptions& Options;
  // The font, numeric correction and, once a part came, the character types.
  const TConversionOptions& Conversion;
  // The files named on the command line, which no output may replace, and the outputs written.
  TOutputGuard& Guard;
  // The working folder, which inputs named relative to it are shown in.
  fs::path WorkingFolder;
};

bool ToStandardOutput(const TRunOptions& options) { return options.Output == kStandardOutput; }

// The name of an output in messages.
std::string OutputName(const TRunOptions& options, const std::string& output) {
  return ToStandardOutput(options) ? Tr("standard output") : ShownPath(output);
}

// Why the guard refuses the output, in the user's words; empty when it does not.
std::string Refusal(const TOutputCheck& check, const TJob& job, const std::string& path, const TRunOptions& options) {
  bool standard = ToStandardOutput(options);
  std::string output = ShownPath(path);
  switch (check.Verdict) {
    case TOutputVerdict::New:
    case TOutputVerdict::Existing:
    case TOutputVerdict::WrittenInto: return "";
    case TOutputVerdict::Folder: return Tr("the output %1 is a folder", {output});
    case TOutputVerdict::Input:
      if (standard) return Tr("standard output is the input %1", {ShownPath(check.Input)});
      if (check.Input != job.Input) {
        return Tr("the output %1 would replace the input %2", {output, ShownPath(check.Input)});
      }
      return Tr("the output %1 would replace the input", {output});
    case TOutputVerdict::WrittenByRun:
      return Tr("the output %1 was already written by another file of this run", {output});
    case TOutputVerdict::LinkToDosFile:
      return Tr("the output %1 is a link to a JW_CAD DOS file, which is never replaced", {output});
    case TOutputVerdict::Terminal:
      // A drawing's bytes would drive the terminal.
      if (standard) return Tr("standard output is a terminal; redirect it to a file or a pipe");
      return Tr("the output %1 is a terminal; name a file or a pipe", {output});
  }
  return "";
}

TOutputCheck GuardOutput(const TJob& job, const std::string& output, const TRunOptions& options,
                         const TOutputGuard& guard) {
  return ToStandardOutput(options) ? guard.CheckDescriptor(STDOUT_FILENO)
                                   : guard.Check(output, job.Naming, job.Input);
}

// Why one output of an input may not be written; empty when it may. Sets prepared.Exists when it
// exists and may not be replaced, and prepared.Entry.
std::string CheckOutput(const TJob& job, const std::string& output, const TOutputKind& to, TFileKind kind,
                        const TShared& shared, TPreparedOutput& prepared) {
  TOutputCheck check = GuardOutput(job, output, shared.Options, shared.Guard);
  prepared.Entry = check.Entry;
  bool& exists = prepared.Exists;
  if (std::string why = Refusal(check, job, output, shared.Options); !why.empty()) return why;
  bool special = check.Verdict == TOutputVerdict::WrittenInto;
  exists = check.Verdict == TOutputVerdict::Existing;
  // A device or pipe has no name to fit.
  if (!special && !HasOutputExtension(output, kind, to)) {
    std::string extension = OutputExtension(kind, to);
    std::string why =
        !to.Extension.empty()       ? Tr("the output %1 does not fit --to %2: its name must end in %3",
                                         {ShownPath(output), to.Name, extension})
        : kind == TFileKind::Drawing ? Tr("the output %1 does not fit a drawing: its name must end in .jww",
                                          {ShownPath(output)})
                                     : Tr("the output %1 does not fit a part: its name must end in .jws",
                                          {ShownPath(output)});
    // A name without an extension was most likely meant as a folder that is not there yet.
    if (UpperExtension(output).empty()) why += Tr(" (an output folder must exist already)");
    return why;
  }
  exists = exists && !special && !shared.Options.Force;
  return "";
}

// Why the input cannot be converted by what it is (missing, not a regular file); empty when it is
// a regular file.
std::string InputRefusal(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    int error = errno;
    if (error != ENOENT) return Tr("cannot be read: %1", {ErrorText(error)});
    return lstat(path.c_str(), &info) == 0 ? Tr("is a link that leads to no file") : Tr("no such file");
  }
  if (!S_ISREG(info.st_mode)) return Tr("is not a regular file");
  return "";
}

// Everything about one input that can be done side by side with other inputs: the checks of the
// input and its output, reading, converting and writing to a temporary file.
TPrepared Prepare(const TJob& job, const TShared& shared, TWorker& worker) {
  const TRunOptions& options = shared.Options;
  TPrepared prepared;
  auto refuse = [&](std::string why) {
    prepared.Refusal = std::move(why);
    return std::move(prepared);
  };
  if (job.FolderError != 0) return refuse(Tr("the folder cannot be read: %1", {ErrorText(job.FolderError)}));
  if (job.Folder) return refuse(Tr("is a folder (--recursive converts the drawings and parts in it)"));
  prepared.Kind = FileKindOf(job.Input);
  // An input is looked at before it is opened, so that a device is never opened, unless its
  // folder's listing showed a regular file; then only when it cannot be read after all.
  if (!job.ListedRegular) {
    if (std::string why = InputRefusal(job.Input); !why.empty()) return refuse(why);
  }
  TInputFile input(job.Input);
  if (job.ListedRegular && !input.IsRegular()) {
    if (std::string why = InputRefusal(job.Input); !why.empty()) return refuse(why);
  }
  TFileCheck check = CheckFile(job.Input, input);
  prepared.Kind = check.Kind;
  switch (check.Result) {
    case TCheckResult::Accepted: break;
    case TCheckResult::Unreadable: return refuse(Tr("cannot be read: %1", {ErrorText(check.Error)}));
    case TCheckResult::NoSignature:
      return refuse(check.Kind == TFileKind::Drawing ? Tr("not a JW_CAD drawing") : Tr("not a JW_CAD part"));
    case TCheckResult::NotJwcJwk: return refuse(Tr("not a JW_CAD drawing or part (.jwc, .jwk)"));
  }
  prepared.Outputs.resize(job.Outputs.size());
  bool anyToWrite = false;
  for (std::size_t i = 0; i < job.Outputs.size(); ++i) {
    prepared.Outputs[i].Refusal =
        CheckOutput(job, job.Outputs[i], *options.Kinds[i], check.Kind, shared, prepared.Outputs[i]);
    anyToWrite = anyToWrite || (prepared.Outputs[i].Refusal.empty() && !prepared.Outputs[i].Exists);
  }
  if (!anyToWrite) return prepared;
  if (check.Kind == TFileKind::Part && !job.SettingsFailure.empty()) return refuse(job.SettingsFailure);
  std::string folder = fs::path(job.Outputs.front()).parent_path().string();
  if (job.MakeFolder && folder != worker.MadeFolder) {
    if (int error = MakeFolders(folder); error != 0) {
      return refuse(Tr("cannot make the folder %1: %2", {ShownPath(folder), ErrorText(error)}));
    }
    worker.MadeFolder = folder;
  }
  TDocuments documents = worker.Documents.Refs();
  TFileOutcome outcome;
  bool convert = LoadForConversion(input, worker.Bytes, check.Kind, shared.Conversion, documents, true,
                                   ShownPath((shared.WorkingFolder / job.Input).lexically_normal().string()), outcome);
  prepared.Load = std::move(outcome.Load);
  prepared.Conversion = std::move(outcome.Write);
  if (!convert) return prepared;
  // The input's bytes stay for the worker's next file to be read into only when every output is
  // native and the file is small, as the files of an archive are; pictures and DXF, and the
  // converted records of a large drawing, take that memory instead.
  bool nativeOnly = std::all_of(options.Kinds.begin(), options.Kinds.end(),
                                [](const TOutputKind* kind) { return kind == &NativeOutput(); });
  if (!nativeOnly || worker.Bytes.Capacity() > kKeptInputBytes) worker.Bytes = TFileBytes{};
  TWriteOutcome refusal;
  TConverted converted;
  bool whileWriting = std::all_of(options.Kinds.begin(), options.Kinds.end(),
                                  [](const TOutputKind* kind) { return kind->ConvertsWhileWriting; });
  if (!ConvertDocument(check.Kind, shared.Conversion, documents, whileWriting, converted, refusal)) {
    prepared.Conversion = refusal;
    return prepared;
  }
  if (!whileWriting) {
    // The other kinds read only the converted document: the source goes now, so that a large
    // drawing is not held twice while its pictures are drawn.
    if (check.Kind == TFileKind::Drawing) {
      documents.Jwc = TJwcData{};
    } else {
      documents.Jwk = TJwkData{};
    }
  }
  TWriteMode mode = ToStandardOutput(options) ? TWriteMode::StandardOutput
                    : options.Force           ? TWriteMode::Replace
                                              : TWriteMode::NoReplace;
  for (std::size_t i = 0; i < job.Outputs.size(); ++i) {
    TPreparedOutput& output = prepared.Outputs[i];
    if (!output.Refusal.empty() || output.Exists) continue;
    output.Staging = StageConverted(converted, *options.Kinds[i], shared.Conversion, job.Outputs[i], mode,
                                    job.Naming, output.Entry, output.Staged);
  }
  return prepared;
}

// The inputs in order: each file named, and with recursion each file below each folder named.
class TJobSource {
 public:
  explicit TJobSource(const TRunOptions& options)
      : options_(options), characterTypes_(options.CharacterTypes), conversion_(options.Conversion) {}

  // The options every worker converts with; complete for parts once a part has been handed out.
  const TConversionOptions& Conversion() const { return conversion_; }

  bool Next(TJob& job) {
    if (!NextInput(job)) return false;
    // The settings file is read when the first part comes, before any worker may convert one.
    if (FileKindOf(job.Input) == TFileKind::Part && job.FolderError == 0) {
      if (!typesRead_) characterTypes_.Get(conversion_.CharacterTypes, settingsFailure_);
      typesRead_ = true;
      job.SettingsFailure = settingsFailure_;
    }
    return true;
  }

  // How many inputs there are; walks the folders once to count their files.
  std::size_t Count() const {
    std::size_t count = 0;
    for (const std::string& input : options_.Inputs) {
      count += options_.Recursive && IsFolder(input) ? CountWalk(input) : 1;
    }
    return count;
  }

 private:
  bool NextInput(TJob& job) {
    TWalkEntry entry;
    while (true) {
      if (walk_ && walk_->Next(entry)) {
        job = {entry.Path, {}, entry.Error, false, false, TOutputNaming::Derived, entry.Regular, ""};
        if (entry.Error == 0) job.Outputs = OutputsOf(entry.Path, entry.RelativeFolder);
        job.MakeFolder = options_.Output.has_value();
        return true;
      }
      walk_.reset();
      if (next_ == options_.Inputs.size()) return false;
      const std::string& input = options_.Inputs[next_++];
      if (IsFolder(input)) {
        if (options_.Recursive) {
          walk_.emplace(input);
          continue;
        }
        job = {input, {}, 0, true, false, TOutputNaming::Derived, false, ""};
        return true;
      }
      bool named = options_.Output && !options_.OutputIsFolder;
      job = {input, OutputsOf(input, ""), 0, false, false, named ? TOutputNaming::Named : TOutputNaming::Derived,
             false, ""};
      return true;
    }
  }

  // The input's output of each kind; relative is the folder below the named folder that holds the
  // input ("" for none).
  std::vector<std::string> OutputsOf(const std::string& input, const std::string& relative) const {
    TFileKind kind = FileKindOf(input);
    std::vector<std::string> outputs;
    for (const TOutputKind* to : options_.Kinds) {
      if (!options_.Output) {
        outputs.push_back(ChangeExtension(input, OutputExtension(kind, *to)));
      } else if (!options_.OutputIsFolder) {
        outputs.push_back(*options_.Output);  // a file, or "-"
      } else {
        outputs.push_back(BatchOutputPath(
            relative.empty() ? *options_.Output : (fs::path(*options_.Output) / relative).string(), input, kind, *to));
      }
    }
    return outputs;
  }

  const TRunOptions& options_;
  std::size_t next_ = 0;
  std::optional<TFolderWalk> walk_;
  TCharacterTypes characterTypes_;
  TConversionOptions conversion_;
  bool typesRead_ = false;
  std::string settingsFailure_;
};

// Puts each prepared file in place in the order of the inputs and says what became of it.
class TDelivery {
 public:
  TDelivery(const TRunOptions& options, TOutputGuard& guard, std::ostream& out, std::ostream& err,
            TProgressLine& progress, bool outputShared, TReportFile* report)
      : options_(options), guard_(guard), out_(out), err_(err), progress_(progress), outputShared_(outputShared),
        report_(report) {}

  void Deliver(const TJob& job, TPrepared& prepared);
  void Waiting(const TJob& job) {
    progress_.Update(tally_.Converted + tally_.Failed + tally_.Skipped, tally_.Failed,
                     ShownPath(job.Input));
  }
  const TTally& Tally() const { return tally_; }

 private:
  // Puts one output of the input in place, or says why not.
  void DeliverOutput(const TJob& job, const std::string& output, TPrepared& prepared, TPreparedOutput& staged);
  // What an output that exists means for this input: written earlier in this run (a failure),
  // kept (--skip-existing) or refused; nothing when it may be replaced.
  std::optional<std::pair<TResult, std::string>> ExistingOutput(const TJob& job, const std::string& output);
  // Says what became of one output of the input: reason is why it failed or was skipped, or the
  // note of a converted file; summary says whether the input's load summary belongs to it. Adds
  // its report row. An input's summary, and a line on standard error that its other outputs share,
  // is printed once.
  void Finish(const TJob& job, const std::string& output, const TPrepared& prepared, TResult result,
              const std::string& reason, bool summary);
  void PrintError(const std::string& line);

  const TRunOptions& options_;
  // Knows the inputs and the outputs this run wrote, so that no input replaces another's output.
  TOutputGuard& guard_;
  std::ostream& out_;
  std::ostream& err_;
  TProgressLine& progress_;
  bool outputShared_;
  TReportFile* report_;
  TTally tally_;
  // What was printed for the input being delivered.
  bool summaryShown_ = false;
  std::vector<std::string> errorsShown_;
};

std::optional<std::pair<TResult, std::string>> TDelivery::ExistingOutput(const TJob& job, const std::string& path) {
  if (ToStandardOutput(options_)) return std::nullopt;
  TOutputCheck check = GuardOutput(job, path, options_, guard_);
  // A device or pipe the user named is written into, whoever wrote it before.
  if (check.Verdict == TOutputVerdict::New || check.Verdict == TOutputVerdict::WrittenInto) return std::nullopt;
  if (std::string why = Refusal(check, job, path, options_); !why.empty()) return std::pair{TResult::Failed, why};
  std::string output = ShownPath(path);
  if (options_.SkipExisting) return std::pair{TResult::Skipped, Tr("the output %1 already exists", {output})};
  if (options_.Force) return std::nullopt;
  return std::pair{TResult::Failed,
                   Tr("the output %1 already exists (--force replaces it, --skip-existing keeps it)", {output})};
}

void TDelivery::Deliver(const TJob& job, TPrepared& prepared) {
  summaryShown_ = false;
  errorsShown_.clear();
  if (job.Outputs.empty()) return Finish(job, "", prepared, TResult::Failed, prepared.Refusal, false);
  for (std::size_t i = 0; i < job.Outputs.size(); ++i) {
    TPreparedOutput none;
    DeliverOutput(job, job.Outputs[i], prepared, i < prepared.Outputs.size() ? prepared.Outputs[i] : none);
  }
}

void TDelivery::DeliverOutput(const TJob& job, const std::string& output, TPrepared& prepared,
                              TPreparedOutput& staged) {
  if (!prepared.Refusal.empty()) return Finish(job, output, prepared, TResult::Failed, prepared.Refusal, false);
  if (!staged.Refusal.empty()) return Finish(job, output, prepared, TResult::Failed, staged.Refusal, false);
  // Outputs are put in place in the order of the inputs, so an output may have appeared since the
  // worker looked: written by an earlier input of this run.
  bool mayExist = staged.Exists || options_.Force ||
                  (staged.Staging && !staged.Staging->Written && staged.Staging->Error == EEXIST);
  if (mayExist) {
    if (auto existing = ExistingOutput(job, output)) {
      return Finish(job, output, prepared, existing->first, existing->second, false);
    }
  }
  if (staged.Exists) {
    return Finish(job, output, prepared, TResult::Failed, Tr("the output %1 already exists", {ShownPath(output)}),
                  false);
  }
  const TLoadOutcome& load = *prepared.Load;
  if (!load.Opened()) {
    return Finish(job, output, prepared, TResult::Failed,
                  Tr("cannot be read: %1", {ErrorText(load.Failure.OpenError)}), true);
  }
  if (load.Truncated()) {
    return Finish(job, output, prepared, TResult::Failed, Tr("cannot be read: %1", {ReadFailureText(load.Failure)}), true);
  }
  TWriteOutcome write = staged.Staged ? CommitStaged(*staged.Staged) : staged.Staging ? *staged.Staging
                                                   : prepared.Conversion.value();
  std::optional<TFileId> written = staged.Staged ? staged.Staged->Written() : std::nullopt;
  staged.Staged.reset();
  if (!write.Written && write.Error == EEXIST) {
    if (auto existing = ExistingOutput(job, output)) {
      return Finish(job, output, prepared, existing->first, existing->second, false);
    }
  }
  if (!write.Written) {
    std::string why = WriteFailureText(output, OutputName(options_, output), write);
    return Finish(job, output, prepared, TResult::Failed, why, true);
  }
  if (written) guard_.AddWritten(*written);
  // A converted file's reason is its note.
  std::string note = prepared.Load->Failure.MissingNameTables()
                         ? Tr("note: the drawing has no layer or group names (saved by an older DOS edition); "
                              "they stay empty")
                         : "";
  Finish(job, output, prepared, TResult::Converted, note, true);
}

void TDelivery::PrintError(const std::string& line) {
  if (std::find(errorsShown_.begin(), errorsShown_.end(), line) != errorsShown_.end()) return;
  errorsShown_.push_back(line);
  err_ << EscapeControls(line) << "\n";
}

void TDelivery::Finish(const TJob& job, const std::string& output, const TPrepared& prepared, TResult result,
                       const std::string& reason, bool summary) {
  // The progress line makes way for what is printed on its terminal.
  bool printsOut = !options_.Quiet && result != TResult::Failed;
  bool printsErr = result == TResult::Failed || (result == TResult::Converted && !reason.empty());
  if (printsErr || (printsOut && outputShared_)) progress_.Clear();
  std::string input = ShownPath(job.Input);
  if (summary && !summaryShown_ && !options_.Quiet) {
    for (const std::string& line : LoadSummaryLines(prepared.Load->Counts)) out_ << EscapeControls(line) << "\n";
  }
  summaryShown_ = summaryShown_ || summary;
  switch (result) {
    case TResult::Converted:
      ++tally_.Converted;
      if (!options_.Quiet) out_ << EscapeControls(Tr("written: %1", {OutputName(options_, output)})) << "\n";
      if (!reason.empty()) PrintError(std::string(kProgram) + ": " + input + ": " + reason);
      break;
    case TResult::Skipped:
      ++tally_.Skipped;
      if (!options_.Quiet) out_ << EscapeControls(Tr("%1: skipped: %2", {input, reason})) << "\n";
      break;
    case TResult::Failed:
      ++tally_.Failed;
      PrintError(std::string(kProgram) + ": " + input + ": " + reason);
      break;
  }
  out_.flush();
  err_.flush();
  if (report_ != nullptr) {
    static const char* const kResults[] = {"converted", "failed", "skipped"};
    TReportRow row{ReportPath(input), output.empty() ? "" : ReportPath(OutputName(options_, output)), KindName(prepared.Kind),
                   kResults[static_cast<int>(result)], reason};
    if (summary && prepared.Load) {
      const TLoadSummary& counts = prepared.Load->Counts;
      for (int32_t count : {counts.SenCount, counts.EnkoCount, counts.MojiCount, counts.TenCount}) {
        row.push_back(std::to_string(count));
      }
      row.push_back(counts.KasoTenCount ? std::to_string(*counts.KasoTenCount) : "");
    } else {
      row.resize(TReportFile::Header().size());
    }
    report_->Add(row);
  }
}

}  // namespace

TTally RunConversions(const TRunOptions& options, std::ostream& out, std::ostream& err, const TTerminal& terminal) {
  std::unique_ptr<TReportFile> report;
  if (options.Report) report = std::make_unique<TReportFile>(*options.Report);
  TJobSource source(options);
  bool showProgress = terminal.Progress && !options.Quiet;
  TProgressLine progress(err, showProgress, showProgress ? source.Count() : 0, terminal.Columns);
  TOutputGuard guard;
  for (const std::string& input : options.Inputs) guard.AddInput(input);
  TDelivery delivery(options, guard, out, err, progress, terminal.OutputShared, report.get());
  std::vector<TWorker> workers(options.Jobs);
  // Asked once: the working folder does not change during a run. When it is gone, inputs are shown
  // as named.
  std::error_code noFolder;
  TShared shared{options, source.Conversion(), guard, fs::current_path(noFolder)};
  RunBatch<TJob, TPrepared>(
      options.Jobs, [&](TJob& job) { return source.Next(job); },
      [&](std::size_t worker, const TJob& job) {
        try {
          return Prepare(job, shared, workers[worker]);
        } catch (const std::exception& e) {
          // Whatever else goes wrong with one file (memory, the system) ends that file, not the run.
          TPrepared failed;
          failed.Refusal = Tr("cannot be converted: %1", {e.what()});
          return failed;
        }
      },
      [&](const TJob& job, TPrepared& prepared) { delivery.Deliver(job, prepared); },
      [&](const TJob& job) { delivery.Waiting(job); });
  progress.Clear();
  TTally tally = delivery.Tally();
  if (report) {
    report->Finish();
    tally.ReportFailure = report->Failure();
  }
  return tally;
}

}  // namespace torvane
