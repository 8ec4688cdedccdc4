// The small pieces around the main window: the font list, the folder chooser, the about box and
// where the help document lies.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "ui/platform.h"

class QLabel;
class QPushButton;

namespace torvane {

// The short font list, in this order.
inline const std::vector<std::string> kShortFontList = {"ＭＳ ゴシック", "ＭＳ 明朝"};
// The hints of the font button: what its next click does.
inline constexpr char kHintAllFonts[] = "全てのフォント名読込";
inline constexpr char kHintShortFonts[] = "フォント名を明朝・ゴシックだけに";

// The full font list from the families the system reports: in their order, without the vertical
// "@" forms and without names that CP932 cannot write (converted texts carry the name in CP932).
std::vector<std::string> FullFontList(const std::vector<std::string>& families);

// The folder browser. A folder that does not exist is not preselected. True when the user chose a
// folder, which is then in folder; on cancel folder keeps what step one left in it.
bool ChooseFolder(TPlatform& platform, const std::string& title, const std::string& root, std::string& folder);

// The help document "Torvane.HLP": beside the program, else in the installed data folder
// (<prefix>/share/torvane beside <prefix>/bin); the first of them that exists, else the one
// beside the program.
std::string HelpFilePath(const std::string& programFolder);

// The about box, created hidden and only shown and hidden afterwards.
class TVerForm : public QDialog {
  Q_OBJECT

 public:
  explicit TVerForm(QWidget* owner);

  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QPushButton* BtnVer = nullptr;

  void BtnVerClick() { hide(); }
};

}  // namespace torvane
