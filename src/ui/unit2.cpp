#include "ui/unit2.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "support/cp932.h"
#include "ui/basics.h"

namespace torvane {

namespace fs = std::filesystem;

std::vector<std::string> FullFontList(const std::vector<std::string>& families) {
  std::vector<std::string> names;
  for (const std::string& family : families) {
    if (family.empty() || family.front() == '@' || !Utf8ToCp932(family)) continue;
    names.push_back(family);
  }
  return names;
}

bool ChooseFolder(TPlatform& platform, const std::string& title, const std::string& root, std::string& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) folder.clear();
  std::optional<std::string> chosen = platform.BrowseFolder(title, root, folder);
  if (!chosen) return false;
  folder = *chosen;
  return true;
}

std::string HelpFilePath(const std::string& programFolder) {
  const fs::path beside = fs::path(programFolder) / "Torvane.HLP";
  const fs::path installed = fs::path(programFolder) / ".." / "share" / "torvane" / "Torvane.HLP";
  std::error_code error;
  if (!fs::exists(beside, error) && fs::exists(installed, error)) return installed.lexically_normal().string();
  return beside.string();
}

namespace {

QLabel* MakeLabel(QWidget* owner, const char* text, const QRect& place, int pixels, bool bold = false) {
  auto* label = new QLabel(text, owner);
  QFont font = owner->font();
  font.setPixelSize(pixels);
  font.setBold(bold);
  label->setFont(font);
  // The place given, grown where the installed font needs more room than the Windows one did.
  label->setGeometry(place.united(QRect(place.topLeft(), label->sizeHint())));
  return label;
}

}  // namespace

TVerForm::TVerForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint) {
  setWindowTitle("Torvaneのバージョン情報");
  setFont(WindowFont());
  move(370, 260);
  Label1 = MakeLabel(this, "Torvane", QRect(16, 8, 129, 27), 27, true);
  Label2 = MakeLabel(this, "Version 0.11", QRect(160, 24, 71, 13), 13);
  Label3 = MakeLabel(this, "Copyright (C) 2026 Torvane developers", QRect(16, 48, 209, 13), 13);
  Label4 = MakeLabel(this, "JW_CADファイル変換", QRect(16, 72, 107, 13), 13);
  BtnVer = new QPushButton("OK", this);
  BtnVer->setGeometry(184, 72, 57, 25);
  connect(BtnVer, &QPushButton::clicked, this, &TVerForm::BtnVerClick);
  // 266 × 133 outside, less the frame and title bar; wider when a label needs it.
  setFixedSize(std::max(258, childrenRect().right() + 9), 106);
}

}  // namespace torvane
