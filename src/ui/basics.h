// What every window of the program stands on: the application's title, the window font, Qt text
// from UTF-8, the folder of a chosen file, and the plain and error boxes. Nothing here knows a
// window, so the dialogs and the Qt platform need not include the main window.
#pragma once

#include <QFont>
#include <QString>
#include <string>

#include "ui/platform.h"

namespace torvane {

// The application's title: the caption of plain and error boxes.
inline constexpr char kAppTitle[] = "Torvane";

// "ＭＳ Ｐゴシック" at 12 pixels, or an installed Japanese font in its place.
QFont WindowFont();

// A UTF-8 text for Qt.
inline QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

// Enters the folder of a file chosen in a file dialog; a folder that cannot be entered is left.
void EnterFolderOf(const std::string& path);

// The boxes a window shows through its platform, captioned with the application's title.
class TAppBoxes {
 public:
  explicit TAppBoxes(TPlatform& platform) : boxes_(platform) {}

  // A plain box with one "OK".
  void ShowInfo(const std::string& text) const;
  // The error box of an input/output error: the runtime's text and the "." rule.
  void ShowError(const std::string& text) const;
  // The error box of a settings file that could not be written, naming it.
  void ShowCannotWrite(const std::string& path) const;

 private:
  TPlatform& boxes_;
};

}  // namespace torvane
