#include "ui/qtplatform.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <filesystem>
#include <map>

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

}  // namespace

TQtPlatform::~TQtPlatform() { delete help_; }

TBoxButton TQtPlatform::ShowMessage(const TMessageBox& box) {
  QString text = Q(box.Text);
  text.replace("\r\n", "\n");
  QMessageBox dialog(IconOf(box.Kind), Q(box.Caption), text, QMessageBox::NoButton, QApplication::activeWindow());
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
  window.setFocus();
}

std::optional<std::vector<std::string>> TQtPlatform::OpenFiles(const std::vector<TFileFilter>& filters) {
  QFileDialog dialog(QApplication::activeWindow(), "開く", QDir::currentPath(), QtFilter(filters));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  std::vector<std::string> paths;
  for (const QString& file : dialog.selectedFiles()) paths.push_back(LocalPathBytes(file));
  return paths;
}

std::optional<std::string> TQtPlatform::SaveFile(const std::string& proposed) {
  QFileDialog dialog(QApplication::activeWindow(), "名前を付けて保存");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  QFileInfo info(QPath(proposed));
  dialog.setDirectory(info.absolutePath());
  // A Shift-JIS name from a DOS archive is proposed as people read it, not as broken UTF-8.
  dialog.selectFile(Q(PathForDisplay(std::filesystem::path(proposed).filename().string())));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return LocalPathBytes(dialog.selectedFiles().front());
}

std::optional<std::string> TQtPlatform::BrowseFolder(const std::string& title, const std::string& root,
                                                     const std::string& folder) {
  QFileDialog dialog(QApplication::activeWindow(), Q(title), QPath(folder.empty() ? root : folder));
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
    help_->setPlainText(QString("ヘルプファイル %1 が見つかりません。").arg(Q(PathForDisplay(helpFile_))));
  }
  help_->show();
  help_->raise();
  help_->activateWindow();
}

void TQtPlatform::ProcessPaintEvents() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

}  // namespace torvane
