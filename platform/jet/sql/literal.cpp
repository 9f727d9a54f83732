// Interim: the conversions arrive in the next change.
#include "platform/jet/sql/literal.h"

namespace jet::sql {

Result<Cell> ConvertLiteral(const Literal&, const ColumnSpec&, std::string_view) {
  return MakeError(ErrorCode::kNotSupported, "SQLException: values are not supported yet");
}

}  // namespace jet::sql
