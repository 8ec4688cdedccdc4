#include "render/picturemodule.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <type_traits>

#include "render/outputs.h"

extern "C" __attribute__((visibility("default"))) void* torvane_start_pictures(int& argc, char** argv,
                                                                              const std::vector<std::string>& args) {
  // Pictures paint texts with Qt's fonts, which need an application; no display is used.
  if (!torvane::ArgumentsPaint(args)) return nullptr;
  auto* application = new QGuiApplication(argc, argv);
  // Qt reads the system's fonts at their first use: here, while the program reads its input.
  QFontDatabase::families();
  return application;
}

extern "C" __attribute__((visibility("default"))) void torvane_stop_pictures(void* application) {
  delete static_cast<QGuiApplication*>(application);
}

extern "C" __attribute__((visibility("default"))) torvane::TOutputWriter torvane_picture_writer(std::string_view kind) {
  return torvane::PictureWriter(kind);
}

// The signatures the loading program expects.
static_assert(std::is_same_v<decltype(&torvane_start_pictures), torvane::TStartPictures>);
static_assert(std::is_same_v<decltype(&torvane_stop_pictures), torvane::TStopPictures>);
static_assert(std::is_same_v<decltype(&torvane_picture_writer), torvane::TPictureWriterOf>);
