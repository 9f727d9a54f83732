#pragma once
// The preview list the run appends its statements to (the SQL Preview window's
// StatementList), and the program-wide outcome flag of that window.

#include <string_view>

namespace engine {

class StatementSink {
 public:
  virtual ~StatementSink() = default;
  virtual void Clear() = 0;
  virtual void Append(std::string_view statement) = 0;
};

// Set true by the run before every per-table preview; the SQL Preview window's
// "Skip Table / Do Not Execute SQL" sets it false so that the run goes on.
extern bool EndRunAfterPreview;

}  // namespace engine
