#include "preview/row_progress_bar.h"

namespace preview {

RowProgressBar::RowProgressBar(QWidget* parent) : QProgressBar(parent) {
  setRange(0, 100);
  setValue(0);
  setTextVisible(true);
  setAlignment(Qt::AlignCenter);
}

void RowProgressBar::SetCaption(std::string_view caption) {
  caption_.assign(caption);
  // A hidden bar asks in vain, but showing it repaints it (and clears the flag).
  if (!repaint_asked_ || !isVisible()) {
    repaint_asked_ = isVisible();
    update();
  }
}

void RowProgressBar::paintEvent(QPaintEvent* event) {
  repaint_asked_ = false;
  QProgressBar::paintEvent(event);
}

}  // namespace preview
