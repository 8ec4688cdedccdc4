#include "ui/qtplatform.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <filesystem>
#include <map>

#include "support/shown.h"
#include "ui/basics.h"
#include "ui/localpaths.h"

namespace torvane {

namespace {

QString QPath(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

QMessageBox::Icon IconOf(TBoxKind kind) {
  switch (kind) {
    case TBoxKind::Warning: return QMessageBox::Warning;
    case TBoxKind::Error: return QMessageBox::Critical;
    case TBoxKind::Plain: break;
  }
  return QMessageBox::NoIcon;
}

// "A (*.a)" and "*.a" give "A (*.a)"; a label without its pattern gets it in parentheses.
QString QtFilter(const std::vector<TFileFilter>& filters) {
  QStringList entries;
  for (const TFileFilter& filter : filters) {
    QString label = Q(filter.Label);
    QString pattern = Q(filter.Pattern);
    entries << (label.contains("(" + pattern + ")") ? label : label + " (" + pattern + ")");
  }
  return entries.join(";;");
}

// The window a box or dialog opens over, centred: the modal dialog or window in front, else the
// main window (a desktop without a window manager makes no window active).
QWidget* Owner() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (qobject_cast<QMainWindow*>(window) != nullptr && window->isVisible()) return window;
  }
  return nullptr;
}

class TQtProgress final : public TProgress {
 public:
  TQtProgress(QWidget& window, int total) : dialog_(&window), total_(total) {
    dialog_.setWindowTitle("変換・保存");
    dialog_.setCancelButtonText("中止");
    dialog_.setWindowModality(Qt::WindowModal);
    dialog_.setAutoReset(false);
    dialog_.setAutoClose(false);
    dialog_.setRange(0, total);
    // Shown once the batch has taken this long and looks like taking longer.
    dialog_.setMinimumDuration(500);
    dialog_.setMinimumWidth(360);
  }

  bool Next(int file, const std::string& name) override {
    // A long path is cut in its middle, so that the dialog keeps its width.
    QString shown = dialog_.fontMetrics().elidedText(Q(name), Qt::ElideMiddle, 480);
    dialog_.setLabelText(QString("%1 / %2\n%3").arg(file + 1).arg(total_).arg(shown));
    dialog_.setValue(file);
    QCoreApplication::processEvents();
    return !dialog_.wasCanceled();
  }

 private:
  QProgressDialog dialog_;
  int total_;
};

}  // namespace

TQtPlatform::~TQtPlatform() { delete help_; }

TBoxButton TQtPlatform::ShowMessage(const TMessageBox& box) {
  QString text = Q(box.Text);
  text.replace("\r\n", "\n");
  QMessageBox dialog(IconOf(box.Kind), Q(box.Caption), text, QMessageBox::NoButton, Owner());
  dialog.setTextFormat(Qt::PlainText);
  std::map<QAbstractButton*, TBoxButton> answers;
  for (TBoxButton button : box.Buttons) {
    // One role for all keeps the buttons in the order given.
    QPushButton* pushButton = dialog.addButton(ButtonText(button), QMessageBox::AcceptRole);
    answers[pushButton] = button;
    if (button == box.DefaultButton()) dialog.setDefaultButton(pushButton);
    if (button == box.EscapeButton()) dialog.setEscapeButton(pushButton);
  }
  dialog.exec();
  auto answer = answers.find(dialog.clickedButton());
  return answer != answers.end() ? answer->second : box.EscapeButton();
}

void TQtPlatform::Beep() { QApplication::beep(); }

void TQtPlatform::Focus(QWidget& window) {
  window.raise();
  window.activateWindow();
  // The control that has the focus keeps it.
  if (window.focusWidget() == nullptr) window.setFocus();
}

std::optional<std::vector<std::string>> TQtPlatform::OpenFiles(const std::vector<TFileFilter>& filters) {
  QFileDialog dialog(Owner(), "開く", QDir::currentPath(), QtFilter(filters));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  std::vector<std::string> paths;
  for (const QString& file : dialog.selectedFiles()) paths.push_back(LocalPathBytes(file));
  return paths;
}

std::optional<TSaveChoice> TQtPlatform::SaveFile(const std::string& proposed,
                                                 const std::vector<TFileFilter>& filters) {
  QFileDialog dialog(Owner(), "名前を付けて保存");
  dialog.setNameFilter(QtFilter(filters));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  QFileInfo info(QPath(proposed));
  dialog.setDirectory(info.absolutePath());
  // A Shift-JIS name from a DOS archive is proposed as people read it, not as broken UTF-8.
  dialog.selectFile(Q(ShownPath(std::filesystem::path(proposed).filename().string())));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  qsizetype filter = dialog.nameFilters().indexOf(dialog.selectedNameFilter());
  return TSaveChoice{LocalPathBytes(dialog.selectedFiles().front()), filter > 0 ? static_cast<std::size_t>(filter) : 0};
}

std::optional<std::string> TQtPlatform::BrowseFolder(const std::string& title, const std::string& root,
                                                     const std::string& folder) {
  QFileDialog dialog(Owner(), Q(title), QPath(folder.empty() ? root : folder));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setWindowModality(Qt::ApplicationModal);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  std::string chosen = LocalPathBytes(dialog.selectedFiles().front());
  while (chosen.size() > 1 && chosen.back() == '/') chosen.pop_back();
  return chosen;
}

std::vector<std::string> TQtPlatform::JapaneseFontFamilies() {
  std::vector<std::string> families;
  for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese)) families.push_back(family.toStdString());
  return families;
}

void TQtPlatform::ShowHelp(THelpTopic topic) {
  if (!help_) {
    help_ = new QTextBrowser;
    help_->setWindowTitle("Torvaneヘルプ");
    help_->setFont(WindowFont());
    help_->resize(640, 520);
  }
  std::error_code error;
  if (std::filesystem::is_regular_file(helpFile_, error)) {
    QUrl url = QUrl::fromLocalFile(QPath(helpFile_));
    help_->setSource(url, QTextDocument::HtmlResource);
    if (topic == THelpTopic::Topic1) {
      help_->scrollToAnchor("topic1");
    } else {
      help_->moveCursor(QTextCursor::Start);
      help_->ensureCursorVisible();
    }
  } else {
    help_->setPlainText(QString("ヘルプファイル %1 が見つかりません。").arg(Q(ShownPath(helpFile_))));
  }
  help_->show();
  help_->raise();
  help_->activateWindow();
}

std::unique_ptr<TProgress> TQtPlatform::StartProgress(QWidget& window, int total) {
  return std::make_unique<TQtProgress>(window, total);
}

}  // namespace torvane
