// The main window driven through its scripted desktop: start-up, loading, the log pane, convert
// and save for one file and for a batch, closing, the font list, help and the about box.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>

#include "builder/filebuilder.h"
#include "builder/jwkbuilder.h"
#include "cli/convertcli.h"
#include "fakeplatform.h"
#include "settings/settings.h"
#include "test_util.h"
#include "ui/unit1.h"
#include "ui/unit2.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::TFakePlatform;
using B = TBoxButton;

const std::string kDrawingSummary = "\n\n居間\n\n直線の数　 = 2\n円弧の数　 = 0\n文字列の数 = 1\n実点の数　 = 0\n仮想点の数 = 0\n";
const std::string kPartSummary = "\n\n直線の数　 = 1\n円弧の数　 = 0\n文字列の数 = 0\n実点の数　 = 0\n";
const std::string kHeading = "【複数ファイル一括変換モード】\n\n";

test::TJwcBuilder Plan() { return test::SmallPlan(); }

test::TJwkBuilder Shape() {
  test::TJwkBuilder b;
  b.lines.push_back({1, 2, 30, 40});
  return b;
}

// Runs file system accesses as an ordinary user, so that permissions count also for root.
class TAsOrdinaryUser {
 public:
  TAsOrdinaryUser() : root_(geteuid() == 0) {
    if (root_ && seteuid(65534) != 0) throw std::runtime_error("seteuid");
  }
  ~TAsOrdinaryUser() {
    if (root_ && seteuid(0) != 0) std::abort();
  }

 private:
  bool root_;
};

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::permissions(dir.Path(), fs::perms::all, fs::perm_options::add);
    fs::current_path(dir.Path());
  }
  void TearDown() override {
    form.reset();
    fs::current_path(previous_);
  }

  TForm1& Start(const std::vector<std::string>& arguments = {}) {
    form = std::make_unique<TForm1>(fake, arguments);
    return *form;
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = dir.File(name);
    fs::create_directories(fs::path(path).parent_path());
    test::WriteFile(path, bytes);
    return path;
  }
  std::string Drawing(const std::string& name) { return Write(name, Plan().Build()); }
  std::string Part(const std::string& name) { return Write(name, Shape().Build()); }
  std::string Folder(const std::string& name) {
    fs::create_directories(dir.File(name));
    fs::permissions(dir.File(name), fs::perms::all, fs::perm_options::add);
    return dir.File(name);
  }

  // What torvane-convert writes for the input with its default options.
  std::string Reference(const std::string& input, const std::string& font = "ＭＳ ゴシック") {
    // The output's extension fits the input's kind, as torvane-convert asks.
    std::string output = dir.File(FileKindOf(input) == TFileKind::Part ? "reference.jws" : "reference.jww");
    std::ostringstream out, err;
    EXPECT_EQ(RunConvertCommand({"--quiet", "--force", "--font", font, "-o", output, input}, out, err), 0) << err.str();
    std::string bytes = test::ReadFile(output);
    fs::remove(output);
    return bytes;
  }

  // Opens the files through the open dialog.
  void Open(const std::vector<std::string>& paths) {
    fake.OpenAnswers.push_back(paths);
    form->Button1Click();
  }

  // Drops the list at a point of the window (the log pane's middle unless given), handed to the
  // widget that Qt hands it to: the one under the point, or the nearest above it that takes drops.
  void Drop(const QByteArray& uriList, std::optional<QPoint> at = std::nullopt) {
    QPoint point = at.value_or(form->RichEdit1->mapTo(form.get(), form->RichEdit1->rect().center()));
    QWidget* target = form->childAt(point);
    if (target == nullptr) target = form.get();
    while (!target->isWindow() && !target->acceptDrops()) target = target->parentWidget();
    ASSERT_TRUE(target->acceptDrops());
    QPoint local = target->mapFrom(form.get(), point);
    QMimeData data;
    data.setData("text/uri-list", uriList);
    QDragEnterEvent enter(local, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return;
    QDropEvent drop(QPointF(local), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    QCoreApplication::processEvents();
  }
  static QByteArray UriList(const std::vector<std::string>& paths) {
    QByteArray list;
    for (const std::string& path : paths) {
      list += "file://" + QByteArray(path.data(), static_cast<qsizetype>(path.size())).toPercentEncoding("/") + "\r\n";
    }
    return list;
  }

  std::vector<std::vector<B>> BoxButtons() const {
    std::vector<std::vector<B>> buttons;
    for (const TMessageBox& box : fake.Boxes) buttons.push_back(box.Buttons);
    return buttons;
  }
  bool Saved() const { return !fake.Boxes.empty() && fake.Boxes.back().Text == "ファイルの保存が終了しました"; }

  test::TTempDir dir;
  TFakePlatform fake;
  std::unique_ptr<TForm1> form;

 private:
  fs::path previous_;
};

TEST_F(Window, StartsInAnEmptyFolderWithTheDefaultSettingsAndLayout) {
  TForm1& w = Start();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_EQ(test::ReadFile(dir.File("Torvane.ini")), DefaultSettingsText());
  EXPECT_EQ(MojiSettings, DefaultMojiSettings());
  EXPECT_EQ(fs::current_path(), dir.Path());
  EXPECT_TRUE(w.ChkJWWhosei->isChecked());
  EXPECT_EQ(w.CmbJWWfont->count(), 2);
  EXPECT_EQ(w.CmbJWWfont->currentText(), "ＭＳ ゴシック");
  EXPECT_EQ(w.BntFont->toolTip(), "全てのフォント名読込");
  EXPECT_EQ(w.FileCount, 0);
  EXPECT_TRUE(fake.Boxes.empty());

  EXPECT_EQ(w.windowTitle(), "Torvane");
  EXPECT_EQ(w.centralWidget()->size(), QSize(322, 313));
  struct {
    QWidget* control;
    QString text;
    QRect place;
  } controls[] = {
      {w.findChild<QGroupBox*>("GroupBox1"), "数値補正", {8, 4, 113, 45}},
      {w.ChkJWWhosei, "数値補正する", {8, 18, 97, 17}},
      {w.findChild<QGroupBox*>("GroupBox2"), "変換後文字フォント", {128, 4, 145, 45}},
      {w.CmbJWWfont, "", {16, 16, 121, 20}},
      {w.BntFont, "Font", {280, 16, 33, 25}},
      {w.RichEdit1, "", {8, 56, 305, 217}},
      {w.Button1, "読込", {159, 281, 65, 25}},
      {w.Button2, "変換・保存", {239, 281, 65, 25}},
  };
  for (const auto& c : controls) {
    ASSERT_NE(c.control, nullptr);
    EXPECT_EQ(c.control->geometry(), c.place) << c.text.toStdString();
    if (auto* box = qobject_cast<QGroupBox*>(c.control)) {
      EXPECT_EQ(box->title(), c.text);
    }
    if (auto* button = qobject_cast<QAbstractButton*>(c.control)) {
      EXPECT_EQ(button->text(), c.text);
    }
  }
  EXPECT_EQ(w.RichEdit1->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_FALSE(w.RichEdit1->isReadOnly());

  // Keyboard order: it starts at 読込, and Tab leaves the log pane without typing into it.
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  EXPECT_EQ(QApplication::focusWidget(), w.Button1);
  for (QWidget* next :
       std::vector<QWidget*>{w.Button2, w.ChkJWWhosei, w.CmbJWWfont, w.BntFont, w.RichEdit1, w.Button1}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next) << next->metaObject()->className();
  }
  QTest::keyClick(w.Button1, Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), w.RichEdit1);
  EXPECT_EQ(w.LogText(), "");
  EXPECT_TRUE(w.ChkJWWhosei->isChecked());

  EXPECT_EQ(w.Open1->text(), "開く(&O)...");
  EXPECT_EQ(w.Save1->text(), "変換・保存(&S)");
  EXPECT_EQ(w.Exit1->text(), "終了(&X)");
  EXPECT_EQ(w.moji1->text(), "JWS用文字設定(&M)");
  EXPECT_TRUE(w.moji1->isEnabled());
  EXPECT_EQ(w.About1->text(), "Torvaneヘルプ(&P)...");
  EXPECT_EQ(w.About2->text(), "バージョン情報(&A)...");

  // The buttons keep to the right and bottom edges; the log pane keeps its place.
  w.resize(w.width() + 100, w.height() + 50);
  EXPECT_EQ(w.Button1->geometry(), QRect(259, 331, 65, 25));
  EXPECT_EQ(w.Button2->geometry(), QRect(339, 331, 65, 25));
  EXPECT_EQ(w.RichEdit1->geometry(), QRect(8, 56, 305, 217));

  // The window's own size is its smallest: the buttons never come onto the log pane.
  w.resize(240, 220);
  EXPECT_EQ(w.centralWidget()->size(), QSize(322, 313));
  EXPECT_FALSE(w.Button1->geometry().intersects(w.RichEdit1->geometry()));
  EXPECT_EQ(w.Button2->geometry(), QRect(239, 281, 65, 25));
}

TEST_F(Window, AnExistingSettingsFileIsReadAndItsFolderEntered) {
  Folder("work");
  std::string ini = DefaultSettingsText();
  ini.replace(ini.find("dir="), 4, "dir=" + dir.File("work"));
  ini.replace(ini.find("[MojiWide]\r\nPen01=20"), 20, "[MojiWide]\r\nPen01=33");
  Write("Torvane.ini", ini);
  Start();
  EXPECT_EQ(test::ReadFile(dir.File("Torvane.ini")), ini);
  EXPECT_EQ(fs::current_path(), dir.Path() / "work");
  EXPECT_EQ(MojiSettings[0].Wide, 33);
}

TEST_F(Window, ASettingsFileThatIsADanglingLinkIsNamedAndNeverCreatedThrough) {
  Folder("elsewhere");
  const std::string target = dir.File("elsewhere/planted.ini");
  ASSERT_EQ(symlink(target.c_str(), dir.File("Torvane.ini").c_str()), 0);
  Start().show();
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Error);
  EXPECT_EQ(fake.Boxes[0].Text,
            dir.File("Torvane.ini") + "は、\r\nリンク先のないリンクです。設定ファイルを作らずに、既定の設定で始めます。");
  EXPECT_EQ(MojiSettings, DefaultMojiSettings());
  form->close();
  EXPECT_FALSE(fs::exists(target));
  EXPECT_TRUE(fs::is_symlink(dir.File("Torvane.ini")));
}

// A Torvane.ini past the bound is not a settings file (a 1 GiB one would take 2 GB to read): the
// window names it, starts with the default settings and leaves the file as it was, on closing and
// on saving the character types alike.
TEST_F(Window, ASettingsFileTooLargeToBeOneIsNamedNeverReadNorRewritten) {
  const std::string path = dir.File("Torvane.ini");
  std::string ini = DefaultSettingsText();
  ini.replace(ini.find("[MojiWide]\r\nPen01=20"), 20, "[MojiWide]\r\nPen01=33");
  ini += std::string(kMaxSettingsBytes + 1 - ini.size(), ';');
  Write("Torvane.ini", ini);
  Start().show();
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Error);
  EXPECT_EQ(fake.Boxes[0].Text, path + "は、\r\n1 MiB を超える大きさで、設定ファイルではありません。"
                                       "読み込みも書き込みもせずに、既定の設定で始めます。");
  EXPECT_EQ(MojiSettings, DefaultMojiSettings());
  SaveMojiSettings(SettingsPath(), MojiSettings, PenColors);
  form->close();
  EXPECT_EQ(fake.Boxes.size(), 1u);
  EXPECT_TRUE(test::ReadFile(path) == ini);
}

TEST_F(Window, ClassifiesFilesByExtensionAndSignature) {
  const std::string drawing = Plan().Build();
  const std::string notDrawing = "は、\r\nJW-CAD図面ファイルではありません。";
  const std::string notPart = "は、\r\nJWK部品ファイルではありません。";
  struct {
    std::string name, bytes, warning;
  } cases[] = {
      {"PLAN.JWC", drawing, ""},
      {"plan.Jwc", drawing, ""},
      {"part.jwk", Shape().Build(), ""},
      {"plan.jw", drawing, notDrawing},
      {"x.jwc", "just some text, long enough to fill a signature\n", notDrawing},
      {"y.jwk", drawing, notPart},
      {"missing.JWC", "", notDrawing},
  };
  Start();
  enum class TWay { Open, Drop, CommandLine };
  for (TWay way : {TWay::Open, TWay::Drop, TWay::CommandLine}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name + " way " + std::to_string(static_cast<int>(way)));
      std::string path = dir.File(c.name);
      if (c.name.starts_with("missing")) {
        fs::remove(path);
      } else {
        Write(c.name, c.bytes);
      }
      fake.Boxes.clear();
      fake.Beeps = 0;
      if (way == TWay::Open) Open({path});
      if (way == TWay::Drop) Drop(UriList({path}));
      if (way == TWay::CommandLine) Start({path});
      bool isPart = c.name.ends_with("jwk");
      if (c.warning.empty()) {
        EXPECT_EQ(form->FileCount, 1);
        EXPECT_EQ(form->CurrentFile, path);
        EXPECT_EQ(form->LogText(), path + (isPart ? kPartSummary : kDrawingSummary));
        EXPECT_TRUE(fake.Boxes.empty());
      } else if (way == TWay::CommandLine) {
        // Arguments that fail the checks are dropped without a word.
        EXPECT_EQ(form->FileCount, 0);
        EXPECT_TRUE(fake.Boxes.empty());
      } else if (c.name.starts_with("missing")) {
        // A file that cannot be opened is told as such.
        ASSERT_EQ(fake.Boxes.size(), 1u);
        EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Error);
        EXPECT_EQ(fake.Boxes[0].Text, "ファイルが見つかりません.");
        EXPECT_EQ(form->FileCount, 0);
      } else {
        ASSERT_EQ(fake.Boxes.size(), 1u);
        EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Warning);
        EXPECT_EQ(fake.Boxes[0].Caption, "警告");
        EXPECT_EQ(fake.Boxes[0].Text, path + c.warning);
        EXPECT_EQ(fake.Boxes[0].Buttons, std::vector<B>{B::Ok});
        EXPECT_EQ(fake.Beeps, 1);
        EXPECT_EQ(form->FileCount, 0);
        EXPECT_EQ(form->LogText(), "");
      }
    }
  }
}

TEST_F(Window, AFileDroppedAnywhereOnTheWindowIsLoaded) {
  std::string first = Drawing("first.jwc");
  std::string part = Part("part.jwk");
  Start({first});
  form->show();
  auto at = [&](QWidget* widget) { return widget->mapTo(form.get(), widget->rect().center()); };
  const QPoint places[] = {at(form->RichEdit1), at(form->RichEdit1->horizontalScrollBar()),
                           at(form->findChild<QGroupBox*>("GroupBox1")), at(form->Button2),
                           at(form->menuBar()), QPoint(20, form->height() - 10)};
  for (const QPoint& place : places) {
    SCOPED_TRACE(std::to_string(place.x()) + "," + std::to_string(place.y()));
    Open({first});
    Drop(UriList({part}), place);
    EXPECT_EQ(form->CurrentFile, part);
    // The log holds the part's summary, not the dropped address.
    EXPECT_EQ(form->LogText(), part + kPartSummary);
  }
}

TEST_F(Window, AFileThatCannotBeOpenedGetsTheRuntimeText) {
  std::string path = Drawing("locked.jwc");
  chmod(path.c_str(), 0);
  Start();
  {
    TAsOrdinaryUser user;
    Open({path});
  }
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Error);
  EXPECT_EQ(fake.Boxes[0].Caption, "Torvane");
  EXPECT_EQ(fake.Boxes[0].Text, "ファイルへのアクセスが拒否されました.");
  EXPECT_EQ(form->FileCount, 0);
}

TEST_F(Window, ABatchIsListedAndItsFirstBadFileStopsIt) {
  std::string a = Drawing("a.jwc");
  std::string b = Part("b.jwk");
  Start({a, dir.File("note.txt"), b});
  EXPECT_EQ(form->FileCount, 2);
  EXPECT_EQ(form->LogText(), kHeading + a + "\n" + b + "\n\n\n");

  // The open dialog cancelled: the batch stays.
  form->Button1Click();
  EXPECT_EQ(form->FileCount, 2);
  EXPECT_EQ(form->LogText(), kHeading + a + "\n" + b + "\n\n\n");

  // The second file is no part; the third, missing, is never looked at.
  std::string bad = Drawing("bad.jwk");
  Drop(UriList({a, bad, dir.File("gone.jwc")}));
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Text, bad + "は、\r\nJWK部品ファイルではありません。");
  EXPECT_EQ(form->FileCount, 0);
  EXPECT_EQ(form->LogText(), "");
}

TEST_F(Window, NothingLoadedAsksForAFileFirst) {
  Start();
  form->Button2Click();
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Plain);
  EXPECT_EQ(fake.Boxes[0].Caption, "Torvane");
  EXPECT_EQ(fake.Boxes[0].Text, "jwc/jwkファイルを先に開いてください");
  EXPECT_EQ(fake.Boxes[0].Buttons, std::vector<B>{B::Ok});
  EXPECT_TRUE(fake.SaveRequests.empty());
}

TEST_F(Window, SavesOneFileUnderTheChosenNameWithItsExtension) {
  std::string plan = Drawing("plan.jwc");
  const std::string reference = Reference(plan);
  Folder("out");
  Start();
  Open({plan});
  struct {
    std::string typed, saved;
  } cases[] = {{"plan2", "plan2.jww"}, {"plan2.txt", "plan2.jww"}, {"PLAN2.JWW", "PLAN2.JWW"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    fs::remove(dir.File("out/" + c.saved));
    fake.Boxes.clear();
    fake.SaveAnswers.push_back(dir.File("out/" + c.typed));
    form->Button2Click();
    EXPECT_EQ(fake.SaveRequests.back(), dir.File("plan.jww"));
    EXPECT_EQ(test::ReadFile(dir.File("out/" + c.saved)), reference);
    EXPECT_EQ(BoxButtons(), std::vector<std::vector<B>>{{B::Ok}});
    EXPECT_TRUE(Saved());
    EXPECT_EQ(fs::current_path(), dir.Path() / "out");
  }
  EXPECT_FALSE(fs::exists(dir.File("out/plan2.txt")));

  // A part becomes a .jws file.
  std::string part = Part("part.jwk");
  Open({part});
  fake.SaveAnswers.push_back(dir.File("part"));
  form->Button2Click();
  EXPECT_EQ(fake.SaveRequests.back(), dir.File("part.jws"));
  EXPECT_EQ(test::ReadFile(dir.File("part.jws")), Reference(part));

  // Cancel writes and shows nothing.
  fake.Boxes.clear();
  form->Button2Click();
  EXPECT_TRUE(fake.Boxes.empty());
}

TEST_F(Window, AsksBeforeReplacingOneFile) {
  std::string plan = Drawing("plan.jwc");
  std::string output = Write("plan.jww", "earlier");
  Start();
  Open({plan});
  fake.SaveAnswers.push_back(output);
  fake.BoxAnswers.push_back(B::No);
  form->Button2Click();
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Warning);
  EXPECT_EQ(fake.Boxes[0].Text, output + "ファイルはすでに存在します。\r\n上書きしますか？");
  EXPECT_EQ(fake.Boxes[0].Buttons, (std::vector<B>{B::Yes, B::No}));
  EXPECT_EQ(test::ReadFile(output), "earlier");

  fake.SaveAnswers.push_back(output);
  fake.BoxAnswers.push_back(B::Yes);
  form->Button2Click();
  EXPECT_EQ(test::ReadFile(output), Reference(plan));
  EXPECT_TRUE(Saved());
}

TEST_F(Window, ConvertsWithTheOptionsOfTheMoment) {
  std::string plan = Drawing("plan.jwc");
  Start();
  Open({plan});
  form->ChkJWWhosei->setChecked(false);
  fake.SaveAnswers.push_back(dir.File("raw.jww"));
  form->Button2Click();
  std::ostringstream out, err;
  ASSERT_EQ(RunConvertCommand({"--quiet", "--no-correction", "-o", dir.File("cli.jww"), plan}, out, err), 0);
  EXPECT_EQ(test::ReadFile(dir.File("raw.jww")), test::ReadFile(dir.File("cli.jww")));

  // The font chosen in the list reaches the converter in CP932.
  form->ChkJWWhosei->setChecked(true);
  fake.Families = {"IPAGothic", "ＭＳ 明朝", "@IPAGothic", "한국어 글꼴"};
  form->BntFontClick();
  form->CmbJWWfont->setCurrentIndex(1);
  fake.SaveAnswers.push_back(dir.File("mincho.jww"));
  form->Button2Click();
  EXPECT_EQ(test::ReadFile(dir.File("mincho.jww")), Reference(plan, "ＭＳ 明朝"));
}

struct TBatchCase {
  const char* name;
  std::vector<B> answers;
  std::vector<std::vector<B>> boxes;  // the buttons of each box asked
  bool aWritten, bWritten, cWritten, saved;
};
// Names the case in test names and failures, instead of its raw bytes.
void PrintTo(const TBatchCase& c, std::ostream* os) { *os << c.name; }

class BatchOverwrite : public Window, public ::testing::WithParamInterface<TBatchCase> {};

const std::vector<B> kThree = {B::Yes, B::No, B::Abort};
const std::vector<B> kFour = {B::Yes, B::No, B::Abort, B::YesToAll};

INSTANTIATE_TEST_SUITE_P(
    Answers, BatchOverwrite,
    ::testing::Values(TBatchCase{"YesYes", {B::Yes, B::Yes}, {kFour, kThree}, true, true, true, true},
                      TBatchCase{"YesToAll", {B::YesToAll}, {kFour}, true, true, true, true},
                      TBatchCase{"Abort", {B::Abort}, {kFour}, false, false, false, false},
                      TBatchCase{"NoThenAbort", {B::No, B::Abort}, {kFour, kThree}, false, true, false, false},
                      TBatchCase{"TitleBarClose", {}, {kFour, kThree}, false, true, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(BatchOverwrite, CountsTheExistingOutputsOnce) {
  const TBatchCase& c = GetParam();
  std::string a = Drawing("in/a.jwc");
  std::string b = Part("in/b.jwk");
  std::string cc = Drawing("in2/c.jwc");
  std::string out = Folder("out");
  Write("out/a.jww", "old a");
  Write("out/c.jww", "old c");
  Start();
  Open({a, b, cc});
  fake.FolderAnswers.push_back(out);
  fake.BoxAnswers.assign(c.answers.begin(), c.answers.end());
  form->Button2Click();

  ASSERT_EQ(fake.FolderRequests.size(), 1u);
  EXPECT_EQ(fake.FolderRequests[0].Title, "保存ディレクトリの選択");
  EXPECT_EQ(fake.FolderRequests[0].Root, "");
  EXPECT_EQ(fake.FolderRequests[0].Folder, dir.File("in"));
  std::vector<std::vector<B>> boxes = BoxButtons();
  if (c.saved) boxes.pop_back();
  EXPECT_EQ(boxes, c.boxes);
  EXPECT_EQ(fake.Boxes[0].Text, out + "/a.jww\r\nファイルはすでに存在します。\r\n上書きしますか？");
  EXPECT_EQ(Saved(), c.saved);
  EXPECT_EQ(test::ReadFile(out + "/a.jww") == Reference(a), c.aWritten);
  EXPECT_EQ(fs::exists(out + "/b.jws"), c.bWritten);
  EXPECT_EQ(test::ReadFile(out + "/c.jww") == Reference(cc), c.cWritten);
  // A skipped file leaves no trace in the log.
  EXPECT_EQ(form->LogText().find(a + "\n\n居間") != std::string::npos, c.aWritten);
  if (c.bWritten) {
    EXPECT_EQ(test::ReadFile(out + "/b.jws"), Reference(b));
  }
}

TEST_F(Window, ABatchWhoseFilesAreAllSkippedEndsWithoutTheCompletionMessage) {
  std::string a = Drawing("a.jwc");
  std::string b = Drawing("b.jwc");
  std::string out = Folder("out");
  Write("out/a.jww", "old");
  Write("out/b.jww", "old");
  Start({a, b});
  fake.FolderAnswers.push_back(out);
  fake.BoxAnswers = {B::No, B::No};
  form->Button2Click();
  EXPECT_EQ(BoxButtons(), (std::vector<std::vector<B>>{kFour, kThree}));
  EXPECT_EQ(form->LogText(), kHeading + a + "\n" + b + "\n\n\n" + "変換 0 件、上書きせず 2 件、失敗 0 件\n");
}

TEST_F(Window, DxfIsTheSecondFileTypeAndABatchWritesOneBesideEachOutputWhenAsked) {
  std::string a = Drawing("a.jwc");
  std::string b = Drawing("b.jwc");
  std::string out = Folder("out");
  Start({a});
  ASSERT_FALSE(form->DxfToo1->isChecked());
  fake.SaveAnswers.push_back(out + "/single");
  fake.SaveFilterAnswers.push_back(1);
  form->Button2Click();
  ASSERT_EQ(fake.SaveFilters.back().size(), 2u);
  EXPECT_EQ(fake.SaveFilters.back()[0].Pattern, "*.jww");
  EXPECT_EQ(fake.SaveFilters.back()[1].Pattern, "*.dxf");
  EXPECT_EQ(test::ReadFile(out + "/single.dxf").rfind("999\nTorvane\n", 0), 0u);
  EXPECT_FALSE(fs::exists(out + "/single.jww"));
  EXPECT_TRUE(Saved());

  // The item is remembered in a section of its own; the batch asks about an existing DXF as about
  // any existing output.
  form->DxfToo1->trigger();
  EXPECT_NE(test::ReadFile(dir.File("Torvane.ini")).find("[Export]\r\nDxf=1\r\n"), std::string::npos);
  Write("out/b.dxf", "old");
  fs::current_path(dir.Path());  // where the window starts, and finds its settings
  Start({a, b});
  ASSERT_TRUE(form->DxfToo1->isChecked());
  fake.FolderAnswers.push_back(out);
  fake.Boxes.clear();
  fake.BoxAnswers = {B::No};
  form->Button2Click();
  EXPECT_EQ(BoxButtons(), (std::vector<std::vector<B>>{kThree, {B::Ok}}));
  EXPECT_EQ(test::ReadFile(out + "/a.jww"), Reference(a));
  EXPECT_EQ(test::ReadFile(out + "/a.dxf"), test::ReadFile(out + "/single.dxf"));
  EXPECT_EQ(test::ReadFile(out + "/b.jww"), Reference(b));
  EXPECT_EQ(test::ReadFile(out + "/b.dxf"), "old");
  form->DxfToo1->trigger();
  EXPECT_NE(test::ReadFile(dir.File("Torvane.ini")).find("[Export]\r\nDxf=0\r\n"), std::string::npos);
}

// The DXF beside an output is guarded as the output itself: never written through a planted link,
// never onto an input; a file refused for its DXF is not converted at all.
TEST_F(Window, DxfOutputsAreGuardedAsTheOthers) {
  std::string a = Drawing("a.jwc");
  std::string b = Drawing("b.jwc");
  std::string out = Folder("out");
  std::string victim = Write("victim.txt", "victim");
  ASSERT_EQ(symlink(victim.c_str(), (out + "/a.dxf").c_str()), 0);
  ASSERT_EQ(symlink(b.c_str(), (out + "/b.dxf").c_str()), 0);
  Start({a, b});
  form->DxfToo1->setChecked(true);
  fake.FolderAnswers.push_back(out);
  fake.BoxAnswers = {B::Yes};
  form->Button2Click();
  EXPECT_EQ(BoxButtons(), (std::vector<std::vector<B>>{kThree, {B::Ok}}));
  EXPECT_EQ(test::ReadFile(victim), "victim");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out + "/a.dxf")));
  EXPECT_EQ(test::ReadFile(out + "/a.dxf").rfind("999\nTorvane\n", 0), 0u);
  EXPECT_EQ(test::ReadFile(out + "/a.jww"), Reference(a));
  EXPECT_FALSE(fs::exists(out + "/b.jww"));
  EXPECT_TRUE(fs::is_symlink(out + "/b.dxf"));
  const std::string log = form->LogText();
  EXPECT_NE(log.find(b + " は変換しません。保存先 " + out + "/b.dxf はこの一括変換の変換元のファイルです。\n"),
            std::string::npos)
      << log;
  EXPECT_TRUE(log.ends_with("変換 1 件、上書きせず 1 件、失敗 0 件\n")) << log;

  // The single save as DXF onto a link to the loaded drawing.
  const std::string original = test::ReadFile(a);
  ASSERT_EQ(symlink(a.c_str(), dir.File("soft.dxf").c_str()), 0);
  Open({a});
  fake.Boxes.clear();
  fake.SaveAnswers.push_back(dir.File("soft.dxf"));
  fake.SaveFilterAnswers.push_back(1);
  form->Button2Click();
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Text, dir.File("soft.dxf") + "は、\r\n変換元のファイルです。別の名前で保存してください。");
  EXPECT_EQ(test::ReadFile(a), original);
}

TEST_F(Window, ABatchShowsItsProgressAndEndsWithItsCounts) {
  std::string a = Drawing("a.jwc");
  std::string b = Part("b.jwk");
  std::string out = Folder("out");
  Start({a, b});
  form->show();
  std::vector<std::string> logs;
  fake.OnStep = [&] {
    logs.push_back(form->LogText());
    // Meanwhile the controls look disabled, and drops and closing are ignored.
    EXPECT_FALSE(form->Button1->isEnabled());
    EXPECT_FALSE(form->ChkJWWhosei->isEnabled());
    EXPECT_FALSE(form->RichEdit1->isEnabled());
    EXPECT_FALSE(form->menuBar()->isEnabled());
    Drop(UriList({a}));
    EXPECT_EQ(form->FileCount, 2);
    EXPECT_FALSE(form->close());
  };
  fake.FolderAnswers.push_back(out);
  form->Button2Click();
  const std::string listing = kHeading + a + "\n" + b + "\n\n\n";
  EXPECT_EQ(fake.ProgressTotals, std::vector<int>{2});
  EXPECT_EQ(fake.ProgressSteps, (std::vector<std::pair<int, std::string>>{{0, a}, {1, b}}));
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0], listing);
  EXPECT_EQ(logs[1], listing + a + kDrawingSummary + "\n\n");
  EXPECT_EQ(form->LogText(), logs[1] + b + kPartSummary + "\n\n" + "変換 2 件、上書きせず 0 件、失敗 0 件\n");
  EXPECT_TRUE(Saved());
  EXPECT_TRUE(form->Button1->isEnabled());
  EXPECT_TRUE(form->menuBar()->isEnabled());
  EXPECT_EQ(test::ReadFile(out + "/a.jww"), Reference(a));
  EXPECT_EQ(test::ReadFile(out + "/b.jws"), Reference(b));
  // The folder browser does not move the current folder.
  EXPECT_EQ(fs::current_path(), dir.Path());
}

TEST_F(Window, StoppingABatchFinishesTheCurrentFileAndWritesNoMore) {
  std::vector<std::string> inputs;
  for (const char* name : {"a.jwc", "b.jwc", "c.jwc", "d.jwc"}) inputs.push_back(Drawing(name));
  std::string out = Folder("out");
  Start(inputs);
  fake.FolderAnswers.push_back(out);
  // 中止 is pressed while b converts: the next step answers it.
  fake.StopAtStep = 2;
  form->Button2Click();
  EXPECT_EQ(fake.ProgressSteps.size(), 3u);
  std::vector<std::string> written;
  for (const auto& entry : fs::directory_iterator(out)) written.push_back(entry.path().filename().string());
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, (std::vector<std::string>{"a.jww", "b.jww"}));
  EXPECT_EQ(test::ReadFile(out + "/b.jww"), Reference(inputs[1]));
  EXPECT_TRUE(form->LogText().ends_with("\n中止しました。変換 2 件、上書きせず 0 件、失敗 0 件、未処理 2 件\n"))
      << form->LogText();
  // No completion message after a stop.
  EXPECT_TRUE(fake.Boxes.empty());
  EXPECT_TRUE(form->Button2->isEnabled());
}

TEST_F(Window, AFailedWriteNamesTheFileAndEndsTheCommand) {
  std::string a = Drawing("a.jwc");
  std::string b = Drawing("b.jwc");
  std::string out = Folder("out");
  chmod(out.c_str(), 0555);
  Start({a, b});
  fake.FolderAnswers.push_back(out);
  {
    TAsOrdinaryUser user;
    form->Button2Click();
  }
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Error);
  EXPECT_EQ(fake.Boxes[0].Text, out + "/a.jww に保存できません。\r\nファイルへのアクセスが拒否されました.");
  EXPECT_TRUE(fs::is_empty(out));
  EXPECT_TRUE(form->LogText().ends_with("\n中止しました。変換 0 件、上書きせず 0 件、失敗 1 件、未処理 1 件\n"))
      << form->LogText();

  // A disk that fills while the file is written: no completion message and no partial file.
  chmod(out.c_str(), 0755);
  Write("single.jwc", Plan().Build());
  Open({dir.File("single.jwc")});
  fake.Boxes.clear();
  fake.SaveAnswers.push_back(out + "/single.jww");
  {
    test::TFileSizeLimit limit(64);
    ASSERT_TRUE(limit.Ok());
    form->Button2Click();
  }
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Error);
  EXPECT_EQ(fake.Boxes[0].Text, out + "/single.jww に保存できません。\r\nI/O エラー (27)");
  EXPECT_TRUE(fs::is_empty(out));
}

// Two inputs of one name from different folders: the second never replaces what the first wrote,
// whatever the answers to the questions before it.
TEST_F(Window, ABatchNeverReplacesAnOutputItWroteItself) {
  test::TJwcBuilder bedroom = Plan();
  bedroom.memo1 = "寝室";
  std::string first = Drawing("in1/a.jwc");
  std::string second = Write("in2/a.jwc", bedroom.Build());
  std::string out = Folder("out");
  const std::string refused =
      second + " は変換しません。保存先 " + out + "/a.jww はこの一括変換で先に保存したファイルです。\n";
  struct {
    const char* name;
    bool existed;
    std::vector<B> answers;
    std::vector<std::vector<B>> boxes;
  } cases[] = {
      {"none there", false, {}, {{B::Ok}}},
      {"yes to all for an older one", true, {B::YesToAll}, {kFour, {B::Ok}}},
      {"yes for an older one", true, {B::Yes}, {kFour, {B::Ok}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(out + "/a.jww");
    if (c.existed) Write("out/a.jww", "older");
    Start({first, second});
    fake.Boxes.clear();
    fake.FolderAnswers.push_back(out);
    fake.BoxAnswers.assign(c.answers.begin(), c.answers.end());
    form->Button2Click();
    EXPECT_EQ(BoxButtons(), c.boxes);
    EXPECT_TRUE(Saved());
    EXPECT_EQ(test::ReadFile(out + "/a.jww"), Reference(first));
    const std::string log = form->LogText();
    EXPECT_TRUE(log.ends_with("\n\n" + refused + "変換 1 件、上書きせず 1 件、失敗 0 件\n")) << log;
    EXPECT_EQ(log.find(second + "\n\n寝室"), std::string::npos);
  }
}

// A name that leads to an input, by a symbolic or a hard link, is never written.
TEST_F(Window, NoOutputReplacesAnInput) {
  std::string plan = Drawing("plan.jwc");
  const std::string original = test::ReadFile(plan);
  ASSERT_EQ(symlink(plan.c_str(), dir.File("soft.jww").c_str()), 0);
  ASSERT_EQ(link(plan.c_str(), dir.File("hard.jww").c_str()), 0);
  Start({plan});
  for (const char* name : {"soft.jww", "hard.jww"}) {
    SCOPED_TRACE(name);
    fake.Boxes.clear();
    fake.SaveAnswers.push_back(dir.File(name));
    form->Button2Click();
    ASSERT_EQ(fake.Boxes.size(), 1u);
    EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Error);
    EXPECT_EQ(fake.Boxes[0].Text, dir.File(name) + "は、\r\n変換元のファイルです。別の名前で保存してください。");
    EXPECT_EQ(test::ReadFile(plan), original);
  }

  // In a batch: b's output is a link to a; b is not converted and a stays as it was.
  std::string b = Drawing("b.jwc");
  std::string out = Folder("out");
  ASSERT_EQ(symlink(plan.c_str(), (out + "/b.jww").c_str()), 0);
  Start({b, plan});
  fake.Boxes.clear();
  fake.FolderAnswers.push_back(out);
  form->Button2Click();
  EXPECT_EQ(BoxButtons(), std::vector<std::vector<B>>{{B::Ok}});
  EXPECT_EQ(test::ReadFile(plan), original);
  EXPECT_TRUE(fs::is_symlink(out + "/b.jww"));
  EXPECT_EQ(test::ReadFile(out + "/plan.jww"), Reference(plan));
  EXPECT_NE(form->LogText().find(b + " は変換しません。保存先 " + out + "/b.jww はこの一括変換の変換元のファイルです。\n"),
            std::string::npos)
      << form->LogText();
}

// What a batch finds at an output's name, planted by someone else: a link, a dangling link, a pipe.
// Each is an existing file, asked about; a yes puts the output in its place, never through it.
TEST_F(Window, ABatchNeverWritesThroughWhatStandsAtAnOutput) {
  std::string a = Drawing("a.jwc");
  std::string b = Drawing("b.jwc");
  std::string c = Drawing("c.jwc");
  std::string out = Folder("out");
  std::string victim = Write("victim.txt", "victim");
  for (B answer : {B::No, B::YesToAll}) {
    SCOPED_TRACE(answer == B::No ? "no" : "yes to all");
    for (const char* name : {"a.jww", "b.jww", "c.jww"}) fs::remove(out + "/" + name);
    ASSERT_EQ(symlink(victim.c_str(), (out + "/a.jww").c_str()), 0);
    ASSERT_EQ(symlink(dir.File("nowhere/x").c_str(), (out + "/b.jww").c_str()), 0);
    ASSERT_EQ(mkfifo((out + "/c.jww").c_str(), 0666), 0);
    Start({a, b, c});
    fake.Boxes.clear();
    fake.FolderAnswers.push_back(out);
    fake.BoxAnswers = {answer, answer, answer};
    form->Button2Click();
    EXPECT_EQ(fake.Boxes.at(0).Text, out + "/a.jww\r\nファイルはすでに存在します。\r\n上書きしますか？");
    EXPECT_EQ(fake.Boxes.at(0).Buttons, kFour);
    EXPECT_EQ(test::ReadFile(victim), "victim");
    EXPECT_FALSE(fs::exists(dir.File("nowhere")));
    if (answer == B::No) {
      EXPECT_EQ(BoxButtons(), (std::vector<std::vector<B>>{kFour, kFour, kThree}));
      EXPECT_TRUE(fs::is_symlink(out + "/a.jww"));
      EXPECT_TRUE(fs::is_fifo(out + "/c.jww"));
    } else {
      for (const std::string& input : {a, b, c}) {
        std::string output = out + "/" + fs::path(input).stem().string() + ".jww";
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(output))) << output;
        EXPECT_EQ(test::ReadFile(output), Reference(input));
      }
    }
  }
}

TEST_F(Window, AFolderAtTheOutputsNameIsAnErrorNotAQuestion) {
  std::string a = Drawing("a.jwc");
  std::string b = Drawing("b.jwc");
  std::string out = Folder("out");
  Folder("out/a.jww");
  Write("out/b.jww", "old b");
  const std::string refusal = out + "/a.jww" + "は、\r\nフォルダです。同じ名前のファイルは保存できません。";
  Start({a, b});
  fake.FolderAnswers.push_back(out);
  form->Button2Click();
  // The folder is not counted as an existing output: no "すべてはい" was offered before it.
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Error);
  EXPECT_EQ(fake.Boxes[0].Text, refusal);
  EXPECT_EQ(test::ReadFile(out + "/b.jww"), "old b");

  Open({a});
  fake.Boxes.clear();
  fake.SaveAnswers.push_back(out + "/a.jww");
  form->Button2Click();
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Text, refusal);
  EXPECT_TRUE(fs::is_empty(out + "/a.jww"));
}

TEST_F(Window, AReadThatStopsInsideTheRecordsIsNotedInTheLogWithWhyInJapanese) {
  const std::string note = "ファイルを最後まで読み込めませんでした。読み込めた部分だけを変換します。\n"
                           "（線分データの途中でファイルが終わっています）\n";
  test::TJwcBuilder truncated = Plan();
  truncated.senCount = 5;
  truncated.withNames = false;
  test::TJwcBuilder older = Plan();
  older.withNames = false;
  std::string t = Write("t.jwc", truncated.Build());
  std::string o = Write("o.jwc", older.Build());
  Start();
  Open({t});
  EXPECT_TRUE(form->LogText().ends_with("仮想点の数 = 0\n" + note)) << form->LogText();
  fake.SaveAnswers.push_back(dir.File("t.jww"));
  form->Button2Click();
  EXPECT_TRUE(Saved());
  EXPECT_TRUE(fs::exists(dir.File("t.jww")));

  Open({o});
  EXPECT_EQ(form->LogText(), o + kDrawingSummary);
}

// The window program, stopped by a signal while its save is being committed: the temporary file
// goes, the output never appears, and the program dies by the signal (a shell loop stops too).
TEST_F(Window, AStopDuringASaveLeavesNoTemporaryFileAndDiesByTheSignal) {
  const std::string input = Drawing("in/plan.jwc");
  const fs::path out = Folder("out");
  const std::string output = (out / "plan.jww").string();
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const std::string readyFd = std::to_string(ready[1]);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      rlimit noCore{0, 0};
      setrlimit(RLIMIT_CORE, &noCore);
      execl(TORVANE_STOP_SAVE, TORVANE_STOP_SAVE, input.c_str(), output.c_str(), readyFd.c_str(), nullptr);
      _exit(7);
    }
    close(ready[1]);
    char byte = 0;
    bool held = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    if (held) {
      EXPECT_EQ(test::TemporaryFilesIn(out).size(), 1u);
      kill(child, signal);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(held) << "the save was never held; status " << status;
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), signal);
    EXPECT_TRUE(test::TemporaryFilesIn(out).empty());
    EXPECT_FALSE(fs::exists(output));
  }
}

TEST_F(Window, AShiftJisFileNameLoadsConvertsAndShowsDecoded) {
  // In a folder named in UTF-8, as a tree copied from a DOS disk is: each name decoded in its own encoding.
  const std::string name = "現場/\x90\x7d\x96\xca";  // 図面 in CP932
  std::string path = Drawing(name + ".jwc");
  Start();
  Drop(UriList({path}));
  EXPECT_EQ(form->CurrentFile, path);
  EXPECT_EQ(form->LogText(), dir.File("現場/図面.jwc") + kDrawingSummary);
  fake.SaveAnswers.push_back(dir.File(name + ".jww"));
  form->Button2Click();
  EXPECT_EQ(fake.SaveRequests.back(), dir.File(name + ".jww"));
  EXPECT_EQ(test::ReadFile(dir.File(name + ".jww")), Reference(path));
}

TEST_F(Window, ClosingRemembersTheFolderOnlyWhileTheSwitchAllows) {
  std::string plan = Drawing("sub/plan.jwc");
  Start();
  Open({plan});
  form->close();
  EXPECT_EQ(TIniFile(dir.File("Torvane.ini")).ReadString("data", "dir", "?"), dir.File("sub"));

  // Each start is from the test's folder again, where the settings file lies.
  std::string ini = DefaultSettingsText();
  ini.replace(ini.find("System=1"), 8, "System=0");
  Write("Torvane.ini", ini);
  fs::current_path(dir.Path());
  Start();
  Open({plan});
  form->close();
  EXPECT_EQ(test::ReadFile(dir.File("Torvane.ini")), ini);

  // A file that cannot be written: the box names it, and the window closes all the same.
  Write("Torvane.ini", DefaultSettingsText());
  fs::current_path(dir.Path());
  Start().show();
  {
    test::TFileSizeLimit limit(16);
    ASSERT_TRUE(limit.Ok());
    form->close();
  }
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Error);
  EXPECT_EQ(fake.Boxes[0].Text, dir.File("Torvane.ini") + " に書き込めません.");
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(test::ReadFile(dir.File("Torvane.ini")), DefaultSettingsText());
}

TEST_F(Window, TheFontListToggles) {
  Start();
  fake.Families = {"IPAGothic", "@IPAGothic", "한국어 글꼴", "Noto Sans CJK JP", "ＭＳ 明朝"};
  for (int round = 0; round < 2; ++round) {
    form->BntFontClick();
    ASSERT_EQ(form->CmbJWWfont->count(), 3);
    EXPECT_EQ(form->CmbJWWfont->itemText(0), "IPAGothic");
    EXPECT_EQ(form->CmbJWWfont->itemText(1), "Noto Sans CJK JP");
    EXPECT_EQ(form->CmbJWWfont->itemText(2), "ＭＳ 明朝");
    EXPECT_EQ(form->CmbJWWfont->currentIndex(), 0);
    EXPECT_EQ(form->BntFont->toolTip(), "フォント名を明朝・ゴシックだけに");
    form->BntFontClick();
    ASSERT_EQ(form->CmbJWWfont->count(), 2);
    EXPECT_EQ(form->CmbJWWfont->currentText(), "ＭＳ ゴシック");
    EXPECT_EQ(form->BntFont->toolTip(), "全てのフォント名読込");
  }
  // Two families or fewer: every click asks again.
  fake.Families = {"IPAGothic"};
  form->BntFontClick();
  form->BntFontClick();
  EXPECT_EQ(form->CmbJWWfont->count(), 1);
  EXPECT_EQ(form->BntFont->toolTip(), "フォント名を明朝・ゴシックだけに");
  fake.Families = {};
  form->BntFontClick();
  EXPECT_EQ(form->CmbJWWfont->currentIndex(), -1);

  // A long family name is not cut in the opened list; the box keeps its width.
  const QString longName = "Noto Sans CJK JP Demilight Extra Wide Family Name";
  fake.Families = {"IPAGothic", longName.toStdString(), "ＭＳ 明朝"};
  form->BntFontClick();
  form->show();
  form->CmbJWWfont->showPopup();
  QAbstractItemView* list = form->CmbJWWfont->view();
  EXPECT_GE(list->viewport()->width(), list->fontMetrics().horizontalAdvance(longName));
  EXPECT_EQ(form->CmbJWWfont->width(), 121);
  form->CmbJWWfont->hidePopup();
}

TEST_F(Window, ChooseFolderPreselectsOnlyAnExistingFolder) {
  std::string folder = dir.File("gone");
  fake.FolderAnswers = {std::nullopt, dir.Path().string()};
  EXPECT_FALSE(ChooseFolder(fake, "t", "", folder));
  EXPECT_EQ(fake.FolderRequests[0].Folder, "");
  EXPECT_EQ(folder, "");
  folder = dir.Path().string();
  EXPECT_TRUE(ChooseFolder(fake, "t", "", folder));
  EXPECT_EQ(fake.FolderRequests[1].Folder, dir.Path().string());
  EXPECT_EQ(folder, dir.Path().string());
}

TEST_F(Window, TheLogPaneDropsItsOldestLinesPastTwoMillionCharacters) {
  Start();
  const std::string line(99'999, 'x');
  for (int i = 0; i < 25; ++i) form->AddLog(std::to_string(i % 10) + line);
  std::string log = form->LogText();
  EXPECT_LE(log.size(), 2'000'000u);
  EXPECT_EQ(log.size(), 19 * 100'001u);
  // Lines of 100,000 characters: the last 19 fit.
  EXPECT_EQ(log.substr(0, 1), "6");
  EXPECT_TRUE(log.ends_with("4" + line + "\n"));
}

TEST_F(Window, HelpAndTheAboutBox) {
  Start();
  form->About1Click();
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  QTest::keyClick(form->RichEdit1, Qt::Key_F1);
  EXPECT_EQ(fake.HelpRequests, (std::vector<THelpTopic>{THelpTopic::Contents, THelpTopic::Topic1}));

  form->About2Click();
  EXPECT_TRUE(form->VerForm->isVisible());
  EXPECT_EQ(form->VerForm->windowTitle(), "Torvaneのバージョン情報");
  EXPECT_EQ(form->VerForm->Label2->text(), "Version 0.11");
  form->VerForm->BtnVer->click();
  EXPECT_FALSE(form->VerForm->isVisible());
}

}  // namespace
}  // namespace torvane
