// torvane-thumbnailer -s SIZE INPUT OUTPUT: a PNG picture of a drawing or part, SIZE pixels along
// its long side, for file managers; torvane-thumbnailer --version: its version. Needs no display: it paints on a Qt platform without one.
#include <QGuiApplication>
#include <QSaveFile>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "render/painter.h"
#include "render/picture.h"
#include "render/picturemodule.h"
#include "support/runtimefolder.h"

namespace {

constexpr int kMaxSize = 4096;

int Fail(const std::string& message) {
  std::fprintf(stderr, "torvane-thumbnailer: %s\n", message.c_str());
  return 1;
}

// Why no picture can be made, in the English of the command line.
std::string RefusalText(const torvane::TPictureRefusal& refusal) {
  using TReason = torvane::TPictureRefusal::TReason;
  switch (refusal.Reason) {
    case TReason::NotJwcJwk: return "not a .jwc drawing or .jwk part";
    case TReason::NotDrawing: return "not a JW_CAD drawing";
    case TReason::NotPart: return "not a JW_CAD part";
    case TReason::Unreadable: return std::strerror(refusal.Error);
    case TReason::TooLarge: return "too large to convert";
    case TReason::NothingDrawable: return "it ends before anything that can be drawn";
    case TReason::None: break;
  }
  return "";
}

int Usage() {
  std::fprintf(stderr, "usage: torvane-thumbnailer -s SIZE INPUT OUTPUT.png\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("torvane-thumbnailer %s\n", TORVANE_VERSION);
    return 0;
  }
  if (argc != 5 || std::string(argv[1]) != "-s") return Usage();
  char* end = nullptr;
  long size = std::strtol(argv[2], &end, 10);
  if (end == argv[2] || *end != '\0' || size < 1 || size > kMaxSize) {
    return Fail(std::string("the size must be a number of pixels from 1 to ") + std::to_string(kMaxSize));
  }
  std::string input = argv[3], output = argv[4];

  qputenv("QT_QPA_PLATFORM", torvane::kPaintingPlatform);
  torvane::EnsureRuntimeFolder();  // Qt asks for it; run as root outside a login, none is set
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);

  torvane::TPicture picture(torvane::TPicture::THold::Source);
  torvane::TPictureRefusal refusal;
  if (!picture.Load(input, torvane::TConversionOptions{}, refusal)) return Fail(input + ": " + RefusalText(refusal));
  torvane::TScene scene = picture.Scene();
  torvane::TBoxMm bounds = scene.Bounds();
  QSize along = torvane::PictureSize(bounds, static_cast<int>(size));
  // The long side takes the size: a picture taller than wide is made as tall as asked.
  QSize pixels = along.height() <= along.width()
                     ? along
                     : QSize(std::max(1, static_cast<int>(size * static_cast<long>(along.width()) / along.height())),
                             static_cast<int>(size));
  QImage image = torvane::RenderImage(scene, bounds, pixels, torvane::TRenderStyle{});
  QSaveFile file(QString::fromStdString(output));
  if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
    return Fail(output + ": " + file.errorString().toStdString());
  }
  return 0;
}
