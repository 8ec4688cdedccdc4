#include "render/picture.h"

#include <cstring>

namespace torvane {

TPicture::TPicture(THold hold) : hold_(hold), documents_(std::make_unique<TOwnedDocuments>()) {}

TPicture::~TPicture() = default;

namespace {

// Whether the scene holds an entity that can be drawn: the virtual points a header counts are
// never drawn, and are there even when nothing of the file could be read.
bool HoldsDrawable(const TScene& scene) {
  if (!scene.Lines.empty() || !scene.Arcs.empty() || !scene.Texts.empty()) return true;
  bool real = false;
  scene.Points.ForEach([&real](const TWTen& point) { real = real || point.Virtual == 0; });
  return real;
}

}  // namespace

bool TPicture::Load(const std::string& path, const TConversionOptions& options, std::string& failure) {
  kind_ = TFileKind::None;
  made_.reset();
  TFileCheck check = CheckFile(path);
  switch (check.Result) {
    case TCheckResult::Accepted: break;
    case TCheckResult::NotJwcJwk: failure = "not a .jwc drawing or .jwk part"; return false;
    case TCheckResult::NoSignature:
      failure = check.Kind == TFileKind::Drawing ? "not a JW_CAD drawing" : "not a JW_CAD part";
      return false;
    case TCheckResult::Unreadable: failure = std::strerror(check.Error); return false;
  }
  load_ = LoadDocument(path, check.Kind, documents_->Refs(), path);
  if (!load_.Opened()) {
    failure = std::strerror(load_.Failure.OpenError);
    return false;
  }
  TWriteOutcome refusal;
  TConverted converted;
  if (!ConvertDocument(check.Kind, options, documents_->Refs(), hold_ == THold::Source, converted, refusal)) {
    failure = "too large to convert";
    return false;
  }
  if (converted.DrawingSource != nullptr) {
    made_ = std::make_unique<TMadeJww>(options.FontName, options.NumericCorrection, *converted.DrawingSource);
  } else {
    // The source is not needed any more; the converted document keeps the texts' bytes.
    ResetJwc(documents_->Jwc);
    ResetJwk(documents_->Jwk);
  }
  kind_ = check.Kind;
  if (!load_.Complete && !load_.Failure.MissingNameTables() && !HoldsDrawable(Scene())) {
    kind_ = TFileKind::None;
    failure = "it ends before anything that can be drawn";
    return false;
  }
  return true;
}

TScene TPicture::Scene() const {
  if (kind_ == TFileKind::Drawing) return made_ ? SceneOf(*made_) : SceneOf(documents_->Jww);
  if (kind_ == TFileKind::Part) return SceneOf(documents_->Jws);
  return {};
}

}  // namespace torvane
