#include "db/access.h"

#include "db/file_exists.h"
#include "platform/ado/data_type.h"
#include "platform/ado/error.h"
#include "platform/ado/recordset.h"
#include "platform/ui/services.h"
#include "report/addresses.h"

namespace db {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

std::string AccessConnectionString(const db::TargetFields& window, std::string_view path,
                                   std::string_view password) {
  if (path.empty()) {
    path = window.path;
    password = window.password;
  }
  std::string_view ending = path.size() > 5 ? path.substr(path.size() - 5) : path;
  std::string out = Lower(ending) == "accdb" ? "Provider=Microsoft.ACE.OLEDB.12.0;Data Source="
                                             : "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=";
  out += path;
  out += ";JET OLEDB:Database Password=";
  out += password;
  return out;
}

std::optional<std::vector<std::string>> GetAccessTables(const std::string& path, const db::TargetFields& window) {
  auto connection = ado::CreateConnection("ADODB.Connection");
  auto recordset = ado::CreateRecordset("ADODB.RecordSet");
  if (!db::FileExists(path)) return std::nullopt;
  connection->Open(AccessConnectionString(window));
  recordset = connection->OpenSchema(ado::adSchemaTables);
  std::vector<std::string> names;
  while (!recordset->Eof()) {
    if (recordset->Fields("TABLE_TYPE").Value().ToText() == "TABLE")
      names.push_back(recordset->Fields("TABLE_NAME").Value().ToText());
    recordset->MoveNext();
  }
  recordset->Close();
  connection->Close();
  return names;
}

bool AddTablesToAccessListbox(db::ListBox& list, const std::string& path, const db::TargetFields& window) {
  list.Clear();
  auto tables = GetAccessTables(path, window);
  if (!tables) return false;
  list.Clear();
  for (const std::string& name : *tables) {
    ui::Current().ProcessEvents();
    list.AddItem(name);
  }
  return true;
}

std::string EngineAdvisory() {
  const std::string paragraphs[] = {
      "Error #3706: Provider cannot be found. It may not be properly installed.",
      "You are getting this error because:",
      "1. Microsoft Access is not installed on your computer.",
      "2. A set of Microsoft components to transfer data is not installed on your computer.",
      "You need to download and install Microsoft Access Database Engine 2010 or 2016 to solve this problem.",
      "Would you like me to open the Microsoft site now so you can do this?",
      std::string("(If you have any further questions please email a screenshot of this error message to ") +
          addresses::kSupportEmail + ")",
  };
  std::string text;
  for (const auto& paragraph : paragraphs) {
    if (!text.empty()) text += "\r\n\r\n";
    text += paragraph;
  }
  return text;
}

bool CheckDatabaseComponents(const std::function<void()>& provider_missing,
                             const ConnectionFactory& create_connection) {
  try {
    auto connection = create_connection ? create_connection() : ado::CreateConnection("ADODB.Connection");
    return true;
  } catch (const ado::Error& e) {
    if (e.Kind() != ado::ErrorKind::kProviderMissing) return false;
  } catch (...) {
    return false;
  }
  try {
    if (provider_missing) provider_missing();
  } catch (...) {
    // The check ignores every failure; the program ends either way.
  }
  return false;
}

}  // namespace db
