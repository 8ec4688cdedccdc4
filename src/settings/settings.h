// The settings file "Torvane.ini" in the start folder: the folder the open dialog starts in, the
// ten character types and the six pen colours, and the switch [Header] System that allows the
// program to write into the file while it is greater than 0.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "settings/inifile.h"

namespace torvane {

// One character type; Wide, High and Dist in tenths of a millimetre.
struct TMojiSetting {
  uint16_t Pen = 0;
  uint16_t Wide = 0;
  uint16_t High = 0;
  uint16_t Dist = 0;

  bool operator==(const TMojiSetting&) const = default;
};

// Character types 1 to 10 at index 0 to 9.
using TMojiSettingsTable = std::array<TMojiSetting, 10>;
// Colour numbers of pens 1 to 6 at index 0 to 5.
using TPenColors = std::array<uint8_t, 6>;

// Zeros until LoadSettings.
extern TMojiSettingsTable MojiSettings;
extern TPenColors PenColors;

// The start folder with a trailing "/"; set once by InitHomeFolder.
extern std::string HomeFolder;

TMojiSettingsTable DefaultMojiSettings();
TPenColors DefaultPenColors();

// Takes the process's current folder as HomeFolder; with no current folder to be had (it was
// removed), HomeFolder stays empty and the settings file is looked up by its bare name.
void InitHomeFolder();
// HomeFolder + "Torvane.ini".
std::string SettingsPath();

// The text of a new settings file: 61 lines ending in CR LF.
std::string DefaultSettingsText();
// Writes DefaultSettingsText as the whole file, replacing any file there. Throws TIoError; EEXIST
// for a link that names nothing, which is never created through.
void CreateDefaultSettings(const std::string& path);

// Start-up read: makes [data] dir the process's current folder (an empty dir keeps the current
// folder; a folder that cannot be entered is ignored without a word), then reads the character
// types and pen colours. Absent, empty or invalid values take their defaults; others keep their low
// 16 (character types) or 8 (pen colours) bits. A file that cannot be read counts as empty; the
// answer is the errno why (EFBIG for one past kMaxSettingsBytes), 0 when it was read or is missing.
int LoadSettings(const std::string& path, TMojiSettingsTable& moji,
                 TPenColors& pens);
// The character types of a settings file's text, as LoadSettings reads them; defaults for what it
// lacks.
TMojiSettingsTable ReadMojiSettings(const TIniText& ini);
TPenColors ReadPenColors(const TIniText& ini);

// Window close: when the switch allows, stores the process's current folder as [data] dir. Throws
// TSettingsWriteError.
void RememberFolder(const std::string& path);

// Whether a batch of the window writes a DXF beside each output: [Export] Dxf=1, in a section of
// its own that older readers of the file pass over; off when absent.
bool ReadDxfToo(const TIniText& ini);
// When the switch allows, stores it. Throws TSettingsWriteError.
void SaveDxfToo(const std::string& path, bool on);
// Save of the character settings dialog: when the switch allows, writes the sections MojiPen,
// MojiWide, MojiHigh, MojiDist and Pcolor. Throws TSettingsWriteError.
void SaveMojiSettings(const std::string& path,
                      const TMojiSettingsTable& moji,
                      const TPenColors& pens);

}  // namespace torvane
