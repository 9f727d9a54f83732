#pragma once
// The uniform report of unexpected failures, and the step trap that raises it.
//
//   report::Trap trap("Form1.PushButton7_Click");
//   trap(100, [&] { ... });   // a failure shows "Application Error" and
//   trap(102, [&] { ... });   // the procedure goes on with the next step
//
// A trapped procedure called from another reports its own failures and returns
// normally. A callee without a trap lets its failure up to the caller's step.

#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace report {

// "description\r\nin Tavrix2021/08/31.NAME at line STEP\r\rPlease email screenshot ..."
std::string ReportText(std::string_view description, std::string_view qualified_name, int step);

// Shows the report: title "Application Error", exclamation icon, OK only.
void ShowReport(std::string_view description, std::string_view qualified_name, int step);
// How many reports this process has shown (the command line's exit status).
long ReportsShown();

// The description of a caught failure (ado::Error's description, what() otherwise).
std::string DescriptionOf(const std::exception_ptr& failure);

// Once the program is ending (main window closed), traps run no further step.
void RequestEnd();
bool EndRequested();
void ResetEndForTests();

class Trap {
 public:
  explicit Trap(std::string qualified_name) : name_(std::move(qualified_name)) {}

  // Runs one numbered step. Returns true when it completed; on a failure shows
  // the report and returns false, so that the caller goes on with the next step.
  template <typename Action>
  bool operator()(int step, Action&& action) {
    last_failure_ = nullptr;
    if (EndRequested()) return false;
    step_ = step;
    try {
      std::forward<Action>(action)();
      return true;
    } catch (...) {
      last_failure_ = std::current_exception();
      Report(last_failure_);
      return false;
    }
  }
  // The failure of the last step run: nothing when it completed or was not run.
  const std::exception_ptr& LastFailure() const { return last_failure_; }

  int CurrentStep() const { return step_; }
  const std::string& Name() const { return name_; }
  int Reports() const { return reports_; }

  // Reports a failure caught by the procedure itself at the current step.
  void Report(const std::exception_ptr& failure);

 private:
  std::string name_;
  int step_ = 0;
  int reports_ = 0;
  std::exception_ptr last_failure_;
};

}  // namespace report
