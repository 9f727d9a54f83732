#pragma once
// The preview list the run appends its statements to (the SQL Preview window's
// StatementList).

#include <string_view>

namespace engine {

class StatementSink {
 public:
  virtual ~StatementSink() = default;
  virtual void Clear() = 0;
  virtual void Append(std::string_view statement) = 0;
};

}  // namespace engine
