#include "convert/outputkinds.h"

#include <array>

#include "convert/conversion.h"
#include "drawing/jwc2jww.h"
#include "dxf/dxfwriter.h"

namespace torvane {
namespace {

void WriteNative(TByteSink& sink, const TConverted& converted, const TConversionOptions& options) {
  if (converted.DrawingSource != nullptr) {
    WriteConvertedJww(sink, options.FontName, options.NumericCorrection, *converted.DrawingSource);
  } else if (converted.Drawing != nullptr) {
    WriteJwwTo(sink, *converted.Drawing);
  } else if (converted.Part != nullptr) {
    WriteJwsTo(sink, *converted.Part);
  }
}

void WriteDxfOutput(TByteSink& sink, const TConverted& converted, const TConversionOptions& options) {
  WriteDxf(sink, converted, options.FontName, options.NumericCorrection);
}

std::array<TOutputKind, 5>& Kinds() {
  static std::array<TOutputKind, 5> kinds{{
      {"jww", "", WriteNative, true},
      {"dxf", ".dxf", WriteDxfOutput, true},
      // An SVG groups the records by layer, and so wants them all at hand.
      {"svg", ".svg", nullptr, false},
      {"png", ".png", nullptr, true},
      {"pdf", ".pdf", nullptr, true},
  }};
  return kinds;
}

}  // namespace

std::span<const TOutputKind> OutputKinds() { return Kinds(); }

const TOutputKind& NativeOutput() { return Kinds().front(); }

const TOutputKind* FindOutputKind(std::string_view name) {
  if (name == "jws") return &NativeOutput();
  for (const TOutputKind& kind : Kinds()) {
    if (kind.Name == name) return &kind;
  }
  return nullptr;
}

void SetOutputWriter(std::string_view name, TOutputWriter writer) {
  for (TOutputKind& kind : Kinds()) {
    if (kind.Name == name) kind.Writer = writer;
  }
}

std::vector<std::string> KindsNamedBy(const std::vector<std::string>& args) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
    if (args[i].starts_with("--to=")) names.push_back(args[i].substr(5));
    if (args[i] == "--to" && i + 1 < args.size()) names.push_back(args[i + 1]);
  }
  return names;
}

std::string OutputExtension(TFileKind kind, const TOutputKind& to) {
  if (kind == TFileKind::None) return "";
  if (!to.Extension.empty()) return std::string(to.Extension);
  return kind == TFileKind::Drawing ? ".jww" : ".jws";
}

}  // namespace torvane
