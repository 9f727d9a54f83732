#pragma once
// Datatypes Conversion ("Form5" in error reports): the conversion log (table,
// field, source type, Access type), read only. The run fills it while the
// window is hidden; the rows are discarded when the window closes.

#include <QDialog>
#include <QPushButton>

#include "engine/conversion_log.h"
#include "preview/log_model.h"
#include "preview/report_list.h"

namespace preview {

inline constexpr const char* kListTooltip =
    "Click item to edit it. Move | line to right and out of window to reveal full names.";

class DatatypesConversionWindow : public QDialog {
 public:
  static constexpr const char* kName = "Form5";

  struct ControlSet {
    ReportList* log_view;      // ListView1
    QPushButton* back_button;  // PushButton5 "< Back"
  };

  DatatypesConversionWindow(engine::ConversionLog& log, QWidget* owner);

  // Loads the window invisibly unless it is loaded (the run touches its list).
  void Load();
  // Shows the rows modally; when the window closes they are discarded.
  void Open();
  bool Loaded() const { return loaded_; }

  void LoadWindow();  // Form5.Form_Load
  void Back();        // Form5.PushButton5_Click "< Back"

  // The controls, for tests and pictures that drive the window as a user would.
  const ControlSet& Controls() const { return ui_; }

 private:
  ControlSet ui_{};
  void Unload();

  engine::ConversionLog& log_;
  LogModel model_;
  bool loaded_ = false;
};

}  // namespace preview
