// A drawing or part file read and converted as the conversion service converts it, held for
// pictures of it: what they show is what a conversion writes.
#pragma once

#include <memory>
#include <string>

#include "convert/conversion.h"
#include "drawing/jwc2jww.h"
#include "render/scene.h"

namespace torvane {

class TPicture {
 public:
  // What a loaded picture holds: the converted document, for a view drawn again and again (the
  // preview); or a drawing's source, converted in runs whenever it is drawn, for a picture drawn
  // once (a thumbnail), whose converted records then never stand in memory whole.
  enum class THold { Converted, Source };

  explicit TPicture(THold hold = THold::Converted);
  ~TPicture();
  // Reads and converts the file; false, with the reason in failure, when it is no drawing or part
  // or nothing of it could be read. A read that stopped inside the records keeps what was read.
  bool Load(const std::string& path, const TConversionOptions& options, std::string& failure);

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
