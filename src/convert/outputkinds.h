// The kinds of output a converted document is written as: the Windows edition's own file (JWW for
// a drawing, JWS for a part), DXF, and pictures. Each kind has its name (as --to takes it), its
// extension and its writer; front ends derive every output name and write every output through
// this one table.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "drawing/jwcunit.h"
#include "drawing/jwwunit.h"
#include "shape/jwsunit.h"
#include "support/outputfile.h"

namespace torvane {

enum class TFileKind { None, Drawing, Part };
struct TConversionOptions;

// The converted document that an output is written from: the drawing for a drawing, the part
// for a part (the other pointers are null). A drawing written only as kinds that convert while
// they write comes as its source instead, which each such output converts as it writes it.
struct TConverted {
  TFileKind Kind = TFileKind::None;
  const TJwwData* Drawing = nullptr;
  const TJwsData* Part = nullptr;
  const TJwcData* DrawingSource = nullptr;
};

// Writes the converted document into the sink; a failing sink raises TIoError. options holds what
// the user chose for the conversion, and the choices of the picture kinds.
using TOutputWriter = void (*)(TByteSink& sink, const TConverted& converted, const TConversionOptions& options);

struct TOutputKind {
  std::string_view Name;       // as --to names it, in lower case
  std::string_view Extension;  // with its dot, in lower case; empty for the native kind (.jww or .jws)
  // Null while no library of this build provides it: the pictures come with the window's
  // libraries (src/render), which register their writers at start.
  TOutputWriter Writer;
  // The writer takes a drawing's source as well as the converted drawing, and converts the
  // records while it writes them, so that they never stand in memory whole.
  bool ConvertsWhileWriting = false;
};

// Every kind, the native one first.
std::span<const TOutputKind> OutputKinds();
// The Windows edition's own file: .jww for drawings, .jws for parts.
const TOutputKind& NativeOutput();
// The kind --to names ("jww" and "jws" both name the native kind), or nullptr.
const TOutputKind* FindOutputKind(std::string_view name);
// Gives the kind its writer; called at start, before any conversion runs.
void SetOutputWriter(std::string_view name, TOutputWriter writer);
// The names the command line's arguments give --to (as "--to NAME" or "--to=NAME", up to "--"),
// looked at before the arguments are parsed.
std::vector<std::string> KindsNamedBy(const std::vector<std::string>& args);

// The extension of the kind's outputs for a file of the kind: ".jww" or ".jws" for the native
// kind, else the kind's own; "" for a file of neither kind.
std::string OutputExtension(TFileKind kind, const TOutputKind& to);

}  // namespace torvane
