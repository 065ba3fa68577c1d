// The PostgreSQL side of the test boards: when CORKBOARD_TEST_PG names the socket folder of a
// throwaway cluster (tests/support/pg_cluster.sh), every board is a fresh database there, made
// from a template that holds the schema.
#pragma once

#include <string>

namespace cb::test {

// The cluster's socket folder, or "" when the tests run on SQLite.
std::string PgTestCluster();
inline bool OnPostgres() { return !PgTestCluster().empty(); }

// A fresh board database (with the schema; empty: without even that, for a restore); returns
// its data-source text (postgresql://...).
std::string CreatePgBoard(bool empty = false);
// Drops a board made by CreatePgBoard (its connections must be closed).
void DropPgBoard(const std::string& spec);

}  // namespace cb::test
