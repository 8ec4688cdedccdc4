// The desktop services of the window program, with Qt's own dialogs and the program's help window.
#pragma once

#include <QPointer>
#include <QTextBrowser>
#include <string>

#include "ui/platform.h"

namespace torvane {

class TQtPlatform : public TPlatform {
 public:
  // helpFile: the help document's path (HelpFilePath).
  explicit TQtPlatform(std::string helpFile) : helpFile_(std::move(helpFile)) {}
  ~TQtPlatform() override;

  TBoxButton ShowMessage(const TMessageBox& box) override;
  void Beep() override;
  void Focus(QWidget& window) override;
  std::optional<std::vector<std::string>> OpenFiles(const std::vector<TFileFilter>& filters) override;
  std::optional<TSaveChoice> SaveFile(const std::string& proposed, const std::vector<TFileFilter>& filters) override;
  std::optional<std::string> BrowseFolder(const std::string& title, const std::string& root,
                                          const std::string& folder) override;
  std::vector<std::string> JapaneseFontFamilies() override;
  void ShowHelp(THelpTopic topic) override;
  std::unique_ptr<TProgress> StartProgress(QWidget& window, int total) override;

  // The help window, once it has been opened.
  QTextBrowser* HelpWindow() const { return help_; }

 private:
  std::string helpFile_;
  QPointer<QTextBrowser> help_;
};

}  // namespace torvane
