#include "ui/localpaths.h"

#include <QByteArray>
#include <QFile>
#include <QMimeData>

namespace torvane {

std::string LocalPathBytes(const QString& path) {
  QByteArray bytes = QFile::encodeName(path);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::vector<std::string> DroppedFilePaths(const QMimeData& data) {
  std::vector<std::string> paths;
  const QList<QByteArray> lines = data.data("text/uri-list").split('\n');
  for (QByteArray line : lines) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith('#') || !line.startsWith("file://")) continue;
    // file://host/path: the host is empty or "localhost" for local files.
    QByteArray rest = line.mid(7);
    qsizetype slash = rest.indexOf('/');
    if (slash < 0) continue;
    QByteArray host = rest.left(slash);
    if (!host.isEmpty() && host != "localhost") continue;
    QByteArray path = QByteArray::fromPercentEncoding(rest.mid(slash));
    paths.emplace_back(path.constData(), static_cast<std::size_t>(path.size()));
  }
  return paths;
}

}  // namespace torvane
