// Paths between Qt's texts and the file system's bytes. File names from DOS archives are often
// Shift-JIS bytes, which are not UTF-8: they are kept as bytes (ShownPath shows them).
#pragma once

#include <QString>
#include <string>
#include <vector>

class QMimeData;

namespace torvane {

// The bytes of a path that Qt gives as text. Qt's own file dialogs list only names that are
// UTF-8; other names reach the window through drops and the command line, as bytes.
std::string LocalPathBytes(const QString& path);

// The whole paths of the local files in a drop (file: URLs of its URI list), as bytes, in order.
std::vector<std::string> DroppedFilePaths(const QMimeData& data);

}  // namespace torvane
