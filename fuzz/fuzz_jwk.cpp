// Reads any bytes as a part; a part that reads is converted both ways and written to nowhere, as a
// part and as DXF.
#include <cstddef>
#include <cstdint>

#include "dxf/dxfwriter.h"
#include "settings/settings.h"
#include "shape/jwk2jws.h"
#include "shape/jwkunit.h"
#include "shape/jwsunit.h"

namespace {

struct TDiscardSink final : torvane::TByteSink {
  void Write(const uint8_t*, std::size_t) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  torvane::TJwkData source;
  if (!torvane::ReadJwkBytes({data, size}, source)) return 0;
  const torvane::TMojiSettingsTable settings = torvane::DefaultMojiSettings();
  for (bool correction : {true, false}) {
    torvane::TJwsData target;
    torvane::ConvertJwkToJws("\x82\x6c\x82\x72 \x96\xbe\x92\xa9", correction, settings, source, target);
    TDiscardSink sink;
    torvane::WriteJwsTo(sink, target);
    torvane::WriteDxf(sink, {torvane::TFileKind::Part, nullptr, &target, nullptr});
  }
  return 0;
}
