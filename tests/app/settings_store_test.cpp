// The settings store: exact text round trips, defaults, the private file mode,
// and the file that PELMORA_SETTINGS_FILE names.
#include "platform/ui/qt/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>

#include "tests/app/app_fixture.h"

namespace {

using app_testing::AppTest;

int ModeOf(const QString& path) {
  struct stat info {};
  if (::stat(QFile::encodeName(path).constData(), &info) != 0) return -1;
  return int(info.st_mode & 07777);
}

class SettingsStore : public AppTest {};

TEST_F(SettingsStore, AbsentKeysGiveTheDefaultAndTextsRoundTripExactly) {
  const std::vector<std::string> texts = {"",           "  padded  ", "a;b=c", "\"quoted\"", "with,comma",
                                          "C:\\path\\x", "pässwörd",  "@Variant(x)", "#hash", "[section]"};
  {
    ui::SettingsStore store(settings_file_);
    EXPECT_EQ(store.Read("Missing", "fallback"), "fallback");
    for (size_t i = 0; i < texts.size(); ++i) store.Write("Key" + std::to_string(i), texts[i]);
  }
  ui::SettingsStore reopened(settings_file_);
  for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(reopened.Read("Key" + std::to_string(i), "?"), texts[i]);
  EXPECT_TRUE(reopened.Contains("Key0"));
  EXPECT_FALSE(reopened.Contains("Missing"));
}

TEST_F(SettingsStore, WritesReachTheFileAtOnceInSectionPelmora) {
  ui::SettingsStore store(settings_file_);
  store.Write("PostgreSQLServer", "db1");
  QFile file(settings_file_);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  EXPECT_TRUE(text.contains("[Pelmora]")) << text.toStdString();
  EXPECT_TRUE(text.contains("PostgreSQLServer=db1")) << text.toStdString();
}

TEST_F(SettingsStore, FileIsPrivateFromTheStartAndStaysSo) {
  const mode_t old_mask = ::umask(022);
  {
    ui::SettingsStore store(settings_file_);
    EXPECT_EQ(ModeOf(settings_file_), 0600);
    store.Write("PostgreSQLPassword", "secret");
    EXPECT_EQ(ModeOf(settings_file_), 0600);
    // Someone opened it up; the next write closes it again.
    ::chmod(QFile::encodeName(settings_file_).constData(), 0644);
    store.Write("PostgreSQLPassword", "secret2");
    EXPECT_EQ(ModeOf(settings_file_), 0600);
  }
  // An existing readable file is made private when the store opens it.
  const QString other = QString::fromStdString(folder_ + "/other.conf");
  QFile existing(other);
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.write("[Pelmora]\nPostgreSQLUser=anna\n");
  existing.close();
  ::chmod(QFile::encodeName(other).constData(), 0644);
  ui::SettingsStore store(other);
  EXPECT_EQ(ModeOf(other), 0600);
  EXPECT_EQ(store.Read("PostgreSQLUser", ""), "anna");
  ::umask(old_mask);
}

TEST_F(SettingsStore, NewFolderIsPrivateToo) {
  const QString nested = QString::fromStdString(folder_ + "/Halvex/Pelmora.conf");
  ui::SettingsStore store(nested);
  store.Write("Check1", "1");
  EXPECT_EQ(ModeOf(QString::fromStdString(folder_ + "/Halvex")), 0700);
  EXPECT_EQ(ModeOf(nested), 0600);
}

TEST_F(SettingsStore, EnvironmentNamesAnotherFileElseTheUsersStore) {
  const QByteArray saved = qgetenv("PELMORA_SETTINGS_FILE");
  qputenv("PELMORA_SETTINGS_FILE", settings_file_.toLocal8Bit());
  EXPECT_EQ(ui::SettingsStore::DefaultFile(), settings_file_);
  qunsetenv("PELMORA_SETTINGS_FILE");
  EXPECT_TRUE(ui::SettingsStore::DefaultFile().endsWith("/Halvex/Pelmora.conf"))
      << ui::SettingsStore::DefaultFile().toStdString();
  if (!saved.isNull()) qputenv("PELMORA_SETTINGS_FILE", saved);
}

TEST_F(SettingsStore, ValuesWrittenByHandAreReadAsText) {
  QFile file(settings_file_);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("[Pelmora]\nPostgreSQLPort=5433\nAccessMDBFile=/tmp/a,b.mdb\nAccessPassword=\n");
  file.close();
  ui::SettingsStore store(settings_file_);
  EXPECT_EQ(store.Read("PostgreSQLPort", ""), "5433");
  EXPECT_EQ(store.Read("AccessMDBFile", ""), "/tmp/a,b.mdb");
  EXPECT_EQ(store.Read("AccessPassword", "x"), "");
}

}  // namespace
