#pragma once
// Failures of the data-access layer, shaped as ADO raises them: a number and a
// description. Callers test the number (3706) or search the description
// ("provider cannot be found", "SQLException"); everywhere else it is only shown.

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

class Error : public std::runtime_error {
 public:
  Error(long number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}

  long Number() const { return number_; }
  const std::string& Description() const { return description_; }

 private:
  long number_;
  std::string description_;
};

// The text ADO shows when a connection string names a provider that is not installed.
inline constexpr const char* kProviderNotFoundText =
    "Provider cannot be found. It may not be properly installed.";

}  // namespace ado
