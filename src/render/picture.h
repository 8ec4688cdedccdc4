// A drawing or part file read and converted as the conversion service converts it, held for
// pictures of it: what they show is what a conversion writes.
#pragma once

#include <memory>
#include <string>

#include "convert/conversion.h"
#include "drawing/jwc2jww.h"
#include "render/scene.h"

namespace torvane {

// Why no picture can be made of a file; each front end words it in its own language.
struct TPictureRefusal {
  enum class TReason {
    None,
    NotJwcJwk,        // the name is no .jwc or .jwk
    NotDrawing,       // a .jwc without the drawing's signature
    NotPart,          // a .jwk without the part's signature
    Unreadable,       // Error holds the errno
    TooLarge,         // the conversion refuses it
    NothingDrawable,  // the read stopped before anything that can be drawn
  };
  TReason Reason = TReason::None;
  int Error = 0;
};

class TPicture {
 public:
  // What a loaded picture holds: the converted document, for a view drawn again and again (the
  // preview); or a drawing's source, converted in runs whenever it is drawn, for a picture drawn
  // once (a thumbnail), whose converted records then never stand in memory whole.
  enum class THold { Converted, Source };

  explicit TPicture(THold hold = THold::Converted);
  ~TPicture();
  // Reads and converts the file; false, with the reason in refusal, when it is no drawing or part
  // or nothing of it could be read. A read that stopped inside the records keeps what was read.
  bool Load(const std::string& path, const TConversionOptions& options, TPictureRefusal& refusal);

  TFileKind Kind() const { return kind_; }
  const TLoadOutcome& LoadOutcome() const { return load_; }
  // The converted document; empty before a successful Load.
  TScene Scene() const;

 private:
  THold hold_;
  std::unique_ptr<TOwnedDocuments> documents_;
  std::unique_ptr<TMadeJww> made_;
  TFileKind kind_ = TFileKind::None;
  TLoadOutcome load_;
};

}  // namespace torvane
