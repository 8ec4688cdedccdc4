// The main window: start-up, loading files (open dialog, drops, command line), the log pane, the
// conversion options, convert-and-save for one file or a batch, and closing.
#pragma once

#include <QMainWindow>
#include <functional>
#include <string>
#include <vector>

#include "convert/conversion.h"
#include "convert/outputguard.h"
#include "ui/basics.h"
#include "ui/platform.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;

namespace torvane {

class TFormMoji;
class TPreviewForm;
class TVerForm;

class TForm1 : public QMainWindow, private TAppBoxes {
  Q_OBJECT

 public:
  // Builds the window and runs its start-up (FormCreate) with the paths named on the command line.
  TForm1(TPlatform& platform, const std::vector<std::string>& arguments);
  ~TForm1() override;

  // Window state. FileCount 0: nothing loaded; 1: CurrentFile is loaded into its document;
  // more: the first FileCount entries of BatchFiles, not read yet.
  std::string CurrentFile;
  int FileCount = 0;
  std::vector<std::string> BatchFiles;
  // The file being written.
  std::string OutputFile;

  // Appends text and a line break to the log pane.
  void AddLog(const std::string& text);
  void ClearLog();
  // The log pane's text, lines ending in "\n".
  std::string LogText() const;

  void LoadFile(const std::string& path);
  void LoadBatch(const std::vector<std::string>& paths);
  // Takes dropped files, in the drop's order.
  void DropFiles(const std::vector<std::string>& paths);

  // The open command (button "読込", menu "開く(&O)...").
  void Button1Click();
  // The convert-and-save command (button "変換・保存", menu "変換・保存(&S)").
  void Button2Click();
  // Switches the font list between the two short names and every installed family.
  void BntFontClick();
  // Shows the character settings dialog and disables this window until the dialog is left.
  void moji1Click();
  // Opens the preview of the loaded file or batch (menu "プレビュー(&V)...", Ctrl+P).
  void Preview1Click();
  void About1Click();
  void About2Click();

  QCheckBox* ChkJWWhosei = nullptr;
  QComboBox* CmbJWWfont = nullptr;
  QPushButton* BntFont = nullptr;
  QPlainTextEdit* RichEdit1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QAction* Open1 = nullptr;
  QAction* Save1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* Preview1 = nullptr;
  QAction* moji1 = nullptr;
  // 設定 > DXFも書き出す: a batch writes a DXF beside each output too.
  QAction* DxfToo1 = nullptr;
  QAction* About1 = nullptr;
  QAction* About2 = nullptr;
  TVerForm* VerForm = nullptr;
  TFormMoji* FormMoji = nullptr;
  TPreviewForm* PreviewForm = nullptr;  // made when first opened

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateControls();
  void CreateMenu();
  void FormCreate(const std::vector<std::string>& arguments);
  void TakeCommandLine(const std::vector<std::string>& paths);
  void FormClose();
  void ShowShortFontList();

  // Reads the accepted file CurrentFile into its document and prints its summary.
  void ReadCurrentFile(TFileKind kind);
  // Prints a load summary, and a note when the read stopped inside the records. False, after an
  // error box, when the file could not be opened.
  bool PrintLoad(const TLoadOutcome& load);
  // Beep, focus and the warning of a file that is not a drawing or part; then nothing is loaded.
  void RefuseFile(const std::string& path, const TFileCheck& check);
  void ForgetFiles();
  // Shows what is loaded now in the preview, when it is open.
  void UpdatePreview();

  // While a batch runs, the controls look disabled and drops and closing are ignored.
  class TBusy {
   public:
    explicit TBusy(TForm1& form);
    ~TBusy();
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

   private:
    TForm1& form_;
  };
  struct TBatchTally;
  // Converted; NotReplaced: the user kept the existing output; Refused: not converted because of
  // what stands at its output; Failed: an error box ended the batch; Abort: the user ended it.
  enum class TBatchStep { Converted, NotReplaced, Refused, Failed, Abort };

  // An output: its path, its kind, and whether an earlier file there may be replaced.
  struct TSaveTarget {
    std::string Path;
    const TOutputKind* Kind;
    bool Replace;
  };

  void ConvertAndSave();
  void ConvertSingle();
  void ConvertBatch();
  // One file of a batch into output; existing counts the outputs still to be asked about, and
  // converted is set once a file was read.
  // With DXFも書き出す, the DXF beside each output is one more output, asked about alike; a file one
  // of whose outputs is refused is not converted at all.
  TBatchStep ConvertBatchFile(const std::string& path, const std::vector<TSaveTarget>& outputs, TOutputGuard& guard,
                              int& existing, bool& converted);
  // The outputs of a batch file in folder: its own, and its DXF when DxfToo1 is checked.
  std::vector<TSaveTarget> BatchOutputs(const std::string& folder, const std::string& path) const;
  // What ends a batch file at one of its outputs (said in the log or an error box), or nothing.
  std::optional<TBatchStep> BatchRefusal(const std::string& path, const std::string& output, const TOutputCheck& check);
  // Why the user's output may not be written, for an error box; nothing when it may.
  static std::optional<std::string> OutputRefusal(const std::string& output, const TOutputCheck& check);
  static std::string TallyLine(const TBatchTally& tally, bool stopped);
  // Converts the loaded document of the kind once and writes each output; false after an error
  // box, at the first that fails.
  bool Save(TFileKind kind, const std::vector<TSaveTarget>& targets, TOutputNaming naming);
  void DxfToo1Click();
  TConversionOptions Options() const;

  TBoxButton Ask(TBoxKind kind, const std::string& caption, const std::string& text,
                 std::vector<TBoxButton> buttons);
  // An error box of the program's own, its text as given.
  void ShowRefusal(const std::string& text);
  // Runs a command; an error that escapes it ends it with an error box.
  void Guarded(const std::function<void()>& command);

  TPlatform& platform_;
  QWidget* client_ = nullptr;
  bool busy_ = false;
};

}  // namespace torvane
