// Schema migrations, recorded in the table corkboard_schema.
#include "store/schema_migrate.h"

#include <variant>

namespace cb {

int SchemaVersion(BackendConnection& con) {
  con.ExecScript("CREATE TABLE IF NOT EXISTS corkboard_schema (version INTEGER NOT NULL)");
  auto st = con.Prepare("SELECT max(version) FROM corkboard_schema", "schema version");
  int version = 0;
  if (st->Step()) {
    SqlValue v = st->Column(0);
    if (const int64_t* i = std::get_if<int64_t>(&v)) version = static_cast<int>(*i);
  }
  st->Reset();
  return version;
}

void EnsureSchema(BackendConnection& con, const std::vector<Migration>& migrations) {
  if (!migrations.empty() && SchemaVersion(con) >= migrations.back().version) return;
  for (const Migration& m : migrations) {
    con.Begin();
    try {
      con.LockSchema();
      if (SchemaVersion(con) < m.version) {
        for (const std::string& s : m.statements) con.ExecScript(s);
        if (m.step) m.step(con);
        con.ExecScript("INSERT INTO corkboard_schema (version) VALUES (" +
                       std::to_string(m.version) + ")");
      }
      con.Commit();
    } catch (...) {
      con.Rollback();
      throw;
    }
  }
}

}  // namespace cb
