#include "ui/localpaths.h"

#include <QByteArray>
#include <QFile>
#include <QMimeData>
#include <QStringDecoder>
#include <filesystem>
#include <system_error>

#include "support/cp932.h"

namespace torvane {

namespace fs = std::filesystem;

std::string PathForDisplay(const std::string& path) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString decoded = utf8.decode(QByteArrayView(path.data(), static_cast<qsizetype>(path.size())));
  return utf8.hasError() ? Cp932ToUtf8(path) : path;
}

namespace {

std::string Encoded(const QString& text) {
  QByteArray bytes = QFile::encodeName(text);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The entry of folder whose name Qt shows as shown; the shown name's own bytes when none is.
std::string EntryBytes(const std::string& folder, const QString& shown) {
  std::error_code error;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size()))) == shown) return name;
  }
  return Encoded(shown);
}

}  // namespace

std::string LocalPathBytes(const QString& path) {
  if (!path.contains(QChar::ReplacementCharacter)) return Encoded(path);
  std::string bytes = path.startsWith('/') ? "/" : "";
  const QStringList parts = path.split('/', Qt::SkipEmptyParts);
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QString& part = parts[i];
    std::string name = part.contains(QChar::ReplacementCharacter) ? EntryBytes(bytes, part) : Encoded(part);
    bytes += name;
    if (i + 1 < parts.size()) bytes += '/';
  }
  return bytes;
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
