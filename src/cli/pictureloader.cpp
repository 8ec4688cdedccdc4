#include "cli/pictureloader.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "cli/messages.h"
#include "support/runtimefolder.h"

namespace torvane {
namespace {

// The loader whose module the standing-in writers wait for: one a process.
TPictureLoader* theLoader = nullptr;

// The writer standing in for the kind at index I of the table of output kinds.
template <std::size_t I>
void StandIn(TByteSink& sink, const TConverted& converted, const TConversionOptions& options) {
  theLoader->Write(OutputKinds()[I].Name, sink, converted, options);
}

template <std::size_t... I>
constexpr std::array<TOutputWriter, sizeof...(I)> StandIns(std::index_sequence<I...>) {
  return {StandIn<I>...};
}
// More than the table holds.
constexpr auto kStandIns = StandIns(std::make_index_sequence<8>());

// The module as installed beside this program: the way from the program's folder to it is the
// same in the build tree and wherever the package is installed. Empty when the program cannot find
// itself (error says why): a way taken from the working folder instead would load whatever lies there.
std::string ModulePath(int& error) {
  char self[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", self, sizeof self);
  if (length <= 0) {
    error = length < 0 ? errno : ENOENT;
    return "";
  }
  if (static_cast<std::size_t>(length) >= sizeof self || self[0] != '/') {
    error = ENAMETOOLONG;
    return "";
  }
  std::string program(self, static_cast<std::size_t>(length));
  std::string folder = program.substr(0, program.find_last_of('/') + 1);
  return std::filesystem::path(folder + TORVANE_PICTURE_MODULE).lexically_normal().string();
}

}  // namespace

TPictureLoader::~TPictureLoader() {
  if (!thread_.joinable()) return;
  std::unique_lock lock(mutex_);
  ending_ = true;
  changed_.notify_all();
  changed_.wait(lock, [this] { return ended_; });
  // The thread is Qt's main thread, parked until the process ends (see Load).
  thread_.detach();
  theLoader = nullptr;
}

bool TPictureLoader::LoadFor(const std::vector<std::string>& args, int& argc, char** argv, std::string& why) {
  std::span<const TOutputKind> kinds = OutputKinds();
  bool wanted = false;
  for (const std::string& name : KindsNamedBy(args)) {
    const TOutputKind* kind = FindOutputKind(name);
    wanted |= kind != nullptr && kind->Writer == nullptr;
  }
  if (!wanted) return true;
  int error = 0;
  std::string path = ModulePath(error);
  if (path.empty()) {
    why = "/proc/self/exe: " + std::string(std::strerror(error));
    return false;
  }
  // Set here, before a second thread runs: the environment is no place for two at once. Qt asks
  // for a runtime folder, and paints without a display.
  setenv("QT_QPA_PLATFORM", kPaintingPlatform, 1);
  EnsureRuntimeFolder();
  theLoader = this;
  caller_ = std::this_thread::get_id();
  try {
    thread_ = std::thread([this, path, &argc, argv, args] { Load(path, argc, argv, args); });
  } catch (const std::system_error& e) {
    theLoader = nullptr;
    why = e.what();
    return false;
  }
  for (std::size_t i = 0; i < kinds.size() && i < kStandIns.size(); ++i) {
    if (kinds[i].Writer == nullptr) SetOutputWriter(kinds[i].Name, kStandIns[i]);
  }
  return true;
}

void TPictureLoader::Load(const std::string& path, int& argc, char** argv, const std::vector<std::string>& args) {
  void* application = nullptr;
  std::string failure;
  // Never unloaded: its writers are called until the process ends.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto start = module == nullptr ? nullptr : reinterpret_cast<TStartPictures>(dlsym(module, kStartPicturesSymbol));
  auto stop = module == nullptr ? nullptr : reinterpret_cast<TStopPictures>(dlsym(module, kStopPicturesSymbol));
  auto writerOf = module == nullptr ? nullptr : reinterpret_cast<TPictureWriterOf>(dlsym(module, kPictureWriterSymbol));
  if (start == nullptr || stop == nullptr || writerOf == nullptr) {
    // The loader's reason names the module.
    const char* reason = dlerror();
    failure = reason != nullptr ? reason : path;
  } else {
    try {
      application = start(argc, argv, args);
    } catch (const std::exception& e) {
      failure = e.what();
    }
  }
  std::unique_lock lock(mutex_);
  loaded_ = true;
  failure_ = failure;
  writerOf_ = failure.empty() ? writerOf : nullptr;
  changed_.notify_all();
  changed_.wait(lock, [this] { return ending_; });
  if (application != nullptr) stop(application);
  ended_ = true;
  changed_.notify_all();
  lock.unlock();
  // Qt, loaded here, took this thread for its main thread: its data of the thread must outlive
  // Qt's own ending at the process's exit, or that ending works on freed memory.
  for (;;) pause();
}

void TPictureLoader::Write(std::string_view kind, TByteSink& sink, const TConverted& converted,
                           const TConversionOptions& options) {
  TOutputWriter writer = nullptr;
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return loaded_; });
    if (writerOf_ != nullptr) writer = writerOf_(kind);
    if (writer == nullptr) {
      throw std::runtime_error(Tr("the picture writers cannot be loaded: %1", {failure_.empty() ? std::string(kind) : failure_}));
    }
  }
  if (std::this_thread::get_id() != caller_) {
    writer(sink, converted, options);
    return;
  }
  // Qt frees what a thread painted with (its fonts) when the thread ends, or for its main thread
  // when the application ends. The program's own thread is not Qt's main thread (the loading
  // thread is) and ends only with the process, which would leave all that behind: it paints on a
  // thread of its own that ends here (on itself if none can be had).
  std::exception_ptr failure;
  try {
    std::thread painting([&] {
      try {
        writer(sink, converted, options);
      } catch (...) {
        failure = std::current_exception();
      }
    });
    painting.join();
  } catch (const std::system_error&) {
    writer(sink, converted, options);
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace torvane
