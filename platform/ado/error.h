#pragma once
// Failures of the data-access layer, shaped as ADO raises them: a number and a
// description, and the kind of failure, set where the error is made. Callers
// test the kind (a refused statement, a missing provider); the description is
// only shown.

#include <stdexcept>
#include <string>

namespace ado {

// Error numbers we raise ourselves. Providers may raise others.
inline constexpr long kErrorProviderNotFound = 3706;   // adErrProviderNotFound
inline constexpr long kErrorObjectClosed = 3704;       // adErrObjectClosed
inline constexpr long kErrorObjectOpen = 3705;         // adErrObjectOpen
inline constexpr long kErrorNoCurrentRecord = 3021;    // BOF or EOF is true
inline constexpr long kErrorItemNotFound = 3265;       // field name or ordinal unknown
inline constexpr long kErrorCannotCreateObject = 429;  // unknown programmatic name
inline constexpr long kErrorProvider = -2147467259;    // E_FAIL, what providers report
inline constexpr long kErrorTimeout = -2147217871;     // DB_E_ABORTLIMITREACHED, query timeout

enum class ErrorKind {
  kOther,
  kStatementRefused,  // the target refused one statement; the connection is still usable
  kWriteFailed,       // the target could not write what it had taken: statements were lost
  kProviderMissing,   // no provider (or driver manager) for the connection string
  kLoginRefused,      // wrong user, password or database
  kTimeout,           // a query or login time-out ran out
  kIo,                // the file or the network failed
};

// The kind an error number implies when its maker says nothing more.
constexpr ErrorKind KindOfNumber(long number) {
  if (number == kErrorProviderNotFound) return ErrorKind::kProviderMissing;
  if (number == kErrorTimeout) return ErrorKind::kTimeout;
  return ErrorKind::kOther;
}

class Error : public std::runtime_error {
 public:
  Error(long number, std::string description)
      : Error(number, std::move(description), KindOfNumber(number)) {}
  Error(long number, std::string description, ErrorKind kind, long statements_lost = 0)
      : std::runtime_error(description),
        number_(number),
        description_(std::move(description)),
        kind_(kind),
        statements_lost_(statements_lost) {}

  long Number() const { return number_; }
  const std::string& Description() const { return description_; }
  ErrorKind Kind() const { return kind_; }
  // kWriteFailed: the statements the failed write lost, this one included.
  long StatementsLost() const { return statements_lost_; }

 private:
  long number_;
  std::string description_;
  ErrorKind kind_;
  long statements_lost_;
};

// The text ADO shows when a connection string names a provider that is not installed.
inline constexpr const char* kProviderNotFoundText =
    "Provider cannot be found. It may not be properly installed.";

}  // namespace ado
