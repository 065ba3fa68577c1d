// A fresh in-memory board for the index, presence and member page tests: registers the data
// source under the host's DSN with the host's clock, and runs seeding statements on it.
#pragma once

#include <memory>
#include <string>

#include "store/connection.h"
#include "store/data_sources.h"
#include "store/recordset.h"
#include "support/fake_host.h"

namespace cb::test {

class SeededBoard {
 public:
  explicit SeededBoard(FakeHost& host)
      : cs_(RegisterMemoryDataSource(
            std::shared_ptr<const Clock>(&host.clock(), [](const Clock*) {}))) {
    name_ = DataSourceNameOf(cs_);
    host.application().Set("DSN", Variant(name_));
  }
  ~SeededBoard() { UnregisterDataSource(name_); }
  SeededBoard(const SeededBoard&) = delete;
  SeededBoard& operator=(const SeededBoard&) = delete;

  void Exec(const std::string& sql) {
    Connection con;
    con.Open(cs_);
    con.Execute(sql);
  }
  // The first column of the first row, or empty when there is none.
  Variant Scalar(const std::string& sql) {
    Connection con;
    con.Open(cs_);
    auto rs = con.Execute(sql);
    return rs->Eof() ? Variant() : rs->Fields(0);
  }
  void Member(const std::string& name, const std::string& password, const char* status = nullptr,
              const std::string& signdate = "2024-01-01 08:00:00") {
    Exec("insert into register (username,password,email,status,canpost,signdate) values ('" + name +
         "','" + password + "','" + name + "@example.com'," +
         (status ? "'" + std::string(status) + "'" : std::string("null")) + ",1,'" + signdate +
         "')");
  }
  const std::string& connection_string() const { return cs_; }

 private:
  std::string cs_;
  std::string name_;
};

}  // namespace cb::test
