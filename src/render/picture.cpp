#include "render/picture.h"

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

bool TPicture::Load(const std::string& path, const TConversionOptions& options, TPictureRefusal& refusal) {
  using TReason = TPictureRefusal::TReason;
  kind_ = TFileKind::None;
  made_.reset();
  refusal = TPictureRefusal{};
  auto refuse = [&refusal](TReason reason, int error = 0) {
    refusal = TPictureRefusal{reason, error};
    return false;
  };
  TFileCheck check = CheckFile(path);
  switch (check.Result) {
    case TCheckResult::Accepted: break;
    case TCheckResult::NotJwcJwk: return refuse(TReason::NotJwcJwk);
    case TCheckResult::NoSignature: return refuse(check.Kind == TFileKind::Drawing ? TReason::NotDrawing : TReason::NotPart);
    case TCheckResult::Unreadable: return refuse(TReason::Unreadable, check.Error);
  }
  load_ = LoadDocument(path, check.Kind, documents_->Refs(), path);
  if (!load_.Opened()) return refuse(TReason::Unreadable, load_.Failure.OpenError);
  TWriteOutcome notConverted;
  TConverted converted;
  if (!ConvertDocument(check.Kind, options, documents_->Refs(), hold_ == THold::Source, converted, notConverted)) {
    return refuse(TReason::TooLarge);
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
    return refuse(TReason::NothingDrawable);
  }
  return true;
}

TScene TPicture::Scene() const {
  if (kind_ == TFileKind::Drawing) return made_ ? SceneOf(*made_) : SceneOf(documents_->Jww);
  if (kind_ == TFileKind::Part) return SceneOf(documents_->Jws);
  return {};
}

}  // namespace torvane
