// The character settings dialog: the ten character types that shape conversion gives to texts
// (width, height, spacing, pen) with the reference colour of each type's pen, edited by hand, reset
// to the built-in values, saved into the settings file, or imported from the environment file (JWF)
// of JW_CAD's DOS edition. It works on the global MojiSettings and PenColors.
#pragma once

#include <QColor>
#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "ui/basics.h"
#include "ui/platform.h"

class QFrame;
class QLineEdit;
class QPushButton;

namespace torvane {

inline constexpr char kNotNumbers[] = "数字以外の文字が使われています";
inline constexpr char kNotJwf[] = "JW_CAD(DOS版)用JWFファイルではありません。";
inline constexpr char kHugeJwf[] = "は、\r\n1 MiB を超える大きさで、JWF ファイルではありません";

class TFormMoji : public QDialog, private TAppBoxes {
  Q_OBJECT

 public:
  // Created once, hidden, after the settings are read (FormCreate). mainWindow is the window that
  // its menu command disables while the dialog is shown; every way of leaving enables it again.
  TFormMoji(TPlatform& platform, QWidget& mainWindow);

  // Index n - 1 belongs to character type n: EdtMW01 … EdtMW10 (width, mm), EdtMH (height, mm),
  // EdtMK (spacing, mm), EdtMC (pen number), Panel1 … Panel10 (the pen's reference colour).
  std::array<QLineEdit*, 10> EdtMW{};
  std::array<QLineEdit*, 10> EdtMH{};
  std::array<QLineEdit*, 10> EdtMK{};
  std::array<QLineEdit*, 10> EdtMC{};
  std::array<QFrame*, 10> Panel{};
  QPushButton* Btndefault = nullptr;
  QPushButton* BtnRead = nullptr;
  QPushButton* BtnSave = nullptr;
  QPushButton* BtnOK = nullptr;
  QPushButton* BtnCancel = nullptr;
  // The filter of the JWF open dialog.
  std::vector<TFileFilter> OpenDialog2Filter;

  // Fills the 40 edits and the 10 panels from the tables.
  void ShowSettings();
  // True when every edit holds a number whose stored value fits its 16-bit field; otherwise
  // fault says what is wrong with the first edit that does not (widths, heights, spacings, pens).
  bool ValidateEdits(std::string& fault) const;
  // Takes the edits into MojiSettings: sizes as the ceiling of ten times the millimetres.
  void StoreEdits();
  // Sets MojiSettings and PenColors to the built-in values.
  void LoadDefaults();

  void BtnOKClick();
  void BtnSaveClick();
  void BtndefaultClick();
  void BtnReadClick();
  void BtnCancelClick();

 protected:
  // Esc and closing the window (FormClose) leave it as Cancel does.
  void reject() override;

 private:
  void CreateControls();
  void FormCreate();
  // Enables the main window and hides the dialog.
  void Leave();
  // Checks the edits and stores them into the table; a fault is shown and nothing is stored.
  bool TakeEdits();
  // Reads the JWF file into the tables and reports what the import refused; false when it ended in
  // an error (a file that cannot be read, a value that is not a whole number).
  bool ImportJwf(const std::string& path);

  TPlatform& platform_;
  QWidget& mainWindow_;
};

}  // namespace torvane
