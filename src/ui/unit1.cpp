#include "ui/unit1.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>

#include "settings/inifile.h"
#include "settings/settings.h"
#include "support/cp932.h"
#include "support/files.h"
#include "support/ioerror.h"
#include "support/shown.h"
#include "ui/localpaths.h"
#include "ui/mojisize.h"
#include "ui/preview.h"
#include "ui/readwords.h"
#include "ui/unit2.h"

namespace torvane {

namespace fs = std::filesystem;

namespace {

constexpr char kWarningCaption[] = "警告";
constexpr char kBatchHeading[] = "【複数ファイル一括変換モード】\r\n";
constexpr char kNothingLoaded[] = "jwc/jwkファイルを先に開いてください";
constexpr char kExists[] = "ファイルはすでに存在します。\r\n上書きしますか？";
constexpr char kSaved[] = "ファイルの保存が終了しました";
constexpr char kFolderTitle[] = "保存ディレクトリの選択";
constexpr char kIsFolder[] = "は、\r\nフォルダです。同じ名前のファイルは保存できません。";
constexpr char kIsInput[] = "は、\r\n変換元のファイルです。別の名前で保存してください。";
constexpr char kLinksToDosFile[] = " へのリンクです。JW_CADのDOS版のファイルは置き換えません。別の名前で保存してください。";
constexpr char kIsTerminal[] = "は、\r\n端末です。ファイルの名前を指定してください。";
// One log line each for the files of a batch that are not converted, because of their output.
constexpr char kNotConverted[] = " は変換しません。保存先 ";
constexpr char kIsInputOfBatch[] = " はこの一括変換の変換元のファイルです。";
constexpr char kWrittenByBatch[] = " はこの一括変換で先に保存したファイルです。";
constexpr char kLinkInBatch[] = " はJW_CADのDOS版のファイル ";
constexpr char kLinkInBatchEnd[] = " へのリンクです。";
constexpr char kDanglingSettings[] =
    "は、\r\nリンク先のないリンクです。設定ファイルを作らずに、既定の設定で始めます。";
constexpr char kHugeSettings[] =
    "は、\r\n1 MiB を超える大きさで、設定ファイルではありません。読み込みも書き込みもせずに、既定の設定で始めます。";
constexpr char kCannotWrite[] = " に保存できません。\r\n";
constexpr char kTruncated[] = "ファイルを最後まで読み込めませんでした。読み込めた部分だけを変換します。";

// The log pane drops its oldest lines past this many characters.
constexpr int kLogLimit = 2'000'000;

// The client area and the place of the two buttons kept at its right and bottom edges.
constexpr int kClientWidth = 322;
constexpr int kClientHeight = 313;
constexpr QRect kButton1Rect(159, 281, 65, 25);
constexpr QRect kButton2Rect(239, 281, 65, 25);

const std::vector<TFileFilter> kOpenFilters = {{"JW_CADﾌｧｲﾙ (*.jwc)", "*.jwc"}, {"JWKﾌｧｲﾙ (*.jwk)", "*.jwk"}};

bool PathExists(const std::string& path) {
  std::error_code error;
  return fs::exists(path, error);
}

// A command-line path is taken whole; a relative one is resolved against the start folder.
std::string WholePath(const std::string& path) {
  if (path.empty() || path.front() == '/' || HomeFolder.empty()) return path;
  return HomeFolder + path;
}

}  // namespace

TForm1::TForm1(TPlatform& platform, const std::vector<std::string>& arguments)
    : TAppBoxes(platform), platform_(platform) {
  setWindowTitle(kAppTitle);
  setFont(WindowFont());
  CreateControls();
  CreateMenu();
  move(213, 122);
  // Any smaller, and the buttons kept at the edges would lie on the log pane.
  setMinimumSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  resize(minimumSize());
  Guarded([&] { FormCreate(arguments); });
  VerForm = new TVerForm(this);
  // A window of its own: a child would be disabled with the main window.
  FormMoji = new TFormMoji(platform_, *this);
}

TForm1::~TForm1() { delete FormMoji; }

void TForm1::CreateControls() {
  client_ = new QWidget(this);
  setCentralWidget(client_);

  auto* groupBox1 = new QGroupBox("数値補正", client_);
  groupBox1->setObjectName("GroupBox1");
  groupBox1->setGeometry(8, 4, 113, 45);
  ChkJWWhosei = new QCheckBox("数値補正する", groupBox1);
  ChkJWWhosei->setGeometry(8, 18, 97, 17);

  auto* groupBox2 = new QGroupBox("変換後文字フォント", client_);
  groupBox2->setObjectName("GroupBox2");
  groupBox2->setGeometry(128, 4, 145, 45);
  CmbJWWfont = new QComboBox(groupBox2);
  CmbJWWfont->setEditable(false);
  CmbJWWfont->setGeometry(16, 16, 121, 20);

  BntFont = new QPushButton("Font", client_);
  BntFont->setGeometry(280, 16, 33, 25);
  connect(BntFont, &QPushButton::clicked, this, [this] { Guarded([this] { BntFontClick(); }); });

  RichEdit1 = new QPlainTextEdit(client_);
  RichEdit1->setGeometry(8, 56, 305, 217);
  RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
  RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Tab moves on to the next control, and a file dropped on the pane reaches the window, which
  // loads it, instead of being typed into the log as its address.
  RichEdit1->setTabChangesFocus(true);
  RichEdit1->setAcceptDrops(false);
  RichEdit1->viewport()->setAcceptDrops(false);

  Button1 = new QPushButton("読込", client_);
  Button1->setGeometry(kButton1Rect);
  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
  Button2 = new QPushButton("変換・保存", client_);
  Button2->setGeometry(kButton2Rect);
  connect(Button2, &QPushButton::clicked, this, [this] { Guarded([this] { Button2Click(); }); });

  setTabOrder(Button1, Button2);
  setTabOrder(Button2, ChkJWWhosei);
  setTabOrder(ChkJWWhosei, CmbJWWfont);
  setTabOrder(CmbJWWfont, BntFont);
  setTabOrder(BntFont, RichEdit1);
  Button1->setFocus();

  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  help->setContext(Qt::WindowShortcut);
  connect(help, &QShortcut::activated, this, [this] { platform_.ShowHelp(THelpTopic::Topic1); });
}

void TForm1::CreateMenu() {
  QMenu* file = menuBar()->addMenu("ファイル(&F)");
  Open1 = file->addAction("開く(&O)...");
  connect(Open1, &QAction::triggered, this, [this] { Guarded([this] { Button1Click(); }); });
  Save1 = file->addAction("変換・保存(&S)");
  connect(Save1, &QAction::triggered, this, [this] { Guarded([this] { Button2Click(); }); });
  file->addSeparator();
  Exit1 = file->addAction("終了(&X)");
  connect(Exit1, &QAction::triggered, this, &QWidget::close);

  QMenu* view = menuBar()->addMenu("表示(&V)");
  Preview1 = view->addAction("プレビュー(&V)...");
  Preview1->setShortcut(QKeySequence("Ctrl+P"));
  connect(Preview1, &QAction::triggered, this, [this] { Guarded([this] { Preview1Click(); }); });

  QMenu* settings = menuBar()->addMenu("設定(&S)");
  moji1 = settings->addAction("JWS用文字設定(&M)");
  connect(moji1, &QAction::triggered, this, [this] { moji1Click(); });
  DxfToo1 = settings->addAction("DXFも書き出す(&D)");
  DxfToo1->setCheckable(true);
  connect(DxfToo1, &QAction::triggered, this, [this] { DxfToo1Click(); });

  QMenu* help = menuBar()->addMenu("ヘルプ(&H)");
  About1 = help->addAction("Torvaneヘルプ(&P)...");
  connect(About1, &QAction::triggered, this, [this] { About1Click(); });
  About2 = help->addAction("バージョン情報(&A)...");
  connect(About2, &QAction::triggered, this, [this] { About2Click(); });
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  const QSize offset(client_->width() - kClientWidth, client_->height() - kClientHeight);
  Button1->move(kButton1Rect.topLeft() + QPoint(offset.width(), offset.height()));
  Button2->move(kButton2Rect.topLeft() + QPoint(offset.width(), offset.height()));
}

void TForm1::FormCreate(const std::vector<std::string>& arguments) {
  InitHomeFolder();
  std::vector<std::string> paths;
  paths.reserve(arguments.size());
  for (const std::string& argument : arguments) paths.push_back(WholePath(argument));
  if (IsDanglingLink(SettingsPath())) {
    // Creating the file would create whatever the link names, wherever that is.
    ShowRefusal(ShownPath(SettingsPath()) + kDanglingSettings);
  } else if (!PathExists(SettingsPath())) {
    try {
      CreateDefaultSettings(SettingsPath());
    } catch (const TIoError& e) {
      ShowError(e.Text());
    }
  }
  ChkJWWhosei->setChecked(true);
  ShowShortFontList();
  // A file too large to be settings is left as it is: the close, which rewrites only a file it
  // has read, does not touch it either.
  if (LoadSettings(SettingsPath(), MojiSettings, PenColors) == EFBIG) {
    ShowRefusal(ShownPath(SettingsPath()) + kHugeSettings);
  }
  DxfToo1->setChecked(ReadDxfToo(TIniFile(SettingsPath()).Read()));
  setAcceptDrops(true);
  if (!paths.empty()) TakeCommandLine(paths);
}

void TForm1::TakeCommandLine(const std::vector<std::string>& paths) {
  FileCount = 0;
  BatchFiles.clear();
  BatchFiles.reserve(paths.size());
  for (const std::string& path : paths) {
    if (CheckFile(path).Result != TCheckResult::Accepted) continue;
    BatchFiles.push_back(path);
    ++FileCount;
  }
  if (FileCount == 1) {
    CurrentFile = BatchFiles.front();
    BatchFiles.clear();
    ReadCurrentFile(FileKindOf(CurrentFile));
  } else if (FileCount > 1) {
    ClearLog();
    AddLog(kBatchHeading);
    for (const std::string& path : BatchFiles) AddLog(ShownPath(path));
    AddLog("\r\n");
  }
  UpdatePreview();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // Disabled while the character settings dialog is shown: the window answers nothing.
  if (busy_ || !isEnabled()) {
    event->ignore();
    return;
  }
  Guarded([this] { FormClose(); });
  event->accept();
  QCoreApplication::quit();
}

void TForm1::FormClose() {
  try {
    RememberFolder(SettingsPath());
  } catch (const TSettingsWriteError& e) {
    ShowCannotWrite(e.Path());
  }
}

// --- the log pane ---

void TForm1::AddLog(const std::string& text) {
  QString line = Q(text + "\r\n");
  line.replace("\r\n", "\n");
  QTextDocument* document = RichEdit1->document();
  QTextCursor cursor(document);
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(line);
  if (document->characterCount() > kLogLimit) {
    // Whole lines go, oldest first, until the rest fits.
    QTextBlock last = document->findBlock(document->characterCount() - kLogLimit);
    cursor.setPosition(0);
    cursor.setPosition(last.next().isValid() ? last.next().position() : last.position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
  }
  RichEdit1->moveCursor(QTextCursor::End);
}

void TForm1::ClearLog() { RichEdit1->clear(); }

std::string TForm1::LogText() const { return RichEdit1->toPlainText().toStdString(); }

// --- loading ---

void TForm1::Button1Click() {
  std::optional<std::vector<std::string>> chosen = platform_.OpenFiles(kOpenFilters);
  if (!chosen || chosen->empty()) return;
  EnterFolderOf(chosen->front());
  BatchFiles.clear();
  FileCount = static_cast<int>(chosen->size());
  if (FileCount == 1) {
    LoadFile(chosen->front());
  } else {
    LoadBatch(*chosen);
  }
  UpdatePreview();
}

void TForm1::DropFiles(const std::vector<std::string>& paths) {
  FileCount = 0;
  BatchFiles.clear();
  platform_.Focus(*this);
  FileCount = static_cast<int>(paths.size());
  if (FileCount == 1) {
    LoadFile(paths.front());
  } else if (FileCount > 1) {
    LoadBatch(paths);
  }
  UpdatePreview();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (!busy_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths = DroppedFilePaths(*event->mimeData());
  event->acceptProposedAction();
  if (busy_ || paths.empty()) return;
  // The drop is answered first, so that the program the files came from is not kept waiting
  // while a box is open.
  QMetaObject::invokeMethod(
      this, [this, paths] { Guarded([&] { DropFiles(paths); }); }, Qt::QueuedConnection);
}

void TForm1::LoadFile(const std::string& path) {
  CurrentFile = path;
  ClearLog();
  TFileCheck check = CheckFile(path);
  if (check.Result != TCheckResult::Accepted) {
    RefuseFile(path, check);
    return;
  }
  ReadCurrentFile(check.Kind);
}

void TForm1::ReadCurrentFile(TFileKind kind) {
  ClearLog();
  if (!PrintLoad(LoadDocument(CurrentFile, kind, GlobalDocuments(), ShownPath(CurrentFile)))) ForgetFiles();
}

bool TForm1::PrintLoad(const TLoadOutcome& load) {
  if (!load.Opened()) {
    ShowError(TIoError::FromErrno(load.Failure.OpenError, "").Text());
    return false;
  }
  for (const std::string& line : LoadSummaryLines(load.Counts)) AddLog(line);
  if (load.Truncated()) {
    AddLog(kTruncated);
    AddLog("（" + ReadFailureJapanese(load.Failure) + "）");
  }
  return true;
}

void TForm1::LoadBatch(const std::vector<std::string>& paths) {
  ClearLog();
  AddLog(kBatchHeading);
  BatchFiles = paths;
  FileCount = static_cast<int>(paths.size());
  for (const std::string& path : paths) {
    TFileCheck check = CheckFile(path);
    if (check.Result != TCheckResult::Accepted) {
      RefuseFile(path, check);
      return;
    }
    AddLog(ShownPath(path));
  }
  AddLog("\r\n");
}

void TForm1::RefuseFile(const std::string& path, const TFileCheck& check) {
  if (check.Result == TCheckResult::Unreadable) {
    ShowError(TIoError::FromErrno(check.Error, "").Text());
  } else {
    platform_.Beep();
    platform_.Focus(*this);
    const char* why = check.Result == TCheckResult::NoSignature && check.Kind == TFileKind::Part ? kNotPart : kNotDrawing;
    Ask(TBoxKind::Warning, kWarningCaption, ShownPath(path) + "は、\r\n" + why, {TBoxButton::Ok});
  }
  ForgetFiles();
}

void TForm1::ForgetFiles() {
  FileCount = 0;
  ClearLog();
}

// --- convert and save ---

TForm1::TBusy::TBusy(TForm1& form) : form_(form) {
  form_.busy_ = true;
  form_.client_->setEnabled(false);
  form_.menuBar()->setEnabled(false);
}

TForm1::TBusy::~TBusy() {
  form_.menuBar()->setEnabled(true);
  form_.client_->setEnabled(true);
  form_.busy_ = false;
}

void TForm1::Button2Click() { ConvertAndSave(); }

void TForm1::ConvertAndSave() {
  if (FileCount == 0) {
    ShowInfo(kNothingLoaded);
  } else if (FileCount == 1) {
    ConvertSingle();
  } else {
    ConvertBatch();
  }
}

void TForm1::ConvertSingle() {
  TFileKind kind = FileKindOf(CurrentFile);
  if (kind == TFileKind::None) return;
  // The drawing's or part's own type first, DXF second.
  std::vector<TFileFilter> types = {
      kind == TFileKind::Drawing ? TFileFilter{"JWW ファイル", "*.jww"} : TFileFilter{"JWS ファイル", "*.jws"},
      {"DXF ファイル", "*.dxf"}};
  std::optional<TSaveChoice> chosen = platform_.SaveFile(
      BatchOutputPath(fs::path(CurrentFile).parent_path().string(), CurrentFile, kind, NativeOutput()), types);
  if (!chosen) return;
  EnterFolderOf(chosen->Path);
  // A name typed with the extension .dxf is a DXF whichever type is selected.
  const TOutputKind& dxf = *FindOutputKind("dxf");
  const TOutputKind& to = chosen->Filter == 1 || HasOutputExtension(chosen->Path, kind, dxf) ? dxf : NativeOutput();
  OutputFile = WithOutputExtension(chosen->Path, kind, to);
  TOutputGuard guard;
  guard.AddInput(CurrentFile);
  TOutputCheck check = guard.Check(OutputFile, TOutputNaming::Named, CurrentFile);
  if (std::optional<std::string> refusal = OutputRefusal(OutputFile, check)) {
    ShowRefusal(*refusal);
    return;
  }
  bool exists = check.Verdict != TOutputVerdict::New;
  if (exists && Ask(TBoxKind::Warning, kWarningCaption, ShownPath(OutputFile) + kExists,
                    {TBoxButton::Yes, TBoxButton::No}) != TBoxButton::Yes) {
    return;
  }
  if (!Save(kind, {{OutputFile, &to, exists}}, TOutputNaming::Named)) return;
  platform_.Focus(*this);
  ShowInfo(kSaved);
}

std::optional<std::string> TForm1::OutputRefusal(const std::string& output, const TOutputCheck& check) {
  switch (check.Verdict) {
    case TOutputVerdict::Folder: return ShownPath(output) + kIsFolder;
    case TOutputVerdict::Input: return ShownPath(output) + kIsInput;
    case TOutputVerdict::LinkToDosFile:
      return ShownPath(output) + "は、\r\n" + ShownPath(check.Target) + kLinksToDosFile;
    case TOutputVerdict::Terminal: return ShownPath(output) + kIsTerminal;
    case TOutputVerdict::New:
    case TOutputVerdict::Existing:
    case TOutputVerdict::WrittenInto:
    case TOutputVerdict::WrittenByRun: break;
  }
  return std::nullopt;
}

// What became of the files of a batch, told in its last log line.
struct TForm1::TBatchTally {
  int Converted = 0;
  int NotReplaced = 0;
  int Failed = 0;
  int Left = 0;  // not reached: the batch was stopped
};

void TForm1::ConvertBatch() {
  std::string folder = fs::path(BatchFiles.front()).parent_path().string();
  if (!ChooseFolder(platform_, kFolderTitle, "", folder)) return;
  const int files = std::min(FileCount, static_cast<int>(BatchFiles.size()));
  TOutputGuard guard;
  for (int i = 0; i < files; ++i) guard.AddInput(BatchFiles[i]);
  // The outputs that stand before anything is written, asked about one by one.
  std::vector<int> counted(files);
  int existing = 0;
  for (int i = 0; i < files; ++i) {
    for (const TSaveTarget& output : BatchOutputs(folder, BatchFiles[i])) {
      if (guard.Check(output.Path, TOutputNaming::Derived, BatchFiles[i]).Verdict == TOutputVerdict::Existing) {
        ++counted[i];
      }
    }
    existing += counted[i];
  }
  TBatchTally tally;
  bool converted = false;
  bool ended = false;  // by 中止 or an error
  {
    TBusy busy(*this);
    std::unique_ptr<TProgress> progress = platform_.StartProgress(*this, files);
    for (int i = 0; i < files && !ended; ++i) {
      const std::string& path = BatchFiles[i];
      if (!progress->Next(i, ShownPath(path))) {
        tally.Left = files - i;
        ended = true;
        break;
      }
      TBatchStep step = ConvertBatchFile(path, BatchOutputs(folder, path), guard, existing, converted);
      // Outputs counted at the start but never asked about leave the count of those still to ask.
      if (step == TBatchStep::Refused) existing = std::max(0, existing - counted[i]);
      switch (step) {
        case TBatchStep::Converted: ++tally.Converted; break;
        case TBatchStep::NotReplaced:
        case TBatchStep::Refused: ++tally.NotReplaced; break;
        case TBatchStep::Failed:
          ++tally.Failed;
          tally.Left = files - i - 1;
          ended = true;
          break;
        case TBatchStep::Abort:
          tally.Left = files - i;
          ended = true;
          break;
      }
    }
  }
  AddLog(TallyLine(tally, ended));
  platform_.Focus(*this);
  if (converted && !ended) ShowInfo(kSaved);
}

std::vector<TForm1::TSaveTarget> TForm1::BatchOutputs(const std::string& folder, const std::string& path) const {
  TFileKind kind = FileKindOf(path);
  std::vector<TSaveTarget> outputs = {{BatchOutputPath(folder, path, kind, NativeOutput()), &NativeOutput(), false}};
  if (DxfToo1->isChecked()) {
    const TOutputKind& dxf = *FindOutputKind("dxf");
    outputs.push_back({BatchOutputPath(folder, path, kind, dxf), &dxf, false});
  }
  return outputs;
}

std::optional<TForm1::TBatchStep> TForm1::BatchRefusal(const std::string& path, const std::string& output,
                                                      const TOutputCheck& check) {
  switch (check.Verdict) {
    case TOutputVerdict::Folder: ShowRefusal(ShownPath(output) + kIsFolder); return TBatchStep::Failed;
    case TOutputVerdict::Input:
      AddLog(ShownPath(path) + kNotConverted + ShownPath(output) + kIsInputOfBatch);
      return TBatchStep::Refused;
    case TOutputVerdict::WrittenByRun:
      AddLog(ShownPath(path) + kNotConverted + ShownPath(output) + kWrittenByBatch);
      return TBatchStep::Refused;
    case TOutputVerdict::LinkToDosFile:
      AddLog(ShownPath(path) + kNotConverted + ShownPath(output) + kLinkInBatch + ShownPath(check.Target) +
             kLinkInBatchEnd);
      return TBatchStep::Refused;
    case TOutputVerdict::New:
    case TOutputVerdict::Existing:
    case TOutputVerdict::WrittenInto:
    case TOutputVerdict::Terminal: break;
  }
  return std::nullopt;
}

TForm1::TBatchStep TForm1::ConvertBatchFile(const std::string& path, const std::vector<TSaveTarget>& outputs,
                                            TOutputGuard& guard, int& existing, bool& converted) {
  TFileKind kind = FileKindOf(path);
  // Every output is looked at before any question, so that a file refused for one of them asks nothing.
  std::vector<TOutputCheck> checks;
  for (const TSaveTarget& output : outputs) {
    checks.push_back(guard.Check(output.Path, TOutputNaming::Derived, path));
    if (std::optional<TBatchStep> refused = BatchRefusal(path, output.Path, checks.back())) return *refused;
  }
  std::vector<TSaveTarget> targets;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    // A derived output is a regular file or nothing; a link, device or pipe there counts as a file.
    bool exists = checks[i].Verdict != TOutputVerdict::New;
    if (exists && existing > 0) {
      std::vector<TBoxButton> buttons = {TBoxButton::Yes, TBoxButton::No, TBoxButton::Abort};
      if (existing > 1) buttons.push_back(TBoxButton::YesToAll);
      TBoxButton answer =
          Ask(TBoxKind::Warning, kWarningCaption, ShownPath(outputs[i].Path) + "\r\n" + kExists, buttons);
      if (answer == TBoxButton::Abort) return TBatchStep::Abort;
      existing = answer == TBoxButton::YesToAll ? 0 : existing - 1;
      if (answer == TBoxButton::No) continue;
    }
    targets.push_back({outputs[i].Path, outputs[i].Kind, exists});
  }
  if (targets.empty()) return TBatchStep::NotReplaced;
  if (!PrintLoad(LoadDocument(path, kind, GlobalDocuments(), ShownPath(path)))) return TBatchStep::Failed;
  AddLog("\r\n");
  converted = true;
  if (!Save(kind, targets, TOutputNaming::Derived)) return TBatchStep::Failed;
  for (const TSaveTarget& target : targets) guard.AddWritten(target.Path);
  return TBatchStep::Converted;
}

std::string TForm1::TallyLine(const TBatchTally& tally, bool stopped) {
  std::string line = stopped ? "中止しました。" : "";
  line += "変換 " + std::to_string(tally.Converted) + " 件、上書きせず " + std::to_string(tally.NotReplaced) +
          " 件、失敗 " + std::to_string(tally.Failed) + " 件";
  if (tally.Left > 0) line += "、未処理 " + std::to_string(tally.Left) + " 件";
  return line;
}

bool TForm1::Save(TFileKind kind, const std::vector<TSaveTarget>& targets, TOutputNaming naming) {
  TConversionOptions options = Options();
  bool whileWriting =
      std::all_of(targets.begin(), targets.end(), [](const TSaveTarget& t) { return t.Kind->ConvertsWhileWriting; });
  OutputFile = targets.front().Path;
  TConverted converted;
  TWriteOutcome written;
  if (ConvertDocument(kind, options, GlobalDocuments(), whileWriting, converted, written)) {
    for (const TSaveTarget& target : targets) {
      OutputFile = target.Path;
      written = WriteConverted(converted, *target.Kind, options, target.Path,
                               target.Replace ? TWriteMode::Replace : TWriteMode::NoReplace, naming);
      if (!written.Written) break;
    }
  }
  if (written.Written) return true;
  // The file is named: in a batch the runtime's text alone would not say which one failed.
  platform_.ShowMessage(ErrorBox(kAppTitle, ShownPath(OutputFile) + kCannotWrite + written.Text));
  return false;
}

void TForm1::DxfToo1Click() {
  try {
    SaveDxfToo(SettingsPath(), DxfToo1->isChecked());
  } catch (const TSettingsWriteError& e) {
    ShowCannotWrite(e.Path());
  }
}

TConversionOptions TForm1::Options() const {
  TConversionOptions options;
  options.FontName = Utf8ToCp932(CmbJWWfont->currentText().toStdString()).value_or("");
  options.NumericCorrection = ChkJWWhosei->isChecked();
  options.CharacterTypes = MojiSettings;
  return options;
}

// --- font list, about box, help ---

void TForm1::ShowShortFontList() {
  CmbJWWfont->clear();
  for (const std::string& name : kShortFontList) CmbJWWfont->addItem(Q(name));
  CmbJWWfont->setCurrentIndex(0);
  BntFont->setToolTip(kHintAllFonts);
}

void TForm1::BntFontClick() {
  if (CmbJWWfont->count() >= 3) {
    ShowShortFontList();
    return;
  }
  CmbJWWfont->clear();
  for (const std::string& name : FullFontList(platform_.JapaneseFontFamilies())) CmbJWWfont->addItem(Q(name));
  CmbJWWfont->setCurrentIndex(CmbJWWfont->count() > 0 ? 0 : -1);
  BntFont->setToolTip(kHintShortFonts);
  // The box keeps its width; its list opens as wide as the longest family name.
  QAbstractItemView* list = CmbJWWfont->view();
  list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() +
                        list->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

void TForm1::moji1Click() {
  // Kept above this window, as a dialog of it.
  FormMoji->winId();
  if (QWindow* owner = windowHandle()) FormMoji->windowHandle()->setTransientParent(owner);
  FormMoji->show();
  FormMoji->raise();
  FormMoji->activateWindow();
  setEnabled(false);
}

void TForm1::Preview1Click() {
  if (!PreviewForm) PreviewForm = new TPreviewForm(this);
  PreviewForm->show();
  UpdatePreview();
  PreviewForm->raise();
  PreviewForm->activateWindow();
}

void TForm1::UpdatePreview() {
  if (!PreviewForm || !PreviewForm->isVisible()) return;
  std::vector<std::string> files;
  if (FileCount == 1) files.push_back(CurrentFile);
  if (FileCount > 1) files.assign(BatchFiles.begin(), BatchFiles.begin() + std::min<std::size_t>(FileCount, BatchFiles.size()));
  PreviewForm->ShowFiles(files, 0, Options(), TRenderStyle{TScheme::Screen, PenColors});
}

void TForm1::About1Click() { platform_.ShowHelp(THelpTopic::Contents); }

void TForm1::About2Click() {
  VerForm->show();
  VerForm->raise();
}

// --- boxes ---

TBoxButton TForm1::Ask(TBoxKind kind, const std::string& caption, const std::string& text,
                       std::vector<TBoxButton> buttons) {
  return platform_.ShowMessage({kind, caption, text, std::move(buttons)});
}

void TForm1::ShowRefusal(const std::string& text) {
  platform_.ShowMessage({TBoxKind::Error, kAppTitle, text, {TBoxButton::Ok}});
}

void TForm1::Guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (const TIoError& e) {
    ShowError(e.Text());
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

}  // namespace torvane
