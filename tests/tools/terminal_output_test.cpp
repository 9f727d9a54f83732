// What pelmora-convert prints on a terminal: a report never starts on the
// progress line, a quiet run prints only reports, and the tools say their
// version.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/environment.h"
#include "tools/convert/cli_services.h"
#include "tools/convert/cli_window.h"
#include "tools/convert/terminal_line.h"

namespace {

std::string Contents(FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string out;
  for (int c; (c = std::fgetc(f)) != EOF;) out += static_cast<char>(c);
  return out;
}

TEST(TerminalOutput, AReportEndsTheProgressLineFirst) {
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  convert::TerminalLine line(err);
  convert::CliServices services(err, &line);
  line.Draw("orders [....] 0 of 4 rows  0 rows/s");
  services.MessageBox("SQLException: refused", ui::Buttons::Ok, ui::Icon::Exclamation, "Application Error");
  line.Draw("orders [####] 4 of 4 rows  9 rows/s");
  line.End();
  line.End();  // ending twice adds nothing
  EXPECT_EQ(Contents(err),
            "\r\033[Korders [....] 0 of 4 rows  0 rows/s\nSQLException: refused\n"
            "\r\033[Korders [####] 4 of 4 rows  9 rows/s\n");
  EXPECT_EQ(Contents(out), "");
  // A question no one can answer here is answered No.
  EXPECT_EQ(services.MessageBox("Go on?", ui::Buttons::YesNo, ui::Icon::None, ""), ui::Answer::No);

  // A quiet run says "Done." nowhere; the window prints it otherwise.
  FILE* quiet_out = std::tmpfile();
  FILE* quiet_err = std::tmpfile();
  convert::CliWindow quiet({}, {}, {}, false, {.out = quiet_out, .err = quiet_err, .quiet = true});
  quiet.RunDone();
  quiet.TargetNotFound();
  EXPECT_EQ(Contents(quiet_out), "");
  EXPECT_EQ(Contents(quiet_err), "Unable to access the database\n");
  FILE* loud_out = std::tmpfile();
  convert::CliWindow loud({}, {}, {}, false, {.out = loud_out, .err = quiet_err});
  loud.RunDone();
  EXPECT_EQ(Contents(loud_out), "Done.\n");
  for (FILE* f : {out, err, quiet_out, quiet_err, loud_out}) std::fclose(f);
}

TEST(TerminalOutput, BothToolsPrintTheProjectVersion) {
  for (const char* tool : {"pelmora-convert", "pelmora-access"}) {
    std::string out;
    EXPECT_EQ(testing_support::RunCommand(std::string(PELMORA_RUNTIME_DIR) + "/" + tool + " --version", &out), 0);
    EXPECT_EQ(out, std::string(tool) + " " + PELMORA_VERSION + "\n");
  }
}

}  // namespace
