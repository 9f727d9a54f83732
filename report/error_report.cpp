#include "report/error_report.h"

#include <atomic>

#include "platform/ado/error.h"
#include "platform/ui/services.h"
#include "report/addresses.h"

namespace report {
namespace {
std::atomic<bool> g_end_requested{false};
std::atomic<long> g_reports_shown{0};
}  // namespace

std::string ReportText(std::string_view description, std::string_view qualified_name, int step) {
  std::string text(description);
  text += "\r\nin Tavrix2021/08/31.";
  text += qualified_name;
  text += " at line ";
  text += std::to_string(step);
  text += "\r\rPlease email screenshot of this message to ";
  text += addresses::kSupportEmail;
  return text;
}

long ReportsShown() { return g_reports_shown; }

void ShowReport(std::string_view description, std::string_view qualified_name, int step) {
  ++g_reports_shown;
  ui::Current().MessageBox(ReportText(description, qualified_name, step), ui::Buttons::Ok, ui::Icon::Exclamation,
                           "Application Error");
}

std::string DescriptionOf(const std::exception_ptr& failure) {
  if (!failure) return "Unknown error";
  try {
    std::rethrow_exception(failure);
  } catch (const ado::Error& e) {
    return e.Description();
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

void RequestEnd() { g_end_requested = true; }
bool EndRequested() { return g_end_requested; }
void ResetEndForTests() { g_end_requested = false; }

void Trap::Report(const std::exception_ptr& failure) {
  ++reports_;
  ShowReport(DescriptionOf(failure), name_, step_);
}

}  // namespace report
