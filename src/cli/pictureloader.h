// torvane-convert's picture writers live in a module of their own, loaded only for a run whose
// --to names a picture kind: the libraries they paint with (Qt and some forty more) would cost
// every other run about 20 ms of start. Even so, the module is loaded, and its application made, on
// a thread of their own while the run reads and converts its first input; the writers that stand
// in the table of output kinds meanwhile wait for it when first called.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "convert/outputkinds.h"
#include "render/picturemodule.h"

namespace torvane {

class TPictureLoader {
 public:
  TPictureLoader() = default;
  // Ends the painting application, if one was made, on the thread that made it; the module stays
  // loaded until the process ends.
  ~TPictureLoader();
  TPictureLoader(const TPictureLoader&) = delete;
  TPictureLoader& operator=(const TPictureLoader&) = delete;

  // When args name kinds without a writer yet: gives each a writer that waits for the module and
  // writes through the module's own, and starts loading it. False with why when the module cannot
  // be looked for (the program cannot find itself) or no thread can be had to load it.
  bool LoadFor(const std::vector<std::string>& args, int& argc, char** argv, std::string& why);

  // Writes through the module's writer of the kind once the module is loaded; raises
  // std::runtime_error, naming why, when it could not be loaded.
  void Write(std::string_view kind, TByteSink& sink, const TConverted& converted, const TConversionOptions& options);

 private:
  // On the loading thread: loads the module, makes the application, and ends it when told to.
  void Load(const std::string& path, int& argc, char** argv, const std::vector<std::string>& args);

  std::mutex mutex_;
  std::condition_variable changed_;
  bool loaded_ = false, ending_ = false, ended_ = false;
  std::string failure_;  // why the module could not be loaded, once loaded_
  TPictureWriterOf writerOf_ = nullptr;
  std::thread::id caller_;  // the thread that asked for the module: the program's own
  std::thread thread_;
};

}  // namespace torvane
