// The backends this program can open, by the name a data source gives.
#include "runtime/convert.h"
#include "store/backend.h"
#include "store/postgres/pg_backend.h"
#include "store/sqlite/sqlite_backend.h"

namespace cb {

Backend* FindBackend(const std::string& name) {
  static SqliteBackend sqlite;
  static PgBackend postgres;
  if (EqualsNoCase(name, "sqlite")) return &sqlite;
  if (EqualsNoCase(name, "postgres")) return &postgres;
  return nullptr;
}

}  // namespace cb
