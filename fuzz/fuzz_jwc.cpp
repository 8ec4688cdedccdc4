// Drawings from any bytes: the reader must never read outside its input, and whatever it accepts
// (a whole drawing, or one of an older edition without name tables) must convert and write, as a
// drawing and as DXF.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "drawing/jwc2jww.h"
#include "drawing/jwcunit.h"
#include "drawing/jwwunit.h"
#include "dxf/dxfwriter.h"
#include "support/outputfile.h"

namespace {

class TDiscardSink final : public torvane::TByteSink {
 public:
  void Write(const uint8_t*, std::size_t size) override { written += size; }
  std::size_t written = 0;
};

// "ＭＳ ゴシック" in CP932, the face name the window program hands over by default.
const std::string kFont = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // Documents are large (256 layers, names, arrays); kept static so each run only resets them.
  static torvane::TJwcData source;
  static torvane::TJwwData target;
  torvane::TReadFailure failure;
  bool complete = torvane::ReadJwcBytes(std::span<const uint8_t>(data, size), source, &failure);
  if (!complete && !failure.MissingNameTables()) return 0;
  torvane::ConvertJwcToJww(kFont, true, source, target);
  TDiscardSink sink;
  torvane::WriteJwwTo(sink, target);
  torvane::WriteDxf(sink, {torvane::TFileKind::Drawing, &target, nullptr, nullptr});
  return 0;
}
