#pragma once
// The per-user settings store: text values under organisation "Halvex",
// application "Pelmora", section "Pelmora" (on Linux ~/.config/Halvex/Pelmora.conf).
//
// The store holds the passwords as typed, so its file is made readable and
// writable by its owner only (0600) before anything is written to it, and is put
// back to 0600 after every write. Every write reaches the file at once.
// PELMORA_SETTINGS_FILE, when set, names another file (the demo uses it so that
// the user's own settings stay untouched).

#include <QString>
#include <memory>
#include <string>

class QSettings;

namespace ui {

class SettingsStore {
 public:
  static constexpr const char* kOrganisation = "Halvex";
  static constexpr const char* kApplication = "Pelmora";
  static constexpr const char* kSection = "Pelmora";

  // The file the program uses: $PELMORA_SETTINGS_FILE, or the user's store.
  static QString DefaultFile();

  explicit SettingsStore(const QString& file = DefaultFile());
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // The stored text, or `default_text` when the key is absent.
  std::string Read(const std::string& key, const std::string& default_text) const;
  // Creates or replaces the value and writes the file.
  void Write(const std::string& key, const std::string& text);
  bool Contains(const std::string& key) const;

  const QString& FileName() const { return file_; }

 private:
  void KeepPrivate() const;

  QString file_;
  std::unique_ptr<QSettings> settings_;
};

}  // namespace ui
