#pragma once
// The one QApplication of a Qt test program: offscreen unless QT_QPA_PLATFORM
// says otherwise, Fusion style so that sizes do not depend on the desktop.

#include <QApplication>
#include <QStyleFactory>

namespace testing_support {

inline QApplication& TestApplication() {
  static QApplication* application = [] {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "pelmora_tests";
    static char* argv[] = {name, nullptr};
    auto* created = new QApplication(argc, argv);  // lives as long as the test program
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    return created;
  }();
  return *application;
}

}  // namespace testing_support
