#pragma once
// An ODBC handle (environment, connection or statement) that frees itself.
// Move-only; a moved-from or reset handle holds nothing.

#include <utility>

#include "platform/odbc/driver_manager.h"

namespace odbc {

class Handle {
 public:
  Handle() = default;
  Handle(const DriverManager* dm, SQLSMALLINT type, SQLHANDLE handle) : dm_(dm), type_(type), handle_(handle) {}
  ~Handle() { Reset(); }
  Handle(Handle&& other) noexcept { *this = std::move(other); }
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Reset();
      dm_ = other.dm_;
      type_ = other.type_;
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  SQLHANDLE get() const { return handle_; }
  SQLSMALLINT type() const { return type_; }
  explicit operator bool() const { return handle_ != nullptr; }

  void Reset() {
    if (handle_) dm_->FreeHandle(type_, std::exchange(handle_, nullptr));
  }

 private:
  const DriverManager* dm_ = nullptr;
  SQLSMALLINT type_ = 0;
  SQLHANDLE handle_ = nullptr;
};

}  // namespace odbc
