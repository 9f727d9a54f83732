// The clipboard procedures, the two copy buttons and the mail link.
#include "preview/clipboard.h"
#include "preview/mail_link.h"
#include "tests/preview/preview_fixture.h"

namespace {

using preview_testing::PreviewTest;

const char* const kSqlCopied =
    "Results have been copied to the clipboard.\r\rClick a text area where you normally type and press Ctrl+V to "
    "paste the clipboard.";
const char* const kErrorCopied =
    "Error message have been copied to the clipboard.\r\rClick a text area where you normally type and press Ctrl+V "
    "to paste the clipboard.";

class Clipboard : public PreviewTest {};

TEST_F(Clipboard, TickedRowsWithoutTrailingSpacesEachEndingInCrLf) {
  preview::StatementList list;
  for (const char* text : {"first  ", "skipped", "   ", "a \tb", ""}) list.Append(text);
  EXPECT_EQ(preview::TickedRowsText(list), "");
  list.SetTicked(1, true);
  list.SetTicked(3, true);
  list.SetTicked(4, true);
  list.SetTicked(5, true);
  EXPECT_EQ(preview::TickedRowsText(list), "first\r\n\r\na \tb\r\n\r\n");
  // One yield per row and one per column visited.
  services_.events_processed = 0;
  preview::TickedRowsText(list);
  EXPECT_EQ(services_.events_processed, 5 + 4);
}

TEST_F(Clipboard, RetriesUpToAThousandAttemptsWithoutAWord) {
  services_.clipboard = "old";
  services_.clipboard_failures = 999;
  preview::ClearClipboard();
  EXPECT_EQ(services_.clipboard_calls, 1000);
  EXPECT_EQ(services_.clipboard, "");

  services_.clipboard_calls = 0;
  services_.clipboard_failures = 1000;
  preview::SetClipboardText("new", 0);
  EXPECT_EQ(services_.clipboard_calls, 1000);
  EXPECT_EQ(services_.clipboard, "");  // every attempt failed: no effect
  services_.clipboard_failures = 2;
  preview::SetClipboardText("new", 1);
  EXPECT_EQ(services_.clipboard, "new");
  EXPECT_TRUE(services_.messages.empty());
}

TEST_F(Clipboard, CopySqlButton) {
  // An empty list: the clipboard is not touched, the message still shows.
  services_.clipboard = "kept";
  Fill({});
  Show([](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.copy_sql_button->click();
    ui.back_button->click();
  });
  EXPECT_EQ(services_.clipboard, "kept");
  EXPECT_EQ(services_.clipboard_calls, 0);
  // Rows, none ticked: an empty text. Then two ticked rows.
  std::string none_ticked;
  Fill({"DROP TABLE \"a\"  ", "CREATE TABLE \"a\" (\"x\" INTEGER);", "INSERT INTO \"a\" VALUES(1)"});
  Show([&](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.copy_sql_button->click();
    none_ticked = services_.clipboard;
    w.Model().setData(w.Model().index(0), Qt::Checked, Qt::CheckStateRole);
    w.Model().setData(w.Model().index(2), Qt::Checked, Qt::CheckStateRole);
    ui.copy_sql_button->click();
    ui.back_button->click();
  });
  EXPECT_EQ(none_ticked, "");
  EXPECT_EQ(services_.clipboard, "DROP TABLE \"a\"\r\nINSERT INTO \"a\" VALUES(1)\r\n");
  EXPECT_EQ(services_.Texts(), std::vector<std::string>(3, kSqlCopied));
}

TEST_F(Clipboard, ErrorButtonsCopyAndMailTheErrorText) {
  Fill({"CREATE TABLE \"t\" (\"a\" INTEGER);"});
  Show([](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    // Spaces only: both buttons do nothing.
    ui.error_text->setPlainText("   ");
    ui.copy_error_button->click();
    ui.email_error_button->click();
    ui.back_button->click();
  });
  EXPECT_TRUE(services_.messages.empty());
  EXPECT_TRUE(services_.opened_urls.empty());
  EXPECT_EQ(services_.clipboard_calls, 0);

  target_->refuse["CREATE TABLE \"t\" (\"a\" INTEGER);"] = " SQLException: a & b?c=d #1\r\nline 2 ";
  Fill({"CREATE TABLE \"t\" (\"a\" INTEGER);"});
  Show([](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.execute_button->click();
    ui.copy_error_button->click();
    ui.email_error_button->click();
    ui.back_button->click();
  });
  // Copied unchanged (not trimmed, line break kept).
  EXPECT_EQ(services_.clipboard, " SQLException: a & b?c=d #1\r\nline 2 ");
  EXPECT_EQ(services_.Texts(), (std::vector<std::string>{"Error found.", kErrorCopied}));
  ASSERT_EQ(services_.opened_urls.size(), 1u);
  EXPECT_EQ(services_.opened_urls[0],
            "mailto:support@halvex.example?subject=Pelmora&body=Here%20is%20the%20error%20message%20that%20I%20get%3A%20"
            "%0D%0A%20SQLException%3A%20a%20%26%20b%3Fc%3Dd%20%231%0D%0Aline%202%20");
}

TEST(MailLink, EncodesEverythingThatCouldCutOrExtendTheLink) {
  const std::string link = preview::ErrorMailLink("me@x.example", "Pel mora", "50% & ?subject=x#y\xC3\xA9");
  EXPECT_EQ(link,
            "mailto:me@x.example?subject=Pel%20mora&body=Here%20is%20the%20error%20message%20that%20I%20get%3A%20%0D%0A"
            "50%25%20%26%20%3Fsubject%3Dx%23y%C3%A9");
  // Exactly one "?" and one "&": the link has its two fields and no more.
  EXPECT_EQ(std::count(link.begin(), link.end(), '?'), 1);
  EXPECT_EQ(std::count(link.begin(), link.end(), '&'), 1);
  EXPECT_EQ(link.find('#'), std::string::npos);
  EXPECT_EQ(preview::PercentEncode("a\rb\nc\r\n"), "a%0D%0Ab%0D%0Ac%0D%0A");
  EXPECT_EQ(preview::PercentEncode("AZaz09-._~"), "AZaz09-._~");
}

}  // namespace
