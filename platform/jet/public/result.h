#pragma once
// Errors inside the Access file engine are values: every exit stays visible at
// its call site, and a hostile file becomes a Corruption naming its page rather
// than a crash. (std::expected is not in GCC 12's C++20; the names mirror it.)

#include <cassert>
#include <cstddef>
#include <string>
#include <utility>
#include <variant>

namespace jet {

enum class ErrorCode {
  kIoError,        // the operating system refused a read, write or sync
  kCorruption,     // the file contradicts the format
  kNotSupported,   // a valid file or statement we cannot handle
  kSyntax,         // a statement we cannot parse
  kNotFound,       // a table or column that does not exist
  kAlreadyExists,  // a table that exists already
  kInvalidValue,   // a value that does not fit its column
  kLocked,         // another program holds the file
  kReadOnly,       // the file or folder cannot be written
  kWrongPassword,  // the database password does not match
  kTooLarge,       // the file would outgrow what Access allows
};

// What a failure means for the caller, set where the failure is made and
// never read back from the message.
enum class ErrorKind {
  kOther,
  kStatementRefused,  // one statement was refused and undone; earlier ones stand
  kWriteFailed,       // a commit failed: the statements since the last commit are lost
};

struct Error {
  ErrorCode code;
  std::string message;
  ErrorKind kind = ErrorKind::kOther;
  // kWriteFailed: how many statements the failed commit lost (0 when unknown).
  size_t statements_lost = 0;
};

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}
  Result(Error error) : v_(std::move(error)) {}

  bool has_value() const { return v_.index() == 0; }
  explicit operator bool() const { return has_value(); }
  T& value() & { assert(has_value()); return std::get<0>(v_); }
  const T& value() const& { assert(has_value()); return std::get<0>(v_); }
  T&& value() && { assert(has_value()); return std::get<0>(std::move(v_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const Error& error() const { assert(!has_value()); return std::get<1>(v_); }

 private:
  std::variant<T, Error> v_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::move(error)), ok_(false) {}
  bool has_value() const { return ok_; }
  explicit operator bool() const { return ok_; }
  const Error& error() const { assert(!ok_); return error_; }

 private:
  Error error_{};
  bool ok_ = true;
};

using Status = Result<void>;

inline Error MakeError(ErrorCode code, std::string message) { return Error{code, std::move(message)}; }

}  // namespace jet

// Returns early with the error of an expression that yields a Result.
#define JET_TRY(expr)                                          \
  do {                                                         \
    auto&& jet_try_result_ = (expr);                           \
    if (!jet_try_result_) return jet_try_result_.error();      \
  } while (0)

// Declares `var` from a Result-returning expression, or returns its error.
#define JET_ASSIGN_OR_RETURN(var, expr)                                  \
  auto var##_result_ = (expr);                                           \
  if (!var##_result_) return var##_result_.error();                      \
  auto var = std::move(var##_result_).value()
