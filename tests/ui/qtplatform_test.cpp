// The Qt side of the desktop, offscreen: message boxes as users see them, paths as bytes, the
// help document.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "builder/filebuilder.h"
#include "support/runtimefolder.h"
#include "test_util.h"
#include "ui/localpaths.h"
#include "ui/qtplatform.h"
#include "ui/unit2.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using B = TBoxButton;

struct TSeen {
  QString title, text;
  QStringList buttons;
  QString defaultButton, escapeButton;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Shows the box, looks at it and closes it as the action says.
B ShowAndAnswer(const TMessageBox& box, TSeen& seen, const std::function<void(QMessageBox&)>& action) {
  TQtPlatform platform("");
  QTimer::singleShot(0, [&] {
    auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(shown, nullptr);
    seen.title = shown->windowTitle();
    seen.text = shown->text();
    seen.icon = shown->icon();
    for (QAbstractButton* button : shown->buttons()) seen.buttons << button->text();
    seen.defaultButton = shown->defaultButton()->text();
    seen.escapeButton = shown->escapeButton()->text();
    action(*shown);
  });
  return platform.ShowMessage(box);
}

TEST(QtPlatform, MessageBoxesCarryTheirButtonsInOrderWithEnterAndEsc) {
  TMessageBox overwrite{TBoxKind::Warning, "警告", "/o/a.jww\r\nファイルはすでに存在します。\r\n上書きしますか？",
                        {B::Yes, B::No, B::Abort, B::YesToAll}};
  TSeen seen;
  // Closed by its title-bar button: "いいえ(&N)".
  EXPECT_EQ(ShowAndAnswer(overwrite, seen, [](QMessageBox& box) { box.close(); }), B::No);
  EXPECT_EQ(seen.title, "警告");
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.text, "/o/a.jww\nファイルはすでに存在します。\n上書きしますか？");
  EXPECT_EQ(seen.buttons, (QStringList{"はい(&Y)", "いいえ(&N)", "中止(&A)", "すべてはい(&A)"}));
  EXPECT_EQ(seen.defaultButton, "はい(&Y)");
  EXPECT_EQ(seen.escapeButton, "いいえ(&N)");
  EXPECT_EQ(ShowAndAnswer(overwrite, seen, [](QMessageBox& box) { box.buttons()[3]->click(); }), B::YesToAll);

  TMessageBox error{TBoxKind::Error, "Torvane", "ディスクがいっぱいです.", {B::Ok}};
  EXPECT_EQ(ShowAndAnswer(error, seen, [](QMessageBox& box) { box.close(); }), B::Ok);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.defaultButton, "OK");
  EXPECT_EQ(seen.escapeButton, "OK");
}

TEST(QtPlatform, BoxesOpenOverTheMainWindowEvenWhenNoWindowIsActive) {
  QMainWindow window;
  window.setGeometry(600, 400, 330, 359);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QApplication::setActiveWindow(nullptr);
  TSeen seen;
  QWidget* owner = nullptr;
  ShowAndAnswer(PlainBox("Torvane", "x"), seen, [&](QMessageBox& box) {
    owner = box.parentWidget();
    box.close();
  });
  EXPECT_EQ(owner, &window);
}

TEST(QtPlatform, TheProgressOfABatchNamesItsFileAndStopsAtTheButton) {
  QMainWindow window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  TQtPlatform platform("");
  std::unique_ptr<TProgress> progress = platform.StartProgress(window, 3000);
  EXPECT_TRUE(progress->Next(0, "/in/a.jwc"));
  // Shown once the batch has run longer than a moment.
  QTest::qWait(700);
  EXPECT_TRUE(progress->Next(1, "/in/b.jwc"));
  auto* dialog = window.findChild<QProgressDialog*>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->labelText(), "2 / 3000\n/in/b.jwc");
  EXPECT_EQ(dialog->value(), 1);
  EXPECT_EQ(dialog->maximum(), 3000);
  auto* stop = dialog->findChild<QPushButton*>();
  ASSERT_NE(stop, nullptr);
  EXPECT_EQ(stop->text(), "中止");
  stop->click();
  EXPECT_FALSE(progress->Next(2, "/in/c.jwc"));
}

TEST(QtPlatform, PathsStayTheSystemsBytes) {
  EXPECT_EQ(LocalPathBytes("/tmp/図面 1.jwc"), "/tmp/図面 1.jwc");

  QMimeData drop;
  drop.setData("text/uri-list", "# a comment\r\nfile:///a/%90%7D%96%CA.jwc\r\nhttp://host/x.jwc\r\n"
                                "file://localhost/b/plan%20two.jwk\r\nfile://elsewhere/c.jwc\r\n");
  EXPECT_EQ(DroppedFilePaths(drop), (std::vector<std::string>{"/a/\x90\x7d\x96\xca.jwc", "/b/plan two.jwk"}));

  // The save dialog proposes the output of a Shift-JIS name decoded, and answers what was chosen
  // with the file type selected.
  test::TTempDir dir;
  TQtPlatform platform("");
  std::string proposed;
  QStringList types;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    proposed = dialog->selectedFiles().value(0).toStdString();
    types = dialog->nameFilters();
    dialog->selectNameFilter(types.value(1));
    static_cast<QDialog*>(dialog)->accept();
  });
  std::optional<TSaveChoice> chosen =
      platform.SaveFile(dir.File("\x90\x7d\x96\xca.jww"), {{"JWW", "*.jww"}, {"DXF", "*.dxf"}});
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->Path, dir.File("図面.dxf"));  // the dialog follows the type chosen
  EXPECT_EQ(chosen->Filter, 1u);
  EXPECT_EQ(types, QStringList({"JWW (*.jww)", "DXF (*.dxf)"}));
  EXPECT_EQ(proposed, dir.File("図面.jww"));
}

TEST(QtPlatform, HelpIsFoundBesideTheProgramOrInstalledAndOpensAtItsTopics) {
  test::TTempDir dir;
  fs::create_directories(dir.Path() / "bin");
  fs::create_directories(dir.Path() / "share/torvane");
  const std::string bin = dir.File("bin");
  EXPECT_EQ(HelpFilePath(bin), bin + "/Torvane.HLP");
  test::WriteFile(dir.File("share/torvane/Torvane.HLP"),
                  "<html><body><h1 id=\"contents\">目次</h1>" + std::string(200, '\n') +
                      "<p>x</p><br>" + std::string(4000, 'y') + "<h2 id=\"topic1\">メインウィンドウ</h2>" +
                      "<p>" + std::string(8000, 'z') + "</p></body></html>");
  const std::string installed = HelpFilePath(bin);
  EXPECT_EQ(installed, dir.File("share/torvane/Torvane.HLP"));
  test::WriteFile(bin + "/Torvane.HLP", "<html><body>beside</body></html>");
  EXPECT_EQ(HelpFilePath(bin), bin + "/Torvane.HLP");

  TQtPlatform platform(installed);
  platform.ShowHelp(THelpTopic::Contents);
  QTextBrowser* help = platform.HelpWindow();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(help->toPlainText().contains("メインウィンドウ"));
  EXPECT_EQ(help->verticalScrollBar()->value(), 0);
  platform.ShowHelp(THelpTopic::Topic1);
  EXPECT_GT(help->verticalScrollBar()->value(), 0);

  TQtPlatform missing(dir.File("none/Torvane.HLP"));
  missing.ShowHelp(THelpTopic::Contents);
  EXPECT_TRUE(missing.HelpWindow()->toPlainText().contains("見つかりません"));
}

TEST(QtPlatform, TheFullFontListLeavesOutVerticalAndUnwritableNames) {
  EXPECT_EQ(FullFontList({"@ＭＳ 明朝", "ＭＳ 明朝", "", "Noto Sans CJK JP", "한국어"}),
            (std::vector<std::string>{"ＭＳ 明朝", "Noto Sans CJK JP"}));
  // Whatever this system has: no entry begins with "@".
  TQtPlatform platform("");
  for (const std::string& name : FullFontList(platform.JapaneseFontFamilies())) EXPECT_NE(name.front(), '@');
}

// What Qt says while it runs, caught instead of printed.
QStringList gQtMessages;
void CatchQtMessage(QtMsgType, const QMessageLogContext&, const QString& text) { gQtMessages << text; }

// Sets or unsets an environment variable for the time it lives.
class TEnvironment {
 public:
  TEnvironment(const char* name, const char* value) : name_(name) {
    const char* before = std::getenv(name);
    if (before != nullptr) before_ = before;
    had_ = before != nullptr;
    Set(value);
  }
  ~TEnvironment() { Set(had_ ? before_.c_str() : nullptr); }
  void Set(const char* value) { value != nullptr ? setenv(name_, value, 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::string before_;
  bool had_ = false;
};

TEST(QtPlatform, OutsideADesktopLoginTheRuntimeFolderIsPrivate) {
  test::TTempDir temp;
  TEnvironment tmpdir("TMPDIR", temp.Path().c_str());
  TEnvironment runtime("XDG_RUNTIME_DIR", nullptr);
  const std::string mine = temp.File("torvane-runtime-" + std::to_string(geteuid()));

  EnsureRuntimeFolder();
  ASSERT_NE(std::getenv("XDG_RUNTIME_DIR"), nullptr);
  EXPECT_EQ(std::string(std::getenv("XDG_RUNTIME_DIR")), mine);
  struct stat info {};
  ASSERT_EQ(lstat(mine.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  EXPECT_EQ(info.st_uid, geteuid());
  // Qt takes it without a word.
  gQtMessages.clear();
  QtMessageHandler previous = qInstallMessageHandler(CatchQtMessage);
  QString location = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  qInstallMessageHandler(previous);
  EXPECT_EQ(location.toStdString(), mine);
  EXPECT_TRUE(gQtMessages.isEmpty()) << gQtMessages.join("\n").toStdString();

  // The next start takes the same folder; none piles up.
  runtime.Set(nullptr);
  EnsureRuntimeFolder();
  EXPECT_EQ(std::string(std::getenv("XDG_RUNTIME_DIR")), mine);
  EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 1);

  // A folder open to others, or a link planted at the name, is not taken.
  for (bool link : {false, true}) {
    fs::remove_all(mine);
    if (link) {
      fs::create_directory(temp.File("elsewhere"));
      fs::create_directory_symlink(temp.File("elsewhere"), mine);
    } else {
      fs::create_directory(mine);
      fs::permissions(mine, fs::perms::all);
    }
    runtime.Set(nullptr);
    EnsureRuntimeFolder();
    std::string chosen = std::getenv("XDG_RUNTIME_DIR");
    EXPECT_NE(chosen, mine);
    EXPECT_EQ(chosen.rfind(temp.File("torvane-runtime-"), 0), 0u) << chosen;
    ASSERT_EQ(lstat(chosen.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
  }

  // A session's own folder stays as it is.
  runtime.Set("/run/user/1000");
  EnsureRuntimeFolder();
  EXPECT_STREQ(std::getenv("XDG_RUNTIME_DIR"), "/run/user/1000");
}

}  // namespace
}  // namespace torvane
