// Settings files from any bytes: reading must stay inside the text, and writing the remembered
// folder must read back as written while leaving the character types and pen colours as they were.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/inifile.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  torvane::TIniText ini(bytes);
  torvane::TMojiSettingsTable moji = torvane::ReadMojiSettings(ini);
  torvane::TPenColors pens = torvane::ReadPenColors(ini);
  ini.ReadString("data", "dir", "0");

  // The first bytes of the input double as a folder to remember.
  std::string folder = bytes.substr(0, std::min<std::size_t>(size, 40));
  if (!ini.WriteString("data", "dir", folder)) {
    if (ini.Bytes() != bytes) __builtin_trap();
    return 0;
  }
  if (ini.ReadString("data", "dir", "0") != folder) __builtin_trap();
  if (torvane::ReadMojiSettings(ini) != moji || torvane::ReadPenColors(ini) != pens) __builtin_trap();
  return 0;
}
