// The preview: a window of its own that shows the loaded drawing or part as the conversion writes
// it, on the screen's colours. Fits on opening and on Home, zooms about the pointer with the wheel,
// pans by dragging, shows the pointer's place in millimetres, and steps through a batch with
// Page Up and Page Down.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "convert/conversion.h"
#include "render/painter.h"
#include "render/picture.h"

class QLabel;

namespace torvane {

class TPreviewCanvas;

class TPreviewForm : public QWidget {
  Q_OBJECT

 public:
  explicit TPreviewForm(QWidget* owner);
  ~TPreviewForm() override;

  // Shows files[index] (none for an empty list) and keeps the list to step through.
  void ShowFiles(const std::vector<std::string>& files, int index, const TConversionOptions& options,
                 const TRenderStyle& style);
  // The next (+1) or previous (-1) file of the list, when there is one.
  void Step(int delta);
  void Fit();
  // Zooms by factor, keeping the point under position (canvas pixels) where it is.
  void ZoomAt(QPointF position, double factor);
  void PanBy(QPointF pixels);

  int Index() const { return index_; }
  // Millimetres to canvas pixels.
  const QTransform& View() const;
  QWidget* Canvas() const;
  QString StatusText() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ShowCurrent();
  void ShowPointer(QPointF position);

  TPreviewCanvas* canvas_ = nullptr;
  QLabel* status_ = nullptr;
  std::vector<std::string> files_;
  int index_ = 0;
  TConversionOptions options_;
  TRenderStyle style_;
  std::unique_ptr<TPicture> picture_;
  QString fileNote_;
};

}  // namespace torvane
