// The PostgreSQL side of the test boards: when CORKBOARD_TEST_PG names the socket folder of a
// throwaway cluster (tests/support/pg_cluster.sh), every board is a database there with the
// schema and no rows. Copying a database takes seconds on a busy machine, so boards come from a
// pool: a board is claimed under an advisory lock (held until it is given back or the process
// ends) and emptied, or copied from a template when the pool has none free.
#pragma once

#include <string>

namespace cb::test {

// The cluster's socket folder, or "" when the tests run on SQLite.
std::string PgTestCluster();
inline bool OnPostgres() { return !PgTestCluster().empty(); }

// A fresh board database (with the schema; empty: without even that, for a restore); returns
// its data-source text (postgresql://...).
std::string CreatePgBoard(bool empty = false);
// Gives back a board made by CreatePgBoard (its connections must be closed); one whose schema a
// test may have changed (reusable false) is dropped.
void DropPgBoard(const std::string& spec, bool reusable = true);

}  // namespace cb::test
