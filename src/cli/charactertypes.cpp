#include "cli/charactertypes.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "settings/inifile.h"
#include "support/bytereader.h"
#include "support/cp932.h"

namespace torvane {

std::string JwfRejection(const std::string& path, const TJwfResult& result) {
  std::string file = "the JWF file " + path;
  std::string line = "line " + std::to_string(result.StopLine);
  switch (result.Stop) {
    case TJwfStop::Unreadable: return file + " cannot be read: " + std::strerror(result.Error);
    case TJwfStop::BadValue:
      return file + ", " + line + ": " +
             (result.BadText.empty() ? std::string("a value is missing")
                                     : "\"" + Cp932ToUtf8(result.BadText) + "\" is not a whole number");
    case TJwfStop::EndOfFile: line = "its end (" + line + ")"; break;
    case TJwfStop::LcollorUnderscore: line += ", which begins with LCOLLOR_"; break;
    case TJwfStop::Mdist: line += ", its first MDIST line"; break;
  }
  return file + " is no JWF file of JW_CAD's DOS edition: it has " + std::to_string(result.KeyLines) + " of the " +
         std::to_string(kJwfKeyLinesNeeded) + " key lines (LCOLLOR, MPEN, MWIDE, MHIGH, MDIST) needed before " +
         "reading ends at " + line;
}

bool TCharacterTypes::NameSettings(const std::string& path, std::string& why) {
  settings_ = path;
  Load(true);
  why = failure_;
  return failure_.empty();
}

bool TCharacterTypes::ImportJwf(const std::string& path, std::string& why) {
  jwf_ = path;
  if (loaded_) {
    if (failure_.empty() && !Import(types_, failure_)) why = failure_;
    return failure_.empty();
  }
  // Checked on the built-in types now; imported over the settings' types once they are read.
  TMojiSettingsTable scratch = DefaultMojiSettings();
  return Import(scratch, why);
}

bool TCharacterTypes::Get(TMojiSettingsTable& types, std::string& why) {
  if (!loaded_) {
    Load(false);
    if (failure_.empty() && jwf_) Import(types_, failure_);
  }
  types = types_;
  why = failure_;
  return failure_.empty();
}

void TCharacterTypes::Load(bool mustExist) {
  loaded_ = true;
  struct stat info {};
  // Without a file of that name (or with a folder there) the built-in values stand.
  if (!mustExist && ((stat(settings_.c_str(), &info) != 0 && errno == ENOENT) || S_ISDIR(info.st_mode))) return;
  TFileBytes bytes;
  int error = 0;
  if (!LoadFileBytes(settings_, bytes, &error)) {
    failure_ = "the settings file " + settings_ + " cannot be read: " + std::strerror(error != 0 ? error : EIO);
    return;
  }
  types_ = ReadMojiSettings(TIniText(std::string(reinterpret_cast<const char*>(bytes.data.get()), bytes.size)));
}

bool TCharacterTypes::Import(TMojiSettingsTable& types, std::string& why) const {
  TPenColors colors = DefaultPenColors();  // shown by the window only; conversion has no use for them
  TJwfResult result = ReadJwfFile(*jwf_, types, colors);
  if (result.Accepted()) return true;
  why = JwfRejection(*jwf_, result);
  return false;
}

}  // namespace torvane
