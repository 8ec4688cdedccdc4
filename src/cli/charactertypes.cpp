#include "cli/charactertypes.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "cli/messages.h"
#include "settings/inifile.h"
#include "support/bytereader.h"
#include "support/cp932.h"
#include "support/shown.h"

namespace torvane {

namespace {

// Why a file could not be read; the reader answers EINVAL for a pipe or device, EFBIG for a file
// past the bound of its kind.
std::string ReadFailureText(int error) {
  if (error == EFBIG) return Tr("it is larger than 1 MiB, far more than a real one holds");
  return error == EINVAL ? Tr("it is not a regular file") : std::strerror(error);
}

}  // namespace

std::string JwfRejection(const std::string& path, const TJwfResult& result) {
  std::string file = ShownPath(path);
  std::string line = std::to_string(result.StopLine);
  std::string end;
  switch (result.Stop) {
    case TJwfStop::Unreadable: return Tr("the JWF file %1 cannot be read: %2", {file, ReadFailureText(result.Error)});
    case TJwfStop::BadValue:
      return result.BadText.empty() ? Tr("the JWF file %1, line %2: a value is missing", {file, line})
                                    : Tr("the JWF file %1, line %2: \"%3\" is not a whole number",
                                         {file, line, Cp932ToUtf8(result.BadText)});
    case TJwfStop::EndOfFile: end = Tr("its end (line %1)", {line}); break;
    case TJwfStop::LcollorUnderscore: end = Tr("line %1, which begins with LCOLLOR_", {line}); break;
    case TJwfStop::Mdist: end = Tr("line %1, its first MDIST line", {line}); break;
  }
  return Tr("the JWF file %1 is not a JWF file of JW_CAD's DOS edition: it has %2 of the %3 key lines "
            "(LCOLLOR, MPEN, MWIDE, MHIGH, MDIST) needed before reading ends at %4",
            {file, std::to_string(result.KeyLines), std::to_string(kJwfKeyLinesNeeded), end});
}

bool TCharacterTypes::NameSettings(const std::string& path, std::string& why) {
  settings_ = path;
  Load(true);
  why = failure_;
  return failure_.empty();
}

TJwfDecision TCharacterTypes::ImportJwf(const std::string& path, std::string& why) {
  jwf_ = path;
  if (!loaded_) {
    // Checked on the built-in types now; imported over the settings' types once they are read.
    TMojiSettingsTable scratch = DefaultMojiSettings();
    return Import(scratch, why);
  }
  if (!failure_.empty()) {
    why = failure_;
    return TJwfDecision::Refuse;
  }
  TJwfDecision decision = Import(types_, why);
  if (decision == TJwfDecision::Refuse) failure_ = why;
  return decision;
}

bool TCharacterTypes::Get(TMojiSettingsTable& types, std::string& why) {
  if (!loaded_) {
    Load(false);
    std::string why;
    if (failure_.empty() && jwf_ && Import(types_, why) == TJwfDecision::Refuse) failure_ = why;
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
  std::string bytes;
  int error = 0;
  if (!LoadSmallFile(settings_, kMaxSettingsBytes, bytes, &error)) {
    failure_ = Tr("the settings file %1 cannot be read: %2",
                  {ShownPath(settings_), ReadFailureText(error != 0 ? error : EIO)});
    return;
  }
  TIniText ini(std::move(bytes));
  types_ = ReadMojiSettings(ini);
  pens_ = ReadPenColors(ini);
}

TJwfDecision TCharacterTypes::Import(TMojiSettingsTable& types, std::string& why) const {
  TPenColors colors = DefaultPenColors();  // shown by the window only; conversion has no use for them
  TJwfResult result = ReadJwfFile(*jwf_, types, colors);
  TJwfDecision decision = DecideJwf(result);
  if (decision != TJwfDecision::Take) why = JwfRejection(*jwf_, result);
  return decision;
}

}  // namespace torvane
