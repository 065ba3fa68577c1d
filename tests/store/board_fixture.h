// A fresh, empty board for each test on each backend under test, used only through the
// Connection/Recordset API so that the same cases run on every backend.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/datetime.h"
#include "runtime/variant.h"
#include "store/connection.h"
#include "store/data_sources.h"
#include "store/recordset.h"

namespace cb {

// The backends the behaviour tests run on.
inline std::vector<std::string> BackendsUnderTest() { return {"sqlite"}; }

inline std::string BackendName(const ::testing::TestParamInfo<std::string>& info) {
  return info.param;
}

// A new empty board on that backend; returns its connection string.
inline std::string FreshBoard(const std::string& backend, std::shared_ptr<const Clock> clock) {
  if (backend == "sqlite") return RegisterMemoryDataSource(std::move(clock));
  ADD_FAILURE() << "no such backend " << backend;
  return "";
}

class BoardTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    cs_ = FreshBoard(GetParam(), clock_);
    con_.Open(cs_);
  }

  void Exec(const std::string& sql) { con_.Execute(sql); }

  // The first column of the first row (Empty when there is none).
  Variant Scalar(const std::string& sql) {
    std::unique_ptr<Recordset> rs = con_.Execute(sql);
    return rs->Eof() ? Variant() : rs->Fields(0);
  }

  // The first column of every row, as text.
  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> out;
    std::unique_ptr<Recordset> rs = con_.Execute(sql);
    while (!rs->Eof()) {
      out.push_back(rs->Fields(0).IsNull() ? "NULL" : rs->Fields(0).Str());
      rs->MoveNext();
    }
    return out;
  }

  // Adds a row through a record set, as the pages do, and returns "select @@identity".
  Variant AddRow(const std::string& table,
                 const std::vector<std::pair<std::string, Variant>>& values) {
    Recordset rs;
    rs.Open("select * from " + table + " where 1=0", con_, adOpenStatic, adLockOptimistic);
    rs.AddNew();
    for (const auto& [name, value] : values) rs.Set(name, value);
    rs.Update();
    rs.Close();
    return Scalar("select @@identity");
  }

  void AddForum(const std::string& name) {
    AddRow("forum", {{"forumname", Variant(name)}, {"catalog", Variant("c")}});
  }
  void AddMember(const std::string& name, const std::string& password = "pw") {
    AddRow("register", {{"username", Variant(name)}, {"password", Variant(password)}});
  }
  // A topic (parent 0) or a reply, written like the posting pages write it; returns postid.
  long AddPost(const std::string& forum, const std::string& user, long parent = 0) {
    std::vector<std::pair<std::string, Variant>> v = {{"forumname", Variant(forum)},
                                                      {"username", Variant(user)},
                                                      {"subject", Variant("s")},
                                                      {"message", Variant("m")}};
    if (parent) v.push_back({"parentid", Variant(int32_t(parent))});
    return AddRow("post", v).CLng();
  }

  std::shared_ptr<FixedClock> clock_ =
      std::make_shared<FixedClock>(DateTime::FromParts(2001, 5, 9, 8, 3, 7));
  std::string cs_;
  Connection con_;
};

}  // namespace cb
