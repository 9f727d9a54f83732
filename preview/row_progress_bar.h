#pragma once
// The SQL Preview's progress bar: a caption of the program's choosing over the
// bar, like the main window's, but made for a caption that changes with every
// row of a million-row pass. The caption is stored at once; the repaint is
// asked for once until it has happened, so the pass pays for a string copy per
// row and the screen still shows the latest caption at every repaint.

#include <QProgressBar>
#include <string>
#include <string_view>

namespace preview {

class RowProgressBar : public QProgressBar {
 public:
  explicit RowProgressBar(QWidget* parent);
  void SetCaption(std::string_view caption);
  const std::string& Caption() const { return caption_; }
  QString text() const override { return QString::fromStdString(caption_); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string caption_;
  bool repaint_asked_ = false;
};

}  // namespace preview
