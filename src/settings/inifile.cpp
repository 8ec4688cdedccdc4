#include "settings/inifile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "support/bytereader.h"
#include "support/files.h"
#include "support/ioerror.h"
#include "support/outputfile.h"
#include "support/text.h"

namespace torvane {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return UpperAscii(x) == UpperAscii(y); });
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != kNone; }

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// A value that would not read back as itself when stored bare.
bool NeedsQuotes(std::string_view value) {
  return !value.empty() &&
         (IsBlank(value.front()) || IsBlank(value.back()) || Unquote(value).size() != value.size());
}

// One line: its content [Begin, End) without the line ending, and where the next line begins.
struct TLine {
  std::size_t Begin = 0;
  std::size_t End = 0;
  std::size_t Next = 0;
  bool HasEnding() const { return Next > End; }
};

TLine LineAt(std::string_view bytes, std::size_t begin) {
  std::size_t lf = bytes.find('\n', begin);
  if (lf == kNone) return {begin, bytes.size(), bytes.size()};
  std::size_t end = lf > begin && bytes[lf - 1] == '\r' ? lf - 1 : lf;
  return {begin, end, lf + 1};
}

enum class TLineKind { Other, Section, Key };

struct TParsedLine {
  TLineKind Kind = TLineKind::Other;
  std::string_view Name;
  // A key's value without the blanks around it, pointing into the line.
  std::string_view Value;
};

TParsedLine ParseLine(std::string_view content) {
  std::string_view trimmed = Trim(content);
  if (trimmed.starts_with('[')) {
    // The last "]", since a CP932 character may carry that byte as its second byte.
    std::size_t close = trimmed.rfind(']');
    if (close != kNone) return {TLineKind::Section, Trim(trimmed.substr(1, close - 1)), {}};
  }
  std::size_t equals = content.find('=');
  if (equals == kNone) return {};
  std::string_view name = Trim(content.substr(0, equals));
  if (name.empty()) return {};
  return {TLineKind::Key, name, Trim(content.substr(equals + 1))};
}

struct TKeyPlace {
  bool SectionFound = false;
  // The section's last key line, or its header when it has no key: a new key goes after it.
  TLine Last;
  bool KeyFound = false;
  TLine KeyLine;
  std::string_view Value;
};

TKeyPlace Locate(std::string_view bytes, std::string_view section, std::string_view key) {
  section = Trim(section);
  key = Trim(key);
  TKeyPlace place;
  for (std::size_t at = 0; at < bytes.size();) {
    TLine line = LineAt(bytes, at);
    at = line.Next;
    TParsedLine parsed = ParseLine(bytes.substr(line.Begin, line.End - line.Begin));
    if (parsed.Kind == TLineKind::Section) {
      // Only the first section of the name counts; the next header ends it.
      if (place.SectionFound) break;
      if (SameName(parsed.Name, section)) {
        place.SectionFound = true;
        place.Last = line;
      }
    } else if (parsed.Kind == TLineKind::Key && place.SectionFound) {
      place.Last = line;
      if (SameName(parsed.Name, key)) {
        place.KeyFound = true;
        place.KeyLine = line;
        place.Value = parsed.Value;
        break;
      }
    }
  }
  return place;
}

std::string FullPath(const std::string& path) {
  std::error_code error;
  std::filesystem::path full = std::filesystem::absolute(path, error);
  return error ? path : full.string();
}

// The file's bytes as the base of a rewrite: empty for a missing file; false for a file that exists
// but cannot be read (or is too large to be a settings file), which must not be replaced as if it
// were empty, and for a link that names nothing, which must not be created through.
bool LoadForRewrite(const std::string& path, TIniText& text) {
  int error = 0;
  text = TIniFile(path).Read(&error);
  return error == 0 || (error == ENOENT && !IsDanglingLink(path));
}

void Replace(const std::string& path, const TIniText& text) {
  try {
    TOutputFile file(path);
    file.Write(reinterpret_cast<const uint8_t*>(text.Bytes().data()), text.Bytes().size());
    file.Commit();
  } catch (const TIoError&) {
    throw TSettingsWriteError(path);
  }
}

}  // namespace

TSettingsWriteError::TSettingsWriteError(const std::string& path)
    : std::runtime_error(FullPath(path) + " に書き込めません"), path_(FullPath(path)) {}

std::string TIniText::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
  TKeyPlace place = Locate(bytes_, section, key);
  if (!place.KeyFound) return std::string(defaultValue);
  return std::string(Unquote(place.Value).substr(0, kMaxValueLength));
}

int32_t TIniText::ReadInteger(std::string_view section, std::string_view key,
                              int32_t defaultValue) const {
  // ParseInt32 takes "$", "0x" and "0X" as hexadecimal prefixes, and a prefix without digits as
  // invalid; an absent or empty value is invalid as well.
  return ParseInt32(ReadString(section, key, "")).value_or(defaultValue);
}

bool TIniText::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty() || key.starts_with('[') || key.find('=') != kNone ||
      HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
    return false;
  }
  std::string stored = NeedsQuotes(value) ? "\"" + std::string(value) + "\"" : std::string(value);
  TKeyPlace place = Locate(bytes_, section, key);
  if (place.KeyFound) {
    std::size_t begin = static_cast<std::size_t>(place.Value.data() - bytes_.data());
    bytes_.replace(begin, place.KeyLine.End - begin, stored);
    return true;
  }
  std::string line = std::string(key) + "=" + stored + "\r\n";
  if (place.SectionFound) {
    if (!place.Last.HasEnding()) line.insert(0, "\r\n");
    bytes_.insert(place.Last.Next, line);
    return true;
  }
  if (!bytes_.empty() && bytes_.back() != '\n') bytes_ += "\r\n";
  bytes_ += "[";
  bytes_ += section;
  bytes_ += "]\r\n";
  bytes_ += line;
  return true;
}

TIniText TIniFile::Read(int* error) const {
  std::string bytes;
  int why = 0;
  if (!LoadSmallFile(path_, kMaxSettingsBytes, bytes, &why)) bytes.clear();
  if (error != nullptr) *error = why;
  return TIniText(std::move(bytes));
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
  return Read().ReadString(section, key, defaultValue);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                              int32_t defaultValue) const {
  return Read().ReadInteger(section, key, defaultValue);
}

void TIniFile::WriteString(std::string_view section, std::string_view key,
                           std::string_view value) const {
  WriteStrings({{std::string(section), std::string(key), std::string(value)}});
}

void TIniFile::WriteStrings(const std::vector<TIniEntry>& entries) const {
  if (entries.empty()) return;
  TIniText text;
  if (!LoadForRewrite(path_, text)) throw TSettingsWriteError(path_);
  for (const TIniEntry& entry : entries) {
    if (!text.WriteString(entry.Section, entry.Key, entry.Value)) throw TSettingsWriteError(path_);
  }
  Replace(path_, text);
}

}  // namespace torvane
