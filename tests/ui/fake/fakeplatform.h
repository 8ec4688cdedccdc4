// A scripted stand-in for the desktop: dialogs and boxes answer from queues the test fills, and
// every request is recorded. An unscripted box answers as its title-bar close button would, an
// unscripted dialog as Cancel.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/platform.h"

namespace torvane::test {

struct TFolderRequest {
  std::string Title, Root, Folder;
};

class TFakePlatform : public TPlatform {
 public:
  std::deque<TBoxButton> BoxAnswers;
  std::vector<TMessageBox> Boxes;

  std::deque<std::optional<std::vector<std::string>>> OpenAnswers;
  std::vector<std::vector<TFileFilter>> OpenRequests;
  std::deque<std::optional<std::string>> SaveAnswers;
  std::deque<std::size_t> SaveFilterAnswers;  // the file type chosen; the first when none is left
  std::vector<std::string> SaveRequests;
  std::vector<std::vector<TFileFilter>> SaveFilters;
  std::deque<std::optional<std::string>> FolderAnswers;
  std::vector<TFolderRequest> FolderRequests;

  std::vector<std::string> Families;
  std::vector<THelpTopic> HelpRequests;
  int Beeps = 0;
  int Focuses = 0;
  // The totals of the batches started, and each step of their progress: the file's index and name.
  std::vector<int> ProgressTotals;
  std::vector<std::pair<int, std::string>> ProgressSteps;
  // The step (counted over all batches, from 0) at which the user presses 中止; -1: never.
  int StopAtStep = -1;
  // Called on every step of a batch's progress, to look at the window in the middle of a command.
  std::function<void()> OnStep;

  TBoxButton ShowMessage(const TMessageBox& box) override;
  void Beep() override { ++Beeps; }
  void Focus(QWidget&) override { ++Focuses; }
  std::optional<std::vector<std::string>> OpenFiles(const std::vector<TFileFilter>& filters) override;
  std::optional<TSaveChoice> SaveFile(const std::string& proposed, const std::vector<TFileFilter>& filters) override;
  std::optional<std::string> BrowseFolder(const std::string& title, const std::string& root,
                                          const std::string& folder) override;
  std::vector<std::string> JapaneseFontFamilies() override { return Families; }
  void ShowHelp(THelpTopic topic) override { HelpRequests.push_back(topic); }
  std::unique_ptr<TProgress> StartProgress(QWidget& window, int total) override;
};

}  // namespace torvane::test
