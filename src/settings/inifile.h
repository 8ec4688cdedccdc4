// INI files with the Windows private-profile rules: "[section]" headers, then "key=value" lines.
// Texts are bytes (CP932); a file's bytes that a write does not change stay exactly as they were.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// The most bytes a settings file may hold. A real one holds a few hundred (a folder's path among
// them); a larger file is not one, and is neither read nor rewritten.
constexpr std::size_t kMaxSettingsBytes = 1024 * 1024;

// A settings key that could not be written. what() is "<full path> に書き込めません" (UTF-8 text
// after the path's bytes), ready for an error box.
class TSettingsWriteError : public std::runtime_error {
 public:
  explicit TSettingsWriteError(const std::string& path);
  // The file's full path.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

struct TIniEntry {
  std::string Section;
  std::string Key;
  std::string Value;
};

// The bytes of an INI file in memory.
//
// Reading: section and key names match without regard to ASCII letter case, and blanks (spaces
// and tabs) around them and around values do not count. Lines end in CR LF or LF. A line whose
// first non-blank byte is "[" and which holds a "]" is a section header (the name ends at the last
// "]"); a line with a "=" after a non-empty name is a key; any other line is ignored. Only the
// first section of a name and the first key of a name within it count. A value enclosed in a pair
// of equal quotation marks (single or double) is read without them.
class TIniText {
 public:
  static constexpr std::size_t kMaxValueLength = 2047;

  TIniText() = default;
  explicit TIniText(std::string bytes) : bytes_(std::move(bytes)) {}

  const std::string& Bytes() const { return bytes_; }

  // The key's value, at most kMaxValueLength bytes of it; defaultValue when the key or its section
  // is absent. A key present with an empty value gives the empty text.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  // The key's value as a 32-bit integer (decimal, or hexadecimal after "$", "0x" or "0X");
  // defaultValue when the key is absent, empty or not a valid integer.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;

  // Sets the key's value. An existing key keeps everything of its line before the value, and its
  // line ending; a new key goes after the last key of its section (after the header when there is
  // none); a new section goes at the end. Added lines end in CR LF. A value that blanks or quotation
  // marks at its ends would alter on reading is stored in double quotation marks. False, and
  // nothing changed, when an INI line cannot hold the names or the value (empty names, line
  // breaks, "=" in the key, a key beginning with "[").
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);

 private:
  std::string bytes_;
};

// An INI file at a path. Every operation opens the file for its own duration only. A file of more
// than kMaxSettingsBytes reads as empty, and a write refuses it; so does a write through a link
// that names nothing, which would create a file wherever the link points.
class TIniFile {
 public:
  explicit TIniFile(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  // The file's bytes; empty when it is missing or cannot be read, when error (if given) is the
  // errno why (ENOENT for a missing file, EFBIG for one past kMaxSettingsBytes), else 0.
  TIniText Read(int* error = nullptr) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;

  // Writes one key; a missing file is created (not through a link that names nothing). The file is replaced through a temporary file, so a
  // failure leaves it whole. Throws TSettingsWriteError.
  void WriteString(std::string_view section, std::string_view key, std::string_view value) const;
  // Writes the entries in order in one replacement of the file, giving the bytes that writing them
  // one by one would give; on failure none of them is written. Throws TSettingsWriteError.
  void WriteStrings(const std::vector<TIniEntry>& entries) const;

 private:
  std::string path_;
};

}  // namespace torvane
