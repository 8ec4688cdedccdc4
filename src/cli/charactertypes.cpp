#include "cli/charactertypes.h"

#include <sys/stat.h>

#include <cerrno>

#include "settings/inifile.h"
#include "support/bytereader.h"

namespace torvane {

bool TCharacterTypes::Name(const std::string& named, int& error) {
  path_ = named;
  bool ok = Load(true);
  error = error_;
  return ok;
}

bool TCharacterTypes::Get(TMojiSettingsTable& types, int& error) {
  if (!loaded_) Load(false);
  types = types_;
  error = error_;
  return error_ == 0;
}

bool TCharacterTypes::Load(bool mustExist) {
  loaded_ = true;
  struct stat info {};
  // Without a file of that name (or with a folder there) the built-in values stand.
  if (!mustExist && ((stat(path_.c_str(), &info) != 0 && errno == ENOENT) || S_ISDIR(info.st_mode))) return true;
  TFileBytes bytes;
  if (!LoadFileBytes(path_, bytes, &error_)) {
    if (error_ == 0) error_ = EIO;
    return false;
  }
  types_ = ReadMojiSettings(TIniText(std::string(reinterpret_cast<const char*>(bytes.data.get()), bytes.size)));
  return true;
}

}  // namespace torvane
