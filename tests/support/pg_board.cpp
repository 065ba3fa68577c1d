// Fresh PostgreSQL boards: one database per test, copied from a template made once per cluster.
#include "support/pg_board.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <variant>

#include "store/backend.h"
#include "store/schema.h"
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

namespace {

constexpr const char* kPoolPrefix = "cb_pool_";
constexpr int64_t kPoolLockBase = 7723100;

std::mutex pool_mu;
std::set<int> claimed_here;  // advisory locks are reentrant within the admin session

bool TryLock(int k) {
  auto st = Admin().Prepare(
      "SELECT pg_try_advisory_lock(" + std::to_string(kPoolLockBase + k) + ")", "claim");
  bool got = st->Step() && std::get<int64_t>(st->Column(0)) != 0;
  st->Reset();
  return got;
}

// Rows of every table go, and identities start again at 1.
void Empty(const std::string& db) {
  std::string tables;
  for (const TableDef& t : BoardTables()) tables += (tables.empty() ? "" : ", ") + t.name;
  auto con = FindBackend("postgres")->Open(Uri(db));
  con->ExecScript("TRUNCATE " + tables + " RESTART IDENTITY");
}

}  // namespace

std::string CreatePgBoard(bool empty) {
  static std::atomic<int> next{0};
  if (empty) {
    std::string db = "cbt_" + std::to_string(getpid()) + "_" + std::to_string(next.fetch_add(1));
    Admin().ExecScript("CREATE DATABASE " + db + " TEMPLATE template0");
    return Uri(db);
  }
  EnsureTemplate();
  std::lock_guard<std::mutex> lock(pool_mu);
  for (int k = 1;; ++k) {
    if (claimed_here.count(k) || !TryLock(k)) continue;
    claimed_here.insert(k);
    std::string db = kPoolPrefix + std::to_string(k);
    if (Exists(Admin(), db)) {
      Empty(db);
    } else {
      Admin().ExecScript("CREATE DATABASE " + db + " TEMPLATE " + kTemplate);
    }
    return Uri(db);
  }
}

void DropPgBoard(const std::string& spec, bool reusable) {
  size_t slash = spec.find("@/");
  size_t query = spec.find('?');
  if (slash == std::string::npos || query == std::string::npos) return;
  std::string db = spec.substr(slash + 2, query - slash - 2);
  if (db.rfind(kPoolPrefix, 0) != 0) {
    Admin().ExecScript("DROP DATABASE IF EXISTS " + db + " WITH (FORCE)");
    return;
  }
  if (!reusable) Admin().ExecScript("DROP DATABASE IF EXISTS " + db + " WITH (FORCE)");
  int k = std::stoi(db.substr(std::string(kPoolPrefix).size()));
  std::lock_guard<std::mutex> lock(pool_mu);
  Admin().ExecScript("SELECT pg_advisory_unlock(" + std::to_string(kPoolLockBase + k) + ")");
  claimed_here.erase(k);
}

}  // namespace cb::test
