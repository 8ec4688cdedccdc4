// torvane-convert's picture writers live in a module of their own, loaded only for a run whose
// --to names a picture kind: the libraries they paint with (Qt and some forty more) would cost
// every other run about 20 ms of start.
#pragma once

#include <string>
#include <vector>

namespace torvane {

class TPictureLoader {
 public:
  TPictureLoader() = default;
  // Ends the painting application, if one was made; the module stays loaded until the process ends.
  ~TPictureLoader();
  TPictureLoader(const TPictureLoader&) = delete;
  TPictureLoader& operator=(const TPictureLoader&) = delete;

  // Loads the module and registers its writers when args name a kind without a writer yet. False
  // with why (the module's path and the loader's reason) when the module cannot be loaded.
  bool LoadFor(const std::vector<std::string>& args, int& argc, char** argv, std::string& why);

 private:
  void* application_ = nullptr;
  void (*stop_)(void*) = nullptr;
};

}  // namespace torvane
