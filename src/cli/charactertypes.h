// The character types that size the texts of parts, from the settings file the user named, else
// from Torvane.ini in the current folder, else the built-in values. Drawings never need them, so
// the default file is read only when the first part is converted.
#pragma once

#include <optional>
#include <string>

#include "settings/settings.h"

namespace torvane {

class TCharacterTypes {
 public:
  // named: the file given by the user, read at once: false with the errno in error when it cannot
  // be read. Without one, nothing is read yet.
  bool Name(const std::string& named, int& error);
  // The types for a part: false when the settings file cannot be read, with Path() and error
  // saying which and why (each later call answers the same).
  bool Get(TMojiSettingsTable& types, int& error);
  const std::string& Path() const { return path_; }

 private:
  bool Load(bool mustExist);

  std::string path_ = "Torvane.ini";
  bool loaded_ = false;
  int error_ = 0;
  TMojiSettingsTable types_ = DefaultMojiSettings();
};

}  // namespace torvane
