// The services of the desktop that the window logic uses: message boxes, the beep, file and folder
// dialogs, the installed font families, the help viewer, focus and the progress of long batches.
// The window program has a Qt implementation (qtplatform.h); the tests answer through a scripted
// fake. Texts are UTF-8; paths are the file system's bytes, which need not be UTF-8.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace torvane {

enum class TBoxKind { Plain, Warning, Error };

// The buttons of a message box; ButtonText gives their labels.
enum class TBoxButton { Yes, No, Ok, Abort, YesToAll };

// "はい(&Y)", "いいえ(&N)", "OK", "中止(&A)", "すべてはい(&A)".
const char* ButtonText(TBoxButton button);

struct TMessageBox {
  TBoxKind Kind = TBoxKind::Plain;
  std::string Caption;
  std::string Text;
  std::vector<TBoxButton> Buttons;  // in the order shown

  // Enter chooses "OK" where it is offered, else "はい(&Y)".
  TBoxButton DefaultButton() const;
  // Esc, and closing the box by its title bar, choose "いいえ(&N)" where it is offered, else "OK".
  TBoxButton EscapeButton() const;
};

// A plain box: no icon, the caption, one "OK".
TMessageBox PlainBox(std::string caption, std::string text);
// The error box of an input/output error: error icon, the caption, one "OK", and the runtime's
// full stop after a text whose last character sorts after ".".
TMessageBox ErrorBox(std::string caption, std::string text);

// One entry of an open dialog's filter: "JW_CADﾌｧｲﾙ (*.jwc)" and "*.jwc".
struct TFileFilter {
  std::string Label;
  std::string Pattern;
};

// What the save dialog answers: the path, and the index of the file type selected when it closed.
struct TSaveChoice {
  std::string Path;
  std::size_t Filter = 0;
};

enum class THelpTopic { Contents, Topic1 };

// The progress of a batch, shown once the batch takes longer than a moment, with a button that
// asks it to stop.
class TProgress {
 public:
  virtual ~TProgress() = default;
  // Says that the file'th file (from 0), named name, comes next, and lets the windows repaint and
  // the stop button answer. False once the user asked to stop.
  virtual bool Next(int file, const std::string& name) = 0;
};

class TPlatform {
 public:
  virtual ~TPlatform() = default;

  // Shows the box modally and answers the button chosen.
  virtual TBoxButton ShowMessage(const TMessageBox& box) = 0;
  virtual void Beep() = 0;
  // Gives the window the keyboard focus and brings it to the front.
  virtual void Focus(QWidget& window) = 0;

  // The open dialog: several files may be chosen; it starts in the process's current folder, the
  // first filter selected. Nothing when cancelled.
  virtual std::optional<std::vector<std::string>> OpenFiles(const std::vector<TFileFilter>& filters) = 0;
  // The save dialog, opened on a proposed full path with its file types, the first selected; asks
  // nothing about existing files. Nothing when cancelled.
  virtual std::optional<TSaveChoice> SaveFile(const std::string& proposed, const std::vector<TFileFilter>& filters) = 0;
  // The folder browser: title, a top folder (empty: the whole file system), the folder shown
  // first (empty: none). The chosen folder without a trailing "/" (except the root); nothing when
  // cancelled.
  virtual std::optional<std::string> BrowseFolder(const std::string& title, const std::string& root,
                                                  const std::string& folder) = 0;

  // The installed families that can write Japanese, in the order the system reports them.
  virtual std::vector<std::string> JapaneseFontFamilies() = 0;

  // Opens the help document at its contents or at its first topic.
  virtual void ShowHelp(THelpTopic topic) = 0;

  // The progress of a batch of total files over the window, which the caller keeps from answering
  // anything else meanwhile.
  virtual std::unique_ptr<TProgress> StartProgress(QWidget& window, int total) = 0;
};

}  // namespace torvane
