#include "platform/ui/qt/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace ui {
namespace {

QString KeyOf(const std::string& key) {
  return QStringLiteral("%1/%2").arg(SettingsStore::kSection, QString::fromStdString(key));
}

}  // namespace

QString SettingsStore::DefaultFile() {
  const QString override_file = qEnvironmentVariable("PELMORA_SETTINGS_FILE");
  if (!override_file.isEmpty()) return override_file;
  // The native format's name (…/Halvex/Pelmora.conf); on Linux its content is INI.
  QSettings user(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kApplication);
  return user.fileName();
}

SettingsStore::SettingsStore(const QString& file) : file_(file) {
  // The folder is private too when we make it.
  const QString folder = QFileInfo(file_).absolutePath();
  if (!QDir(folder).exists()) {
    QDir().mkpath(QFileInfo(folder).absolutePath());
    QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  KeepPrivate();
  settings_ = std::make_unique<QSettings>(file_, QSettings::IniFormat);
}

SettingsStore::~SettingsStore() {
  settings_->sync();
  KeepPrivate();
}

// Creates the file with mode 0600 when it is missing, so the first write never
// leaves it readable by others, and restores 0600 on an existing one.
void SettingsStore::KeepPrivate() const {
  const QByteArray path = QFile::encodeName(file_);
  int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ::fchmod(fd, 0600);
    ::close(fd);
  } else {
    ::chmod(path.constData(), 0600);
  }
}

std::string SettingsStore::Read(const std::string& key, const std::string& default_text) const {
  const QVariant value = settings_->value(KeyOf(key));
  if (!value.isValid()) return default_text;
  // A hand-edited value with unquoted commas reads back as a list.
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(',').toStdString();
  return value.toString().toStdString();
}

void SettingsStore::Write(const std::string& key, const std::string& text) {
  settings_->setValue(KeyOf(key), QString::fromStdString(text));
  settings_->sync();
  KeepPrivate();
}

bool SettingsStore::Contains(const std::string& key) const { return settings_->contains(KeyOf(key)); }

}  // namespace ui
