#include "settings/jwf.h"

#include <optional>

#include "support/bytereader.h"
#include "support/cp932.h"
#include "support/text.h"

namespace torvane {
namespace {

constexpr char kDosEndOfFile = '\x1A';

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

// The values of one key line, taken from the front one after another.
class TKeyLine {
 public:
  // rest is the line after its key: blanks, one separator byte of any kind, blanks.
  explicit TKeyLine(std::string_view rest) : rest_(SkipBlanks(rest)) {
    if (!rest_.empty()) rest_.remove_prefix(1);
    rest_ = SkipBlanks(rest_);
  }

  // The next byte alone.
  std::optional<int32_t> Digit() { return Take(rest_.substr(0, 1)); }
  // The text up to the next space or tab; a missing value when neither follows.
  std::optional<int32_t> Word() {
    std::size_t end = rest_.find_first_of(" \t");
    return Take(end == std::string_view::npos ? std::string_view() : rest_.substr(0, end));
  }
  // The rest of the line without its blanks.
  std::optional<int32_t> Rest() {
    std::string_view value = TrimControls(rest_);
    rest_ = {};
    last_ = value;
    return ParseInt32(value);
  }
  // The text of the value taken last.
  std::string_view Last() const { return last_; }

 private:
  std::optional<int32_t> Take(std::string_view value) {
    last_ = value;
    rest_ = SkipBlanks(rest_.substr(value.size()));
    return ParseInt32(value);
  }

  std::string_view rest_;
  std::string_view last_;
};

// Single digits, stored one after another by store(index, value).
template <typename Store>
bool ReadDigits(TKeyLine& line, std::size_t count, Store store) {
  for (std::size_t i = 0; i < count; ++i) {
    std::optional<int32_t> value = line.Digit();
    if (!value) return false;
    store(i, *value);
  }
  return true;
}

// Nine values ended by a blank, then the rest of the line for type 10.
bool ReadSizes(TKeyLine& line, TMojiSettingsTable& moji, uint16_t TMojiSetting::*field) {
  for (std::size_t i = 0; i < moji.size(); ++i) {
    std::optional<int32_t> value = i + 1 < moji.size() ? line.Word() : line.Rest();
    if (!value) return false;
    moji[i].*field = static_cast<uint16_t>(*value);
  }
  return true;
}

enum class TKey { Comment, End, Colors, Pens, Wide, High, Dist };

struct TKeyRule {
  std::string_view Name;
  TKey Key;
};

// In the order they are tried: "LCOLLOR_" before "LCOLLOR".
constexpr TKeyRule kKeyRules[] = {
    {"#", TKey::Comment},    {"LCOLLOR_", TKey::End}, {"LCOLLOR", TKey::Colors}, {"MPEN", TKey::Pens},
    {"MWIDE", TKey::Wide},   {"MHIGH", TKey::High},   {"MDIST", TKey::Dist},
};

const TKeyRule* RuleOf(std::string_view line) {
  for (const TKeyRule& rule : kKeyRules) {
    if (line.starts_with(rule.Name)) return &rule;
  }
  return nullptr;
}

bool ReadKeyLine(TKey key, TKeyLine& values, TMojiSettingsTable& moji, TPenColors& pens) {
  switch (key) {
    case TKey::Colors:
      return ReadDigits(values, pens.size(), [&](std::size_t i, int32_t v) { pens[i] = static_cast<uint8_t>(v); });
    case TKey::Pens:
      return ReadDigits(values, moji.size(), [&](std::size_t i, int32_t v) { moji[i].Pen = static_cast<uint16_t>(v); });
    case TKey::Wide: return ReadSizes(values, moji, &TMojiSetting::Wide);
    case TKey::High: return ReadSizes(values, moji, &TMojiSetting::High);
    case TKey::Dist: return ReadSizes(values, moji, &TMojiSetting::Dist);
    case TKey::Comment:
    case TKey::End: break;
  }
  return true;
}

// The next line of text from pos, without its ending; pos moves past the ending.
std::string_view NextLine(std::string_view text, std::size_t& pos) {
  std::size_t end = text.find_first_of("\r\n", pos);
  if (end == std::string_view::npos) end = text.size();
  std::string_view line = text.substr(pos, end - pos);
  pos = end;
  if (pos < text.size() && text[pos++] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  return line;
}

}  // namespace

TJwfResult ReadJwf(std::string_view text, TMojiSettingsTable& moji, TPenColors& pens) {
  text = text.substr(0, text.find(kDosEndOfFile));
  TJwfResult result;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::string_view line = NextLine(text, pos);
    ++result.StopLine;
    const TKeyRule* rule = RuleOf(line);
    if (rule == nullptr || rule->Key == TKey::Comment) continue;
    if (rule->Key == TKey::End) {
      result.Stop = TJwfStop::LcollorUnderscore;
      return result;
    }
    TKeyLine values(line.substr(rule->Name.size()));
    if (!ReadKeyLine(rule->Key, values, moji, pens)) {
      result.Stop = TJwfStop::BadValue;
      result.BadText = std::string(values.Last().substr(0, Cp932PrefixLength(values.Last(), kJwfMaxBadText)));
      return result;
    }
    ++result.KeyLines;
    if (rule->Key == TKey::Dist) {
      result.Stop = TJwfStop::Mdist;
      return result;
    }
  }
  return result;
}

TJwfResult ReadJwfFile(const std::string& path, TMojiSettingsTable& moji, TPenColors& pens) {
  std::string bytes;
  int error = 0;
  if (!LoadSmallFile(path, kMaxJwfBytes, bytes, &error)) {
    TJwfResult result;
    result.Stop = TJwfStop::Unreadable;
    result.Error = error;
    return result;
  }
  return ReadJwf(bytes, moji, pens);
}

TJwfDecision DecideJwf(const TJwfResult& result) {
  if (result.Stop == TJwfStop::Unreadable || result.Stop == TJwfStop::BadValue) return TJwfDecision::Refuse;
  return result.KeyLines < kJwfKeyLinesNeeded ? TJwfDecision::TakeAfterWarning : TJwfDecision::Take;
}

}  // namespace torvane
