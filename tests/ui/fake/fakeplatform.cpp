#include "fakeplatform.h"

namespace torvane::test {

namespace {

template <typename T>
T Next(std::deque<T>& answers, T unscripted) {
  if (answers.empty()) return unscripted;
  unscripted = std::move(answers.front());
  answers.pop_front();
  return unscripted;
}

}  // namespace

TBoxButton TFakePlatform::ShowMessage(const TMessageBox& box) {
  Boxes.push_back(box);
  return Next(BoxAnswers, box.EscapeButton());
}

std::optional<std::vector<std::string>> TFakePlatform::OpenFiles(const std::vector<TFileFilter>& filters) {
  OpenRequests.push_back(filters);
  return Next<std::optional<std::vector<std::string>>>(OpenAnswers, std::nullopt);
}

std::optional<TSaveChoice> TFakePlatform::SaveFile(const std::string& proposed,
                                                   const std::vector<TFileFilter>& filters) {
  SaveRequests.push_back(proposed);
  SaveFilters.push_back(filters);
  std::optional<std::string> path = Next<std::optional<std::string>>(SaveAnswers, std::nullopt);
  std::size_t filter = Next<std::size_t>(SaveFilterAnswers, 0);
  if (!path) return std::nullopt;
  return TSaveChoice{*path, filter};
}

std::optional<std::string> TFakePlatform::BrowseFolder(const std::string& title, const std::string& root,
                                                       const std::string& folder) {
  FolderRequests.push_back({title, root, folder});
  return Next<std::optional<std::string>>(FolderAnswers, std::nullopt);
}

namespace {

class TFakeProgress final : public TProgress {
 public:
  explicit TFakeProgress(TFakePlatform& fake) : fake_(fake) {}
  bool Next(int file, const std::string& name) override {
    fake_.ProgressSteps.emplace_back(file, name);
    if (fake_.OnStep) fake_.OnStep();
    return static_cast<int>(fake_.ProgressSteps.size()) - 1 != fake_.StopAtStep;
  }

 private:
  TFakePlatform& fake_;
};

}  // namespace

std::unique_ptr<TProgress> TFakePlatform::StartProgress(QWidget&, int total) {
  ProgressTotals.push_back(total);
  return std::make_unique<TFakeProgress>(*this);
}

}  // namespace torvane::test
