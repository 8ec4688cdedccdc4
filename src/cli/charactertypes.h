// The character types that size the texts of parts, from the settings file the user named, else
// from Torvane.ini in the current folder, else the built-in values; a JWF file named by the user
// is imported over them. Drawings never need them, so the default file is read only when the
// first part is converted.
#pragma once

#include <optional>
#include <string>

#include "settings/jwf.h"
#include "settings/settings.h"

namespace torvane {

// Why a JWF file is refused, or the warning it is taken with, in the language of the messages.
std::string JwfRejection(const std::string& path, const TJwfResult& result);

class TCharacterTypes {
 public:
  // The settings file the user named, read at once: false, with why, when it cannot be read.
  bool NameSettings(const std::string& path, std::string& why);
  // The JWF file the user named, checked at once (as DecideJwf decides; why says why it is refused
  // or what it is taken after) and imported over the settings' types when they are read.
  TJwfDecision ImportJwf(const std::string& path, std::string& why);
  // The types for a part: false, with why, when a file cannot be read (every later call answers
  // the same).
  bool Get(TMojiSettingsTable& types, std::string& why);
  // The pen colours of the settings file the user named (the built-in ones before it is read), for
  // pictures in the screen scheme, as the window's preview draws them.
  const TPenColors& Pens() const { return pens_; }

 private:
  void Load(bool mustExist);
  TJwfDecision Import(TMojiSettingsTable& types, std::string& why) const;

  std::string settings_ = "Torvane.ini";
  std::optional<std::string> jwf_;
  bool loaded_ = false;
  std::string failure_;
  TMojiSettingsTable types_ = DefaultMojiSettings();
  TPenColors pens_ = DefaultPenColors();
};

}  // namespace torvane
