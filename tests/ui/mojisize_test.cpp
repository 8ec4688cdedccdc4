// The character settings dialog, opened from the main window's menu and answered through the
// scripted desktop: edits in millimetres, checks, defaults, save, the JWF import, and the main
// window held still while the dialog is shown.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

#include "builder/filebuilder.h"
#include "builder/jwkbuilder.h"
#include "cli/convertcli.h"
#include "fakeplatform.h"
#include "settings/inifile.h"
#include "settings/settings.h"
#include "settings/tenths.h"
#include "test_util.h"
#include "render/painter.h"
#include "ui/mojisize.h"
#include "ui/unit1.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using B = TBoxButton;

const std::string kFiveLines =
    "LCOLLOR = 1 2 3 4 5 6\n"
    "MPEN = 6 5 4 3 2 1 6 5 4 3\n"
    "MWIDE = 11 12 13 14 15 16 17 18 19 20\n"
    "MHIGH = 21 22 23 24 25 26 27 28 29 30\n"
    "MDIST = 1 2 3 4 5 6 7 8 9 10\n";

// The types kFiveLines sets.
TMojiSettingsTable FiveLinesTypes() {
  TMojiSettingsTable moji;
  const uint16_t pens[] = {6, 5, 4, 3, 2, 1, 6, 5, 4, 3};
  for (uint16_t i = 0; i < 10; ++i) moji[i] = {pens[i], uint16_t(11 + i), uint16_t(21 + i), uint16_t(1 + i)};
  return moji;
}

class MojiDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(dir.Path());
    form = std::make_unique<TForm1>(fake, std::vector<std::string>{});
    form->show();
    dialog = form->FormMoji;
  }
  void TearDown() override {
    form.reset();
    fs::current_path(previous_);
  }

  void Open() {
    form->moji1->trigger();
    ASSERT_TRUE(dialog->isVisible());
    ASSERT_FALSE(form->isEnabled());
  }
  bool Left() const { return !dialog->isVisible() && form->isEnabled(); }
  // The dialog's texts of type n's row: width, height, spacing, pen.
  std::vector<QString> Row(std::size_t n) const {
    return {dialog->EdtMW[n - 1]->text(), dialog->EdtMH[n - 1]->text(), dialog->EdtMK[n - 1]->text(),
            dialog->EdtMC[n - 1]->text()};
  }
  QColor PanelColor(std::size_t n) const { return dialog->Panel[n - 1]->palette().color(QPalette::Window); }
  // Chooses the file in the JWF import's open dialog.
  void Import(const std::string& name, const std::string& text) {
    fs::create_directories(dir.File("env"));
    test::WriteFile(dir.File("env/" + name), text);
    fake.OpenAnswers.push_back(std::vector<std::string>{dir.File("env/" + name)});
    QTest::mouseClick(dialog->BtnRead, Qt::LeftButton);
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const TMessageBox& box : fake.Boxes) texts.push_back(box.Text);
    return texts;
  }

  test::TTempDir dir;
  test::TFakePlatform fake;
  std::unique_ptr<TForm1> form;
  TFormMoji* dialog = nullptr;

 private:
  fs::path previous_;
};

TEST_F(MojiDialog, ShowsTheTypesInMillimetresUnderItsNamesAndHeadings) {
  EXPECT_EQ(dialog->windowTitle(), "JWK→JWS変換用文字設定");
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(form->moji1->text(), "JWS用文字設定(&M)");
  EXPECT_EQ(dialog->findChild<QLineEdit*>("EdtMW01"), dialog->EdtMW[0]);
  EXPECT_EQ(dialog->findChild<QLineEdit*>("EdtMC10"), dialog->EdtMC[9]);
  EXPECT_EQ(dialog->findChild<QFrame*>("Panel10"), dialog->Panel[9]);
  std::vector<QString> labels;
  for (QLabel* label : dialog->findChildren<QLabel*>()) labels.push_back(label->text());
  for (const char* text : {"文字種１", "文字種１０", "文字幅", "文字高", "間隔", "ペンNo.", "参考色"}) {
    EXPECT_NE(std::find(labels.begin(), labels.end(), QString(text)), labels.end()) << text;
  }
  std::vector<QString> buttons;
  for (QPushButton* button : {dialog->Btndefault, dialog->BtnRead, dialog->BtnSave, dialog->BtnOK, dialog->BtnCancel}) {
    buttons.push_back(button->text());
  }
  EXPECT_EQ(buttons, (std::vector<QString>{"初期化", "JWF読込", "保存", "OK", "ｷｬﾝｾﾙ"}));

  EXPECT_EQ(Row(1), (std::vector<QString>{"2", "2", "0", "1"}));
  EXPECT_EQ(Row(2), (std::vector<QString>{"2.5", "2.5", "0", "1"}));
  EXPECT_EQ(Row(10), (std::vector<QString>{"10", "10", "1", "1"}));
  // Pen 3 of type 5 has the reference colour 4 by default: green.
  EXPECT_EQ(PanelColor(5), QColor(0, 128, 0));
}

TEST_F(MojiDialog, PanelsShowTheReferenceColourOfEachPen) {
  PenColors = {0, 1, 2, 3, 6, 200};
  for (uint16_t i = 0; i < 10; ++i) MojiSettings[i].Pen = i;  // 0 and 7 to 9 have no colour
  dialog->ShowSettings();
  const QColor expected[] = {Qt::white, {0, 0, 0}, {0, 0, 255}, {255, 0, 0}, {128, 0, 128}, {255, 255, 0},
                             Qt::white, Qt::white, Qt::white, Qt::white};
  for (std::size_t n = 1; n <= 10; ++n) EXPECT_EQ(PanelColor(n), expected[n - 1]) << "type " << n;
  EXPECT_EQ(ReferenceColor(5), QColor(0, 255, 255));
  EXPECT_EQ(ReferenceColor(7), QColor(255, 255, 255));
}

TEST_F(MojiDialog, OkStoresTheCeilingOfTenthsOrRefusesWithoutStoringAnything) {
  struct {
    std::array<QLineEdit*, 10> TFormMoji::*edits;
    uint16_t TMojiSetting::*field;
    std::size_t type;
    const char* text;
    int stored;         // -1: refused
    const char* shown;  // after storing, or the message of the refusal
  } cases[] = {
      {&TFormMoji::EdtMW, &TMojiSetting::Wide, 1, "2.5", 25, "2.5"},
      {&TFormMoji::EdtMW, &TMojiSetting::Wide, 1, "2.51", 26, "2.6"},
      {&TFormMoji::EdtMH, &TMojiSetting::High, 10, "6553.5", 65535, "6553.5"},
      {&TFormMoji::EdtMK, &TMojiSetting::Dist, 3, " 0.04", 1, "0.1"},
      {&TFormMoji::EdtMC, &TMojiSetting::Pen, 4, "$A", 10, "10"},
      {&TFormMoji::EdtMC, &TMojiSetting::Pen, 4, "2.0", -1, "数字以外の文字が使われています"},
      {&TFormMoji::EdtMW, &TMojiSetting::Wide, 2, "2,5", -1, "数字以外の文字が使われています"},
      {&TFormMoji::EdtMK, &TMojiSetting::Dist, 7, "", -1, "数字以外の文字が使われています"},
      {&TFormMoji::EdtMW, &TMojiSetting::Wide, 1, "7000", -1, "文字種１の文字幅は 0 から 6553.5 までの数値にしてください"},
      {&TFormMoji::EdtMH, &TMojiSetting::High, 10, "6553.51", -1, "文字種１０の文字高は 0 から 6553.5 までの数値にしてください"},
      {&TFormMoji::EdtMK, &TMojiSetting::Dist, 3, "-0.5", -1, "文字種３の間隔は 0 から 6553.5 までの数値にしてください"},
      {&TFormMoji::EdtMC, &TMojiSetting::Pen, 9, "65536", -1, "文字種９のペンNo.は 0 から 65535 までの整数にしてください"},
      {&TFormMoji::EdtMC, &TMojiSetting::Pen, 9, "-1", -1, "文字種９のペンNo.は 0 から 65535 までの整数にしてください"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    MojiSettings = DefaultMojiSettings();
    dialog->ShowSettings();
    Open();
    fake.Boxes.clear();
    // Another edit changed as well: a refusal stores neither.
    dialog->EdtMW[5]->setText("9.9");
    QLineEdit* edit = (dialog->*c.edits)[c.type - 1];
    edit->setText(c.text);
    QTest::mouseClick(dialog->BtnOK, Qt::LeftButton);
    if (c.stored < 0) {
      EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.shown});
      EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Plain);
      EXPECT_EQ(fake.Boxes[0].Caption, "Torvane");
      EXPECT_EQ(MojiSettings, DefaultMojiSettings());
      EXPECT_TRUE(dialog->isVisible());
      EXPECT_FALSE(form->isEnabled());
      QTest::mouseClick(dialog->BtnCancel, Qt::LeftButton);
      continue;
    }
    EXPECT_TRUE(fake.Boxes.empty());
    EXPECT_TRUE(Left());
    EXPECT_EQ(MojiSettings[5].Wide, 99);
    EXPECT_EQ(MojiSettings[c.type - 1].*c.field, c.stored);
    dialog->ShowSettings();
    EXPECT_EQ(edit->text(), c.shown);
  }
}

TEST_F(MojiDialog, DefaultsTakeEffectAtOnceAndCancelKeepsThem) {
  MojiSettings[0] = {6, 1, 2, 3};
  PenColors = {};
  dialog->ShowSettings();
  Open();
  QTest::mouseClick(dialog->Btndefault, Qt::LeftButton);
  EXPECT_EQ(Row(1), (std::vector<QString>{"2", "2", "0", "1"}));
  dialog->EdtMW[0]->setText("4.5");
  QTest::mouseClick(dialog->BtnCancel, Qt::LeftButton);
  EXPECT_TRUE(Left());
  EXPECT_EQ(MojiSettings, DefaultMojiSettings());
  EXPECT_EQ(PenColors, DefaultPenColors());
  // The edits keep what was typed; showing the dialog again does not refill them.
  Open();
  EXPECT_EQ(dialog->EdtMW[0]->text(), "4.5");
}

TEST_F(MojiDialog, SaveWritesTheFiveSectionsOnlyWhileTheSwitchAllows) {
  const std::string ini = dir.File("Torvane.ini");
  Open();
  dialog->EdtMW[0]->setText("3.5");
  dialog->EdtMC[9]->setText("6");
  QTest::mouseClick(dialog->BtnSave, Qt::LeftButton);
  EXPECT_TRUE(Left());
  EXPECT_TRUE(fake.Boxes.empty());
  TMojiSettingsTable expected = DefaultMojiSettings();
  expected[0].Wide = 35;
  expected[9].Pen = 6;
  EXPECT_EQ(MojiSettings, expected);
  std::string text = DefaultSettingsText();
  text.replace(text.find("Pen10=1\r\n\r\n[MojiWide]"), 7, "Pen10=6");
  text.replace(text.find("[MojiWide]\r\nPen01=20"), 20, "[MojiWide]\r\nPen01=35");
  EXPECT_EQ(test::ReadFile(ini), text);
  // What Save wrote is what the command line converts with.
  EXPECT_EQ(ReadMojiSettings(TIniFile(ini).Read()), expected);

  std::string off = DefaultSettingsText();
  off.replace(off.find("System=1"), 8, "System=0");
  test::WriteFile(ini, off);
  Open();
  dialog->EdtMW[0]->setText("4");
  QTest::mouseClick(dialog->BtnSave, Qt::LeftButton);
  EXPECT_TRUE(Left());
  EXPECT_EQ(MojiSettings[0].Wide, 40);
  EXPECT_EQ(test::ReadFile(ini), off);

  // A refused edit saves nothing and stays open.
  test::WriteFile(ini, DefaultSettingsText());
  Open();
  dialog->EdtMH[2]->setText("abc");
  QTest::mouseClick(dialog->BtnSave, Qt::LeftButton);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"数字以外の文字が使われています"});
  EXPECT_EQ(test::ReadFile(ini), DefaultSettingsText());
  EXPECT_FALSE(Left());
}

TEST_F(MojiDialog, ASaveThatCannotBeWrittenEndsWithTheErrorAndTheDialogOpen) {
  const std::string ini = dir.File("Torvane.ini");
  Open();
  dialog->EdtMW[0]->setText("3.5");
  {
    test::TFileSizeLimit limit(16);
    ASSERT_TRUE(limit.Ok());
    QTest::mouseClick(dialog->BtnSave, Qt::LeftButton);
  }
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Error);
  EXPECT_EQ(fake.Boxes[0].Text, ini + " に書き込めません.");
  EXPECT_EQ(test::ReadFile(ini), DefaultSettingsText());
  EXPECT_EQ(MojiSettings[0].Wide, 35);
  EXPECT_FALSE(Left());
}

struct TImportCase {
  const char* Name;
  std::string Text;
  std::vector<std::string> Boxes;
  TMojiSettingsTable Moji;
  TPenColors Colors;
};

// The pens of kFiveLines and its first two widths, then a fault.
TMojiSettingsTable TakenUpToAFault() {
  TMojiSettingsTable moji = DefaultMojiSettings();
  for (std::size_t i = 0; i < moji.size(); ++i) moji[i].Pen = FiveLinesTypes()[i].Pen;
  moji[0].Wide = 11;
  moji[1].Wide = 12;
  return moji;
}

TEST_F(MojiDialog, ImportsAJwfFileAsTheDosEditionWroteIt) {
  const std::string notJwf = "JW_CAD(DOS版)用JWFファイルではありません。";
  const TPenColors colors = {1, 2, 3, 4, 5, 6};
  const TImportCase cases[] = {
      {"FiveLines", kFiveLines, {}, FiveLinesTypes(), colors},
      {"LcollorAfterMdist", kFiveLines.substr(22) + kFiveLines.substr(0, 22), {notJwf}, FiveLinesTypes(),
       DefaultPenColors()},
      {"DigitsWithoutBlanks", "LCOLLOR=123456\r\nMPEN=6543216543\r\n" + kFiveLines.substr(kFiveLines.find("MWIDE")),
       {}, FiveLinesTypes(), colors},
      {"CommentedKey", "# MWIDE = 1 1 1 1 1 1 1 1 1 1\n" + kFiveLines, {}, FiveLinesTypes(), colors},
      {"Tabs",
       "LCOLLOR\t=\t1\t2\t3\t4\t5\t6\nMPEN = 6 5 4 3 2 1 6 5 4 3\nMWIDE = 11\t12\t13\t14\t15\t16\t17\t18\t19\t20\n"
       "MHIGH =\t21 22\t 23 24 25 26 27 28 29\t30\nMDIST = 1 2 3 4 5 6 7 8 9 10\r\n\x1A",
       {}, FiveLinesTypes(), colors},
      {"OtherFile", "[Header]\nSystem=1\n", {notJwf}, DefaultMojiSettings(), DefaultPenColors()},
      {"BadValue", "LCOLLOR = 1 2 3 4 5 6\nMPEN = 6 5 4 3 2 1 6 5 4 3\nMWIDE = 11 12 1,3 14\n",
       {notJwf, "3 行目の値 \"1,3\" は整数ではありません."}, TakenUpToAFault(), colors},
  };
  for (const TImportCase& c : cases) {
    SCOPED_TRACE(c.Name);
    MojiSettings = DefaultMojiSettings();
    PenColors = DefaultPenColors();
    dialog->ShowSettings();
    Open();
    fake.Boxes.clear();
    dialog->EdtMW[0]->setText("8");
    Import("env.jwf", c.Text);
    EXPECT_EQ(fake.OpenRequests.back().size(), 1u);
    EXPECT_EQ(fake.OpenRequests.back()[0].Label, "JW_CAD環境設定ﾌｧｲﾙ (*.jwf)");
    EXPECT_EQ(fake.OpenRequests.back()[0].Pattern, "*.jwf");
    EXPECT_EQ(fs::current_path(), dir.Path() / "env");
    EXPECT_EQ(BoxTexts(), c.Boxes);
    if (c.Boxes.size() == 2) {
      EXPECT_EQ(fake.Boxes[1].Kind, TBoxKind::Error);
    }

    EXPECT_EQ(MojiSettings, c.Moji);
    EXPECT_EQ(PenColors, c.Colors);
    // The edits show the tables after an import, refused or not; an import that ended in an error
    // leaves them as they were. The dialog stays open.
    bool endedInError = c.Boxes.size() == 2;
    EXPECT_EQ(dialog->EdtMW[0]->text(), endedInError ? "8" : QString::fromStdString(TenthsText(c.Moji[0].Wide)));
    EXPECT_EQ(dialog->EdtMC[0]->text(), QString::number(endedInError ? DefaultMojiSettings()[0].Pen : c.Moji[0].Pen));
    EXPECT_TRUE(dialog->isVisible());
    QTest::mouseClick(dialog->BtnCancel, Qt::LeftButton);
    fs::current_path(dir.Path());
  }
}

TEST_F(MojiDialog, ImportCancelledOrUnreadable) {
  Open();
  dialog->EdtMW[0]->setText("8");
  QTest::mouseClick(dialog->BtnRead, Qt::LeftButton);  // the open dialog is cancelled
  EXPECT_TRUE(fake.Boxes.empty());
  EXPECT_EQ(dialog->EdtMW[0]->text(), "2");
  EXPECT_EQ(MojiSettings, DefaultMojiSettings());

  fs::create_directories(dir.File("env.jwf"));
  fake.OpenAnswers.push_back(std::vector<std::string>{dir.File("env.jwf")});
  QTest::mouseClick(dialog->BtnRead, Qt::LeftButton);
  ASSERT_EQ(fake.Boxes.size(), 1u);
  EXPECT_EQ(fake.Boxes[0].Kind, TBoxKind::Error);
  EXPECT_EQ(MojiSettings, DefaultMojiSettings());
  dialog->EdtMW[0]->setText("8");
  fake.OpenAnswers.push_back(std::vector<std::string>{dir.File("env.jwf")});
  QTest::mouseClick(dialog->BtnRead, Qt::LeftButton);
  EXPECT_EQ(dialog->EdtMW[0]->text(), "8");  // an import that ended in an error refills nothing

  // A file past the bound is named, never read (a gigabyte of memory for a sparse file).
  test::WriteFile(dir.File("huge.jwf"), "");
  fs::resize_file(dir.File("huge.jwf"), std::uintmax_t{1} << 30);
  fake.OpenAnswers.push_back(std::vector<std::string>{dir.File("huge.jwf")});
  QTest::mouseClick(dialog->BtnRead, Qt::LeftButton);
  ASSERT_EQ(fake.Boxes.size(), 3u);
  EXPECT_EQ(fake.Boxes[2].Kind, TBoxKind::Error);
  EXPECT_EQ(fake.Boxes[2].Text, dir.File("huge.jwf") + "は、\r\n1 MiB を超える大きさで、JWF ファイルではありません.");
  EXPECT_EQ(MojiSettings, DefaultMojiSettings());
}

TEST_F(MojiDialog, TheMainWindowAnswersNothingUntilTheDialogIsLeft) {
  using TLeave = std::function<void(TFormMoji&)>;
  const std::pair<const char*, TLeave> ways[] = {
      {"OK", [](TFormMoji& d) { QTest::mouseClick(d.BtnOK, Qt::LeftButton); }},
      {"Save", [](TFormMoji& d) { QTest::mouseClick(d.BtnSave, Qt::LeftButton); }},
      {"Cancel", [](TFormMoji& d) { QTest::mouseClick(d.BtnCancel, Qt::LeftButton); }},
      {"Close", [](TFormMoji& d) { d.close(); }},
      {"Esc", [](TFormMoji& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
  };
  for (const auto& [name, leave] : ways) {
    SCOPED_TRACE(name);
    Open();
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    EXPECT_TRUE(fake.OpenRequests.empty());
    EXPECT_TRUE(fake.Boxes.empty());
    // The menu bar opens no menu, and the window does not close.
    QTest::mouseClick(form->menuBar(), Qt::LeftButton, {}, form->menuBar()->actionGeometry(form->menuBar()->actions()[0]).center());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());

    leave(*dialog);
    EXPECT_TRUE(Left());
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"jwc/jwkファイルを先に開いてください"});
    fake.Boxes.clear();
  }
}

TEST_F(MojiDialog, ConversionsAfterwardsUseTheEditedTypes) {
  test::TJwkBuilder b;
  for (uint8_t type = 1; type <= 10; ++type) b.AddText({0, float(type), 10, float(type), 0, 0, type}, "abc");
  test::WriteFile(dir.File("a.jwk"), b.Build());
  test::WriteFile(dir.File("b.jwk"), b.Build());
  fs::create_directories(dir.File("out"));

  Open();
  Import("env.jwf", kFiveLines);
  dialog->EdtMW[0]->setText("2.51");
  QTest::mouseClick(dialog->BtnOK, Qt::LeftButton);
  ASSERT_TRUE(Left());
  TMojiSettingsTable edited = FiveLinesTypes();
  edited[0].Wide = 26;
  ASSERT_EQ(MojiSettings, edited);

  test::WriteFile(dir.File("types.ini"), DefaultSettingsText());
  SaveMojiSettings(dir.File("types.ini"), edited, DefaultPenColors());
  std::ostringstream out, err;
  ASSERT_EQ(RunConvertCommand({"--quiet", "--settings", dir.File("types.ini"), "-o", dir.File("cli.jws"), dir.File("a.jwk")},
                              out, err),
            0)
      << err.str();
  const std::string reference = test::ReadFile(dir.File("cli.jws"));

  fake.OpenAnswers.push_back(std::vector<std::string>{dir.File("a.jwk")});
  form->Button1Click();
  fake.SaveAnswers.push_back(dir.File("single.jws"));
  form->Button2Click();
  EXPECT_EQ(test::ReadFile(dir.File("single.jws")), reference);

  fake.OpenAnswers.push_back(std::vector<std::string>{dir.File("a.jwk"), dir.File("b.jwk")});
  form->Button1Click();
  fake.FolderAnswers.push_back(dir.File("out"));
  form->Button2Click();
  EXPECT_EQ(test::ReadFile(dir.File("out/a.jws")), reference);
  EXPECT_EQ(test::ReadFile(dir.File("out/b.jws")), reference);
}

}  // namespace
}  // namespace torvane
