// First-start seeding and account creation.
#include "store/board_setup.h"

#include <stdexcept>

#include "runtime/convert.h"
#include "runtime/variant.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "store/store_error.h"

namespace cb {

namespace {

constexpr const char* kAdminName = "admin";
constexpr const char* kCatalog = "综合区";
constexpr const char* kForum = "自由讨论";
constexpr const char* kForumDescript = "欢迎来到新论坛，在这里发表你的第一个话题。";
constexpr const char* kNoModerator = "诚征版主";  // what the forum index shows without one

std::string Quote(const std::string& s) { return "'" + ReplaceNoCase(s, "'", "''") + "'"; }

long Count(Connection& con, const std::string& sql) {
  std::unique_ptr<Recordset> rs = con.Execute(sql);
  return rs->Eof() ? 0 : rs->Fields(0).CLng();
}

void InsertMember(Connection& con, const std::string& name, const std::string& password,
                  const Variant& status) {
  Recordset rs;
  rs.Open("select * from register where 1=0", con, adOpenStatic, adLockOptimistic);
  rs.AddNew();
  rs.Set("username", name);
  rs.Set("password", password);
  rs.Set("status", status);
  rs.Update();
  rs.Close();
}

}  // namespace

std::string RandomPassword(size_t length, Random& random) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnpqrstuvwxyz23456789";  // no look-alikes
  std::string out;
  while (out.size() < length) out += kAlphabet[random.Uniform(sizeof(kAlphabet) - 1)];
  return out;
}

SeedResult SeedNewBoard(const std::string& connection_string) {
  SeedResult result;
  Connection con;
  con.Open(connection_string);
  con.BeginTrans();
  try {
    if (Count(con, "select count(*) from register") > 0 ||
        Count(con, "select count(*) from forum") > 0) {
      con.RollbackTrans();
      return result;
    }
    Recordset rs;
    rs.Open("select * from forum where 1=0", con, adOpenStatic, adLockOptimistic);
    rs.AddNew();
    rs.Set("forumname", kForum);
    rs.Set("descript", kForumDescript);
    rs.Set("catalog", kCatalog);
    rs.Set("sequence", int32_t{1});
    rs.Set("restrict", "allreg&allreg");
    rs.Set("forummaster", kNoModerator);
    rs.Update();
    rs.Close();
    result.admin_name = kAdminName;
    result.admin_password = RandomPassword(10);
    InsertMember(con, result.admin_name, result.admin_password, Variant("administrator"));
    con.CommitTrans();
  } catch (...) {
    if (con.State()) con.RollbackTrans();
    throw;
  }
  result.created = true;
  result.catalog = kCatalog;
  result.forum = kForum;
  return result;
}

void AddUser(const std::string& connection_string, const std::string& name,
             const std::string& password, const std::string& role) {
  std::string r = ToLower(role);
  Variant status = Variant::Null();
  if (r == "administrator") {
    status = Variant("administrator");
  } else if (r == "moderater") {
    status = Variant("Moderater");
  } else if (!r.empty()) {
    throw ScriptError(err::kInvalidProcedureCall,
                      "unknown role \"" + role + "\" (administrator or moderater)", kStoreSource);
  }
  if (Trim(name).empty() || password.empty()) {
    throw ScriptError(err::kInvalidProcedureCall, "a user needs a name and a password",
                      kStoreSource);
  }
  Connection con;
  con.Open(connection_string);
  if (Count(con, "select count(*) from register where username=" + Quote(name)) > 0) {
    throw ScriptError(err::kInvalidProcedureCall, "user \"" + name + "\" already exists",
                      kStoreSource);
  }
  InsertMember(con, name, password, status);
  con.Close();
}

}  // namespace cb
