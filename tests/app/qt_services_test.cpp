// The Qt realisation of the services: what the message box and the file dialog
// show and answer, and the ending of the program.
#include "platform/ui/qt/qt_services.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include "tests/app/app_fixture.h"

namespace {

// Runs `inspect` on the modal dialog of type T once it is up.
template <typename T>
void WhenShown(std::function<void(T*)> inspect) {
  auto attempt = std::make_shared<std::function<void()>>();
  *attempt = [inspect, attempt] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<T*>(top); dialog && dialog->isVisible()) {
        inspect(dialog);
        return;
      }
    }
    QTimer::singleShot(10, *attempt);
  };
  QTimer::singleShot(0, *attempt);
}

class QtServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_testing::TestApplication();
    ui::SetApplicationTitle("Pelmora");
  }
  ui::Services& base() { return services_; }  // with the interface's default arguments
  ui::QtServices services_;
};

TEST_F(QtServicesTest, MessageBoxShowsPlainTextWithLineBreaksAndTheApplicationTitle) {
  QString text, title;
  Qt::TextFormat format = Qt::AutoText;
  QMessageBox::Icon icon = QMessageBox::Information;
  int buttons = 0;
  WhenShown<QMessageBox>([&](QMessageBox* box) {
    text = box->text();
    title = box->windowTitle();
    format = box->textFormat();
    icon = box->icon();
    buttons = int(box->buttons().size());
    box->button(QMessageBox::Ok)->click();
  });
  EXPECT_EQ(base().MessageBox("<b>a</b>\r\nin x\r\rPlease"), ui::Answer::Ok);
  EXPECT_EQ(text, "<b>a</b>\nin x\n\nPlease");
  EXPECT_EQ(title, "Pelmora");
  EXPECT_EQ(format, Qt::PlainText);
  EXPECT_EQ(icon, QMessageBox::NoIcon);
  EXPECT_EQ(buttons, 1);
}

TEST_F(QtServicesTest, ReportBoxHasItsTitleWarningIconAndOneButton) {
  QString title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
  WhenShown<QMessageBox>([&](QMessageBox* box) {
    title = box->windowTitle();
    icon = box->icon();
    buttons = int(box->buttons().size());
    box->button(QMessageBox::Ok)->click();
  });
  ui::SetCurrent(&services_);
  report::ShowReport("Boom", "Form1.Form_Load", 106);
  ui::SetCurrent(nullptr);
  EXPECT_EQ(title, "Application Error");
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(buttons, 1);
}

TEST_F(QtServicesTest, QuestionsAnswerYesOrNo) {
  WhenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
  EXPECT_EQ(base().MessageBox("Overwrite?", ui::Buttons::YesNo), ui::Answer::Yes);
  WhenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
  EXPECT_EQ(base().MessageBox("Overwrite?", ui::Buttons::YesNo), ui::Answer::No);
  WhenShown<QMessageBox>([](QMessageBox* box) { box->reject(); });  // Escape, or the close button
  EXPECT_EQ(base().MessageBox("Overwrite?", ui::Buttons::YesNo, ui::Icon::None, "Own title"), ui::Answer::No);
}

TEST_F(QtServicesTest, FileDialogShowsTitleAndFiltersAndCancelGivesNothing) {
  const std::string folder = testing_support::ScratchFolder("QtServicesTest.FileDialog");
  const std::string chosen = folder + "/My Data.ACCDB";
  QFile(QString::fromStdString(chosen)).open(QIODevice::WriteOnly);
  QString title;
  QStringList filters;
  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    title = dialog->windowTitle();
    filters = dialog->nameFilters();
    dialog->reject();
  });
  ui::FileDialogRequest request{"Select Access Database",
                                "All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database (*.mdb)|*.mdb|"
                                "Microsoft 2007 Database (*.accdb)|*.accdb|",
                                0x280001};
  EXPECT_EQ(services_.OpenFileDialog(request), std::nullopt);
  EXPECT_EQ(title, "Select Access Database");
  EXPECT_EQ(filters.size(), 3);

  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    dialog->selectFile(QString::fromStdString(chosen));
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_EQ(services_.OpenFileDialog(request), chosen);
}

TEST_F(QtServicesTest, RandomDrawsStayBelowOneAndProgramFolderIsTheExecutables) {
  for (int i = 0; i < 1000; ++i) {
    const double r = services_.Random();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
  }
  EXPECT_EQ(services_.ProgramFolder(), QCoreApplication::applicationDirPath().toStdString());
}

}  // namespace
