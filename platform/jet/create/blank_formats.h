#pragma once
// What distinguishes the new, empty databases of each Access version
// (docs/new-accdb-files.md): the version byte, the sort order of names, the
// AccessVersion property and the owner and access-control SIDs the engine
// writes. The values are those of the empty files each version's engine made.

#include <cstdint>
#include <string>

#include "platform/jet/format/header.h"
#include "platform/jet/public/create.h"
#include "platform/jet/public/value.h"

namespace jet {


// The four SIDs an engine writes into a database it creates: the creator
// (owner of the containers and system tables), the Admin user (owner of
// MSysDb), the Users group and the engine itself. Each file stores them
// XOR-ed with a key of its own; any one consistent set is valid.
struct EngineSids {
  Bytes creator, admin, users, engine;
};

struct BlankProfile {
  format::Version version;
  uint8_t sort_version;         // of the General (1033) sort order
  std::u16string access_version;  // MSysDb's AccessVersion property
  EngineSids sids;
};


const BlankProfile& ProfileOf(BlankFormat format);


}  // namespace jet
