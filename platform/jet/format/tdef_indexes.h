#pragma once
// Adding an index to a stored table definition (CREATE INDEX): the logical
// buffer is spliced, not rewritten, so that every byte Access or we wrote
// before stays as it was: a 12-byte block after the real-index blocks, the
// 52-byte real index after the others (when the index needs one of its own),
// the 28-byte logical index and its name at its place in name order, the
// counts and tdef_len.

#include <optional>
#include <vector>

#include "platform/jet/format/bytes.h"
#include "platform/jet/format/tdef.h"
#include "platform/jet/public/result.h"

namespace jet::format {

// `real`: a new real index (numbered after the existing ones), or nothing
// when `logical.real_index` names an existing one. `logical.number` is
// taken as given. The buffer is the whole logical definition.
Result<std::vector<std::byte>> AddIndexToDefinition(ConstBytes buffer, const std::optional<RealIndex>& real,
                                                    const LogicalIndex& logical);

// Removes the logical index at `position` (0-based, in the definition's
// order) and its name; with `real` also that real index and its block, the
// logical indexes after it renumbered to keep naming theirs. Logical index
// numbers above `number` (the removed one's) close up by one.
Result<std::vector<std::byte>> RemoveIndexFromDefinition(ConstBytes buffer, size_t position,
                                                         std::optional<uint32_t> real, uint32_t number);

// A relationship index names the other table's index by number: after that
// table's numbers closed up (RemoveIndexFromDefinition), the relationship
// index of this definition that points at `other_tdef`'s index `from` points
// at `to` instead. Unchanged when none does.
Result<std::vector<std::byte>> RenumberRelationshipPartner(ConstBytes buffer, uint32_t other_tdef, uint32_t from,
                                                           uint32_t to);

}  // namespace jet::format
