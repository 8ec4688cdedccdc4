// JWF environment files from any bytes: reading must stay inside the text, answer the same twice,
// and leave tables that, written back as the five key lines, read back as themselves.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/jwf.h"
#include "settings/settings.h"

namespace {

template <typename Table, typename Value>
std::string Line(const char* key, const Table& table, Value value, const char* separator) {
  std::string line = std::string(key) + " = ";
  for (std::size_t i = 0; i < table.size(); ++i) {
    line += std::to_string(value(table[i])) + (i + 1 < table.size() ? separator : "\r\n");
  }
  return line;
}

std::string JwfText(const torvane::TMojiSettingsTable& moji, const torvane::TPenColors& pens, const char* separator) {
  using torvane::TMojiSetting;
  return Line("LCOLLOR", pens, [](uint8_t c) { return c; }, " ") +
         Line("MPEN", moji, [](const TMojiSetting& m) { return m.Pen; }, "") +
         Line("MWIDE", moji, [](const TMojiSetting& m) { return m.Wide; }, separator) +
         Line("MHIGH", moji, [](const TMojiSetting& m) { return m.High; }, separator) +
         Line("MDIST", moji, [](const TMojiSetting& m) { return m.Dist; }, separator);
}

bool SameResult(const torvane::TJwfResult& a, const torvane::TJwfResult& b) {
  return a.KeyLines == b.KeyLines && a.Stop == b.Stop && a.StopLine == b.StopLine && a.BadText == b.BadText;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  torvane::TMojiSettingsTable moji = torvane::DefaultMojiSettings();
  torvane::TPenColors pens = torvane::DefaultPenColors();
  torvane::TJwfResult result = torvane::ReadJwf(text, moji, pens);

  if (result.BadText.size() > torvane::kJwfMaxBadText) __builtin_trap();
  if (result.Stop != torvane::TJwfStop::BadValue && !result.BadText.empty()) __builtin_trap();
  if (result.Stop == torvane::TJwfStop::Unreadable || result.KeyLines > static_cast<int>(result.StopLine)) {
    __builtin_trap();
  }

  torvane::TMojiSettingsTable again = torvane::DefaultMojiSettings();
  torvane::TPenColors againPens = torvane::DefaultPenColors();
  if (!SameResult(torvane::ReadJwf(text, again, againPens), result) || again != moji || againPens != pens) {
    __builtin_trap();
  }

  // Pens and colours are single digits here: the defaults, or what one digit gave.
  torvane::TMojiSettingsTable back{};
  torvane::TPenColors backPens{};
  const char* separator = size > 0 && data[0] % 2 == 0 ? "\t" : " ";
  torvane::TJwfResult roundTrip = torvane::ReadJwf(JwfText(moji, pens, separator), back, backPens);
  if (torvane::DecideJwf(roundTrip) != torvane::TJwfDecision::Take || roundTrip.KeyLines != 5 || back != moji || backPens != pens) __builtin_trap();
  return 0;
}
