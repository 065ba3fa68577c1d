// Schema versions: creates the board's tables on a new database and brings an older one up to
// the version this program writes, one migration at a time, each in its own transaction.
#pragma once

#include <vector>

#include "store/backend.h"

namespace cb {

// Applies the migrations newer than the database's version. Safe when several processes start
// at once: the version is read again under the write lock.
void EnsureSchema(BackendConnection& con, const std::vector<Migration>& migrations);

// The database's schema version (0 for a new database).
int SchemaVersion(BackendConnection& con);

}  // namespace cb
