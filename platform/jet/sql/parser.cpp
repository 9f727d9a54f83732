// Interim: the parser arrives with the lexer in the next change.
#include "platform/jet/sql/parser.h"

namespace jet::sql {

Result<Statement> Parse(std::string_view) {
  return MakeError(ErrorCode::kNotSupported, "SQLException: statements are not supported yet");
}

}  // namespace jet::sql
