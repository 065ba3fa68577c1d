// Fresh PostgreSQL boards: one database per test, copied from a template made once per cluster.
#include "support/pg_board.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>

#include "store/backend.h"
#include "store/schema_migrate.h"

namespace cb::test {

namespace {

constexpr const char* kTemplate = "cb_board_template";

std::string Uri(const std::string& db) {
  return "postgresql://corkboard@/" + db + "?host=" + PgTestCluster();
}

BackendConnection& Admin() {
  static std::unique_ptr<BackendConnection> admin = FindBackend("postgres")->Open(Uri("postgres"));
  return *admin;
}

bool Exists(BackendConnection& con, const std::string& db) {
  auto st = con.Prepare("SELECT 1 FROM pg_database WHERE datname = '" + db + "'", "exists");
  bool found = st->Step();
  st->Reset();
  return found;
}

// The template with the schema, made by the first test process that needs it.
void EnsureTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    BackendConnection& admin = Admin();
    admin.ExecScript("SELECT pg_advisory_lock(7723002)");
    try {
      if (!Exists(admin, kTemplate)) {
        admin.ExecScript(std::string("CREATE DATABASE ") + kTemplate + "_new");
        {
          auto con = FindBackend("postgres")->Open(Uri(std::string(kTemplate) + "_new"));
          EnsureSchema(*con, FindBackend("postgres")->Migrations());
        }
        admin.ExecScript(std::string("ALTER DATABASE ") + kTemplate + "_new RENAME TO " +
                         kTemplate);
      }
    } catch (...) {
      admin.ExecScript("SELECT pg_advisory_unlock(7723002)");
      throw;
    }
    admin.ExecScript("SELECT pg_advisory_unlock(7723002)");
  });
}

// A cluster folder set but empty means the server binaries were missing: every test skips.
class PgEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string dir = PgTestCluster();
    if (dir.empty()) return;
    if (!std::filesystem::exists(dir + "/data/postmaster.pid")) {
      GTEST_SKIP() << "no PostgreSQL test cluster in " << dir
                   << " (server binaries missing?): PostgreSQL tests skipped";
    }
  }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new PgEnvironment);

}  // namespace

std::string PgTestCluster() {
  const char* dir = std::getenv("CORKBOARD_TEST_PG");
  return dir ? dir : "";
}

std::string CreatePgBoard(bool empty) {
  if (!empty) EnsureTemplate();
  static std::atomic<int> next{0};
  std::string db = "cbt_" + std::to_string(getpid()) + "_" + std::to_string(next.fetch_add(1));
  Admin().ExecScript("CREATE DATABASE " + db + " TEMPLATE " + (empty ? "template0" : kTemplate));
  return Uri(db);
}

void DropPgBoard(const std::string& spec) {
  size_t slash = spec.find("@/");
  size_t query = spec.find('?');
  if (slash == std::string::npos || query == std::string::npos) return;
  std::string db = spec.substr(slash + 2, query - slash - 2);
  Admin().ExecScript("DROP DATABASE IF EXISTS " + db + " WITH (FORCE)");
}

}  // namespace cb::test
