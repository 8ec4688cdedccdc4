// A drawing or part file read and converted as the conversion service converts it, held for
// pictures of it: what they show is what a conversion writes.
#pragma once

#include <memory>
#include <string>

#include "convert/conversion.h"
#include "render/scene.h"

namespace torvane {

class TPicture {
 public:
  TPicture();
  // Reads and converts the file; false, with the reason in failure, when it is no drawing or part
  // or nothing of it could be read. A read that stopped inside the records keeps what was read.
  bool Load(const std::string& path, const TConversionOptions& options, std::string& failure);

  TFileKind Kind() const { return kind_; }
  const TLoadOutcome& LoadOutcome() const { return load_; }
  // The converted document; empty before a successful Load.
  TScene Scene() const;
  const TJwwData& Drawing() const { return documents_->Jww; }
  const TJwsData& Part() const { return documents_->Jws; }

 private:
  std::unique_ptr<TOwnedDocuments> documents_;
  TFileKind kind_ = TFileKind::None;
  TLoadOutcome load_;
};

}  // namespace torvane
