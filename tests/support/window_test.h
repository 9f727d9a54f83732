#pragma once
// What every window test starts from: the one application, no end of the
// program requested, the window pointers reset, the program's title, and a
// scratch folder named after the test.

#include <gtest/gtest.h>

#include <string>

#include "platform/ui/qt/window_pointers.h"
#include "platform/ui/services.h"
#include "report/error_report.h"
#include "tests/support/environment.h"
#include "tests/support/test_application.h"

namespace testing_support {

// The running test's name, usable as a folder name.
inline std::string TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  return name;
}

// Returns the test's scratch folder.
inline std::string StartWindowTest() {
  TestApplication();
  report::ResetEndForTests();
  ui::WindowPointers::Reset();
  ui::SetApplicationTitle("Pelmora");
  return ScratchFolder(TestName());
}

}  // namespace testing_support
