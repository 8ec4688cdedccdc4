// The load summary printed after a drawing or part has been read: its path, an empty line, the
// memo lines (drawings only) and the entity counts. Lines are UTF-8, without line ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torvane {

struct TLoadSummary {
  std::string Path;
  // CP932 memo texts; drawings have them, parts do not.
  std::optional<std::string> Memo1, Memo2;
  int32_t SenCount = 0, EnkoCount = 0, MojiCount = 0, TenCount = 0;
  std::optional<int32_t> KasoTenCount;  // drawings only
};

std::vector<std::string> LoadSummaryLines(const TLoadSummary& summary);

}  // namespace torvane
