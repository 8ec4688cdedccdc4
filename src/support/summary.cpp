#include "support/summary.h"

#include "support/cp932.h"
#include "support/text.h"

namespace torvane {

std::vector<std::string> LoadSummaryLines(const TLoadSummary& s) {
  std::vector<std::string> lines{s.Path, ""};
  for (const auto& memo : {s.Memo1, s.Memo2}) {
    if (memo) lines.push_back(Cp932ToUtf8(TrimRightControls(*memo)));
  }
  lines.push_back("直線の数　 = " + std::to_string(s.SenCount));
  lines.push_back("円弧の数　 = " + std::to_string(s.EnkoCount));
  lines.push_back("文字列の数 = " + std::to_string(s.MojiCount));
  lines.push_back("実点の数　 = " + std::to_string(s.TenCount));
  if (s.KasoTenCount) lines.push_back("仮想点の数 = " + std::to_string(*s.KasoTenCount));
  return lines;
}

}  // namespace torvane
