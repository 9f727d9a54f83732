#pragma once
// A scripted target for tests and benchmarks: an ado provider that keeps a set
// of table names, accepts DROP TABLE / CREATE TABLE / INSERT INTO the way an
// Access file does (a CREATE of an existing table, a DROP or INSERT of a
// missing one are refused), refuses chosen statements as the Access provider
// does (a refused statement, "SQLException: ..."), and fails chosen ones with
// another kind of failure (a broken disk). Attach it to an ado::Connection
// with AttachProvider.
//
//   auto target = std::make_shared<FakeTarget>();
//   target->refuse["INSERT INTO \"t\" VALUES(5)"] = "SQLException: bad value";
//   connection.AttachProvider(std::make_unique<FakeProvider>(target));

#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/error.h"
#include "platform/ado/provider.h"

namespace testing_support {

struct FakeTarget {
  std::set<std::string> tables;             // lower-cased names
  std::vector<std::string> executed;        // every accepted statement, in order
  std::map<std::string, std::string> refuse;  // statement -> description of the refusal
  std::map<std::string, std::string> fail;    // statement -> description of an I/O failure
  // Called before every statement (after the refusal table); may throw.
  std::function<void(std::string_view)> before_execute;
  bool keep_log = true;  // benchmarks switch the log off
  long long accepted = 0;
  long long refused = 0;
  bool closed = false;

  void Refuse(const std::string& description) {
    ++refused;
    throw ado::Error(ado::kErrorProvider, description, ado::ErrorKind::kStatementRefused);
  }

  static std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
  }
  // The quoted name after the statement's leading words, lower-cased.
  static std::string NameAfter(std::string_view text, size_t words_length) {
    std::string_view rest = text.substr(words_length);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (rest.empty() || rest.front() != '"') return {};
    const size_t end = rest.find('"', 1);
    if (end == std::string_view::npos) return {};
    return Lower(rest.substr(1, end - 1));
  }
  static bool StartsWith(std::string_view text, std::string_view words) {
    return text.size() >= words.size() && Lower(text.substr(0, words.size())) == Lower(words);
  }

  void Execute(std::string_view text) {
    if (auto it = refuse.find(std::string(text)); it != refuse.end()) Refuse(it->second);
    if (auto it = fail.find(std::string(text)); it != fail.end())
      throw ado::Error(ado::kErrorProvider, it->second, ado::ErrorKind::kIo);
    if (before_execute) before_execute(text);
    if (StartsWith(text, "CREATE TABLE")) {
      const std::string name = NameAfter(text, 12);
      if (tables.count(name)) Refuse("SQLException: Table '" + name + "' already exists.");
      tables.insert(name);
    } else if (StartsWith(text, "DROP TABLE")) {
      const std::string name = NameAfter(text, 10);
      if (!tables.erase(name)) Refuse("SQLException: Table '" + name + "' does not exist.");
    } else if (StartsWith(text, "INSERT INTO")) {
      const std::string name = NameAfter(text, 11);
      if (!tables.count(name)) Refuse("SQLException: The table '" + name + "' cannot be found.");
    } else {
      Refuse("SQLException: Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
    }
    ++accepted;
    if (keep_log) executed.emplace_back(text);
  }
};

class FakeProvider : public ado::ProviderConnection {
 public:
  explicit FakeProvider(std::shared_ptr<FakeTarget> target) : target_(std::move(target)) {}
  std::unique_ptr<ado::Cursor> Execute(std::string_view text) override {
    target_->Execute(text);
    return nullptr;
  }
  std::unique_ptr<ado::Cursor> OpenSchema(int) override {
    throw ado::Error(3251, "Object or provider is not capable of performing requested operation.");
  }
  void Close() override { target_->closed = true; }

 private:
  std::shared_ptr<FakeTarget> target_;
};

// An open connection on a fresh scripted target.
inline std::unique_ptr<ado::Connection> FakeConnection(const std::shared_ptr<FakeTarget>& target) {
  auto connection = std::make_unique<ado::Connection>();
  connection->AttachProvider(std::make_unique<FakeProvider>(target));
  return connection;
}

}  // namespace testing_support
