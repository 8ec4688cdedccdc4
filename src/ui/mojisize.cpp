#include "ui/mojisize.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>
#include <cerrno>
#include <optional>

#include "render/painter.h"
#include "settings/inifile.h"
#include "settings/jwf.h"
#include "settings/settings.h"
#include "settings/tenths.h"
#include "support/cp932.h"
#include "support/ioerror.h"
#include "support/shown.h"
#include "support/text.h"

namespace torvane {

namespace {

constexpr char kCaption[] = "JWK→JWS変換用文字設定";
constexpr uint16_t kFieldMax = 65535;

// One column of edits: its heading, the edits' object names, the field they fill, and whether they
// show millimetres of a field in tenths or the field's whole number.
struct TColumn {
  const char* Heading;
  const char* Prefix;
  std::array<QLineEdit*, 10> TFormMoji::*Edits;
  uint16_t TMojiSetting::*Field;
  bool Tenths;
};

// In the order the edits are checked and stored.
constexpr TColumn kColumns[] = {
    {"文字幅", "EdtMW", &TFormMoji::EdtMW, &TMojiSetting::Wide, true},
    {"文字高", "EdtMH", &TFormMoji::EdtMH, &TMojiSetting::High, true},
    {"間隔", "EdtMK", &TFormMoji::EdtMK, &TMojiSetting::Dist, true},
    {"ペンNo.", "EdtMC", &TFormMoji::EdtMC, &TMojiSetting::Pen, false},
};

// "文字種１" … "文字種１０", with full-width digits.
std::string TypeLabel(std::size_t index) {
  std::string label = "文字種";
  for (char digit : std::to_string(index + 1)) label += std::string("\xEF\xBC") + static_cast<char>(0x90 + (digit - '0'));
  return label;
}

std::string TwoDigits(std::size_t number) { return (number < 10 ? "0" : "") + std::to_string(number); }

// The value an edit's text stores; nothing when the text is no number of its column's kind.
std::optional<int64_t> StoredValue(const TColumn& column, const QLineEdit& edit) {
  std::string text = edit.text().toStdString();
  if (column.Tenths) return CeilTenths(text);
  std::optional<int32_t> whole = ParseInt32(text);
  if (!whole) return std::nullopt;
  return *whole;
}

std::string RangeFault(const TColumn& column, std::size_t index) {
  std::string range = column.Tenths ? "0 から " + TenthsText(kFieldMax) + " までの数値" : "0 から " + std::to_string(kFieldMax) + " までの整数";
  return TypeLabel(index) + "の" + column.Heading + "は " + range + "にしてください";
}

std::string BadValueText(const TJwfResult& result) {
  std::string line = std::to_string(result.StopLine) + " 行目";
  if (result.BadText.empty()) return line + "に値がありません";
  return line + "の値 \"" + Cp932ToUtf8(result.BadText) + "\" は整数ではありません";
}

}  // namespace

TFormMoji::TFormMoji(TPlatform& platform, QWidget& mainWindow)
    : TAppBoxes(platform), platform_(platform), mainWindow_(mainWindow) {
  setWindowTitle(kCaption);
  setFont(WindowFont());
  CreateControls();
  FormCreate();
}

void TFormMoji::CreateControls() {
  auto* grid = new QGridLayout;
  for (std::size_t c = 0; c < std::size(kColumns); ++c) {
    grid->addWidget(new QLabel(kColumns[c].Heading, this), 0, static_cast<int>(c) + 1, Qt::AlignCenter);
  }
  grid->addWidget(new QLabel("参考色", this), 0, static_cast<int>(std::size(kColumns)) + 1, Qt::AlignCenter);
  for (std::size_t i = 0; i < Panel.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    grid->addWidget(new QLabel(Q(TypeLabel(i)), this), row, 0);
    for (std::size_t c = 0; c < std::size(kColumns); ++c) {
      auto* edit = new QLineEdit(this);
      edit->setObjectName(Q(kColumns[c].Prefix + TwoDigits(i + 1)));
      edit->setFixedWidth(56);
      edit->setAlignment(Qt::AlignRight);
      (this->*kColumns[c].Edits)[i] = edit;
      grid->addWidget(edit, row, static_cast<int>(c) + 1);
    }
    auto* panel = new QFrame(this);
    panel->setObjectName(Q("Panel" + std::to_string(i + 1)));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    panel->setFixedSize(40, 20);
    Panel[i] = panel;
    grid->addWidget(panel, row, static_cast<int>(std::size(kColumns)) + 1, Qt::AlignCenter);
  }

  auto makeButton = [this](const char* name, const char* text, void (TFormMoji::*click)()) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(name);
    // Enter in an edit presses no button.
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, click);
    return button;
  };
  Btndefault = makeButton("Btndefault", "初期化", &TFormMoji::BtndefaultClick);
  BtnRead = makeButton("BtnRead", "JWF読込", &TFormMoji::BtnReadClick);
  BtnSave = makeButton("BtnSave", "保存", &TFormMoji::BtnSaveClick);
  BtnOK = makeButton("BtnOK", "OK", &TFormMoji::BtnOKClick);
  BtnCancel = makeButton("BtnCancel", "ｷｬﾝｾﾙ", &TFormMoji::BtnCancelClick);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {Btndefault, BtnRead, BtnSave, BtnOK, BtnCancel}) buttons->addWidget(button);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFormMoji::FormCreate() {
  ShowSettings();
  OpenDialog2Filter = {{"JW_CAD環境設定ﾌｧｲﾙ (*.jwf)", "*.jwf"}};
}

void TFormMoji::ShowSettings() {
  for (std::size_t i = 0; i < Panel.size(); ++i) {
    const TMojiSetting& setting = MojiSettings[i];
    for (const TColumn& column : kColumns) {
      uint16_t value = setting.*column.Field;
      (this->*column.Edits)[i]->setText(Q(column.Tenths ? TenthsText(value) : std::to_string(value)));
    }
    // The colour the pen draws in on the screen: white for a pen without a reference colour.
    QPalette palette = Panel[i]->palette();
    palette.setColor(QPalette::Window, PenColorOf(setting.Pen, TRenderStyle{TScheme::Screen, PenColors}));
    Panel[i]->setPalette(palette);
  }
}

bool TFormMoji::ValidateEdits(std::string& fault) const {
  for (const TColumn& column : kColumns) {
    for (std::size_t i = 0; i < Panel.size(); ++i) {
      std::optional<int64_t> value = StoredValue(column, *(this->*column.Edits)[i]);
      if (!value) {
        fault = kNotNumbers;
        return false;
      }
      // A value outside the field would be cut to 16 bits and come back as another number.
      if (*value < 0 || *value > kFieldMax) {
        fault = RangeFault(column, i);
        return false;
      }
    }
  }
  return true;
}

void TFormMoji::StoreEdits() {
  for (const TColumn& column : kColumns) {
    for (std::size_t i = 0; i < Panel.size(); ++i) {
      MojiSettings[i].*column.Field = static_cast<uint16_t>(StoredValue(column, *(this->*column.Edits)[i]).value_or(0));
    }
  }
}

void TFormMoji::LoadDefaults() {
  MojiSettings = DefaultMojiSettings();
  PenColors = DefaultPenColors();
}

bool TFormMoji::TakeEdits() {
  std::string fault;
  if (!ValidateEdits(fault)) {
    ShowInfo(fault);
    return false;
  }
  StoreEdits();
  return true;
}

void TFormMoji::BtnOKClick() {
  if (TakeEdits()) Leave();
}

void TFormMoji::BtnSaveClick() {
  if (!TakeEdits()) return;
  try {
    SaveMojiSettings(SettingsPath(), MojiSettings, PenColors);
  } catch (const TSettingsWriteError& e) {
    // As any error of a command: the box, and the command ends there.
    ShowCannotWrite(e.Path());
    return;
  }
  Leave();
}

void TFormMoji::BtndefaultClick() {
  LoadDefaults();
  ShowSettings();
}

void TFormMoji::BtnReadClick() {
  std::optional<std::vector<std::string>> chosen = platform_.OpenFiles(OpenDialog2Filter);
  if (chosen && !chosen->empty()) {
    EnterFolderOf(chosen->front());
    if (!ImportJwf(chosen->front())) return;
  }
  ShowSettings();
}

bool TFormMoji::ImportJwf(const std::string& path) {
  TJwfResult result = ReadJwfFile(path, MojiSettings, PenColors);
  if (result.Stop == TJwfStop::Unreadable) {
    ShowError(result.Error == EFBIG ? ShownPath(path) + kHugeJwf : TIoError::FromErrno(result.Error, path).Text());
    return false;
  }
  // A file short of key lines is not a JWF file of the DOS edition, whether it is taken or refused.
  if (result.KeyLines < kJwfKeyLinesNeeded) ShowInfo(kNotJwf);
  if (DecideJwf(result) != TJwfDecision::Refuse) return true;
  // A refused import ends as an error does: the values read before the bad one are in force, but
  // the edits keep their text until they are refilled.
  ShowError(BadValueText(result));
  return false;
}

void TFormMoji::BtnCancelClick() { Leave(); }

void TFormMoji::reject() { Leave(); }

void TFormMoji::Leave() {
  mainWindow_.setEnabled(true);
  hide();
}

}  // namespace torvane
