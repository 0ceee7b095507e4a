#pragma once

#include "history/sql_connection.h"

namespace history {

// The schema's newest version; a database of an older one is upgraded,
// migration by migration, in one transaction.
int LatestSchemaVersion();

// Upgrades `db` to `target` (the latest unless a test wants an old one)
// and returns the version it was at. Refuses a database newer than this
// program. Two benches starting at once upgrade it once.
int Migrate(SqlConnection& db, int target = 0);

int SchemaVersion(SqlConnection& db);

}  // namespace history
