#include "settings/settings.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "support/ioerror.h"
#include "support/files.h"
#include "support/outputfile.h"

namespace torvane {

TMojiSettingsTable MojiSettings{};
TPenColors PenColors{};
std::string HomeFolder;

namespace {

struct TMojiSection {
  const char* Name;
  uint16_t TMojiSetting::*Field;
};

constexpr TMojiSection kMojiSections[] = {
    {"MojiPen", &TMojiSetting::Pen},
    {"MojiWide", &TMojiSetting::Wide},
    {"MojiHigh", &TMojiSetting::High},
    {"MojiDist", &TMojiSetting::Dist},
};

constexpr const char* kPenColorSection = "Pcolor";

// "Pen01" for index 0: in the character type sections the number names the type, in Pcolor the pen.
std::string PenKey(std::size_t index) {
  std::size_t number = index + 1;
  return (number < 10 ? "Pen0" : "Pen") + std::to_string(number);
}

bool WritesAllowed(const TIniFile& ini) { return ini.ReadInteger("Header", "System", 0) > 0; }

}  // namespace

TMojiSettingsTable DefaultMojiSettings() {
  return {{{1, 20, 20, 0},
           {1, 25, 25, 0},
           {2, 30, 30, 5},
           {2, 40, 40, 5},
           {3, 50, 50, 5},
           {3, 60, 60, 10},
           {4, 70, 70, 10},
           {4, 80, 80, 10},
           {1, 90, 90, 10},
           {1, 100, 100, 10}}};
}

TPenColors DefaultPenColors() { return {5, 7, 4, 6, 3, 1}; }

void InitHomeFolder() {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::current_path(error);
  HomeFolder = error ? std::string() : folder.string() + "/";
}

std::string SettingsPath() { return HomeFolder + "Torvane.ini"; }

std::string DefaultSettingsText() {
  std::string text = "[Header]\r\nSystem=1\r\n\r\n[data]\r\ndir=\r\n";
  TMojiSettingsTable moji = DefaultMojiSettings();
  for (const TMojiSection& section : kMojiSections) {
    text += "\r\n[" + std::string(section.Name) + "]\r\n";
    for (std::size_t i = 0; i < moji.size(); ++i) {
      text += PenKey(i) + "=" + std::to_string(moji[i].*section.Field) + "\r\n";
    }
  }
  text += "\r\n[" + std::string(kPenColorSection) + "]\r\n";
  TPenColors pens = DefaultPenColors();
  for (std::size_t i = 0; i < pens.size(); ++i) {
    text += PenKey(i) + "=" + std::to_string(pens[i]) + "\r\n";
  }
  return text;
}

void CreateDefaultSettings(const std::string& path) {
  if (IsDanglingLink(path)) throw TIoError::FromErrno(EEXIST, path);
  std::string text = DefaultSettingsText();
  TOutputFile file(path);
  file.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  file.Commit();
}

TMojiSettingsTable ReadMojiSettings(const TIniText& ini) {
  TMojiSettingsTable moji = DefaultMojiSettings();
  for (const TMojiSection& section : kMojiSections) {
    for (std::size_t i = 0; i < moji.size(); ++i) {
      uint16_t& field = moji[i].*section.Field;
      field = static_cast<uint16_t>(ini.ReadInteger(section.Name, PenKey(i), field));
    }
  }
  return moji;
}

TPenColors ReadPenColors(const TIniText& ini) {
  TPenColors pens = DefaultPenColors();
  for (std::size_t i = 0; i < pens.size(); ++i) {
    pens[i] = static_cast<uint8_t>(ini.ReadInteger(kPenColorSection, PenKey(i), pens[i]));
  }
  return pens;
}

int LoadSettings(const std::string& path, TMojiSettingsTable& moji, TPenColors& pens) {
  int error = 0;
  TIniText ini = TIniFile(path).Read(&error);
  // The default "0" names a folder 0 inside the current one; an empty value keeps the current one.
  std::string dir = ini.ReadString("data", "dir", "0");
  if (!dir.empty()) {
    // A folder that cannot be entered leaves the current folder as it is, without a word.
    std::error_code error;
    std::filesystem::current_path(dir, error);
  }
  moji = ReadMojiSettings(ini);
  pens = ReadPenColors(ini);
  return error == ENOENT ? 0 : error;
}

void RememberFolder(const std::string& path) {
  TIniFile ini(path);
  if (!WritesAllowed(ini)) return;
  std::error_code error;
  std::filesystem::path folder = std::filesystem::current_path(error);
  // A current folder that was removed has no path left to remember.
  if (error) return;
  ini.WriteString("data", "dir", folder.string());
}

bool ReadDxfToo(const TIniText& ini) { return ini.ReadInteger("Export", "Dxf", 0) == 1; }

void SaveDxfToo(const std::string& path, bool on) {
  TIniFile ini(path);
  if (!WritesAllowed(ini)) return;
  ini.WriteString("Export", "Dxf", on ? "1" : "0");
}

void SaveMojiSettings(const std::string& path, const TMojiSettingsTable& moji,
                      const TPenColors& pens) {
  TIniFile ini(path);
  if (!WritesAllowed(ini)) return;
  std::vector<TIniEntry> entries;
  for (const TMojiSection& section : kMojiSections) {
    for (std::size_t i = 0; i < moji.size(); ++i) {
      entries.push_back({section.Name, PenKey(i), std::to_string(moji[i].*section.Field)});
    }
  }
  for (std::size_t i = 0; i < pens.size(); ++i) {
    entries.push_back({kPenColorSection, PenKey(i), std::to_string(pens[i])});
  }
  ini.WriteStrings(entries);
}

}  // namespace torvane
