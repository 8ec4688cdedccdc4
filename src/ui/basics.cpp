#include "ui/basics.h"

#include <QStringList>
#include <filesystem>
#include <system_error>

#include "render/painter.h"
#include "support/shown.h"

namespace torvane {

QFont WindowFont() {
  QFont font;
  // The Japanese fonts of a Debian desktop stand in where the Windows font is missing.
  font.setFamilies(JapaneseFontFamilies());
  font.setPixelSize(12);
  return font;
}

void EnterFolderOf(const std::string& path) {
  std::error_code error;
  std::filesystem::current_path(std::filesystem::path(path).parent_path(), error);
}

void TAppBoxes::ShowInfo(const std::string& text) const { boxes_.ShowMessage(PlainBox(kAppTitle, text)); }

void TAppBoxes::ShowError(const std::string& text) const { boxes_.ShowMessage(ErrorBox(kAppTitle, text)); }

void TAppBoxes::ShowCannotWrite(const std::string& path) const { ShowError(ShownPath(path) + " に書き込めません"); }

}  // namespace torvane
