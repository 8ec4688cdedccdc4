#include "render/picturemodule.h"

#include <QGuiApplication>
#include <type_traits>

#include "render/outputs.h"
#include "support/runtimefolder.h"

extern "C" __attribute__((visibility("default"))) void* torvane_start_pictures(int& argc, char** argv,
                                                                              const std::vector<std::string>& args) {
  torvane::RegisterPictureOutputs();
  if (!torvane::ArgumentsPaint(args)) return nullptr;
  // Pictures paint texts with Qt's fonts, which need an application; no display is used.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  torvane::EnsureRuntimeFolder();  // Qt asks for one; run as root outside a login, none is set
  return new QGuiApplication(argc, argv);
}

extern "C" __attribute__((visibility("default"))) void torvane_stop_pictures(void* application) {
  delete static_cast<QGuiApplication*>(application);
}

// The signatures the loading program expects.
static_assert(std::is_same_v<decltype(&torvane_start_pictures), torvane::TStartPictures>);
static_assert(std::is_same_v<decltype(&torvane_stop_pictures), torvane::TStopPictures>);
