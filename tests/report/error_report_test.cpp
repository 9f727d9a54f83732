#include "report/error_report.h"

#include <gtest/gtest.h>

#include "platform/ado/error.h"
#include "tests/support/scripted_services.h"

namespace {

using testing_support::ScriptedServices;

TEST(ErrorReport, TextHasDescriptionNameStepAndMailLine) {
  EXPECT_EQ(report::ReportText("Boom", "Form1.PushButton7_Click", 104),
            "Boom\r\nin Tavrix2021/08/31.Form1.PushButton7_Click at line 104\r\r"
            "Please email screenshot of this message to support@halvex.example");
  // An empty description starts with the line break; step 0 prints "0".
  EXPECT_TRUE(report::ReportText("", "PostgreSQL.AddTablesToPostgreSQLListbox", 0)
                  .starts_with("\r\nin Tavrix2021/08/31.PostgreSQL.AddTablesToPostgreSQLListbox at line 0\r\r"));
}

TEST(ErrorReport, FailingStepsReportInOrderAndTheProcedureGoesOn) {
  ScriptedServices services;
  report::Trap trap("Form1.PushButton7_Click");
  std::vector<int> ran;
  trap(100, [&] { ran.push_back(100); });
  trap(102, [&] { throw ado::Error(-1, "first"); });
  trap(104, [&] { ran.push_back(104); });
  trap(106, [&] { throw std::runtime_error("second"); });
  trap(108, [&] { ran.push_back(108); });

  EXPECT_EQ(ran, (std::vector<int>{100, 104, 108}));
  ASSERT_EQ(services.messages.size(), 2u);
  EXPECT_EQ(services.messages[0].title, "Application Error");
  EXPECT_EQ(services.messages[0].icon, ui::Icon::Exclamation);
  EXPECT_EQ(services.messages[0].buttons, ui::Buttons::Ok);
  EXPECT_NE(services.messages[0].text.find("first\r\n"), std::string::npos);
  EXPECT_NE(services.messages[0].text.find("at line 102\r\r"), std::string::npos);
  EXPECT_NE(services.messages[1].text.find("second\r\n"), std::string::npos);
  EXPECT_NE(services.messages[1].text.find("at line 106\r\r"), std::string::npos);
}

TEST(ErrorReport, NestedTrapReportsUnderItsOwnNameAndReturnsNormally) {
  ScriptedServices services;
  report::Trap outer("Form1.PushButton7_Click");
  bool after = false;
  outer(106, [&] {
    report::Trap inner("PostgreSQL.AddTablesToPostgreSQLListbox");
    inner(108, [] { throw std::runtime_error("inner failure"); });
  });
  outer(108, [&] { after = true; });
  EXPECT_TRUE(after);
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_NE(services.messages[0].text.find("PostgreSQL.AddTablesToPostgreSQLListbox at line 108"),
            std::string::npos);
}

TEST(ErrorReport, NoStepRunsOnceTheProgramIsEnding) {
  ScriptedServices services;
  report::Trap trap("Form1.PushButton7_Click");
  report::RequestEnd();
  bool ran = false;
  EXPECT_FALSE(trap(100, [&] { ran = true; }));
  report::ResetEndForTests();
  EXPECT_FALSE(ran);
}

}  // namespace
