// The backends this program can open, by the name a data source gives.
#include "runtime/convert.h"
#include "store/backend.h"
#include "store/sqlite/sqlite_backend.h"

namespace cb {

Backend* FindBackend(const std::string& name) {
  static SqliteBackend sqlite;
  if (EqualsNoCase(name, "sqlite")) return &sqlite;
  return nullptr;
}

}  // namespace cb
