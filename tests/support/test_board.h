// TestBoard: a fresh board for one test (in-memory SQLite, or a fresh PostgreSQL database when
// the tests run on a cluster; see pg_board.h), with the schema, seed helpers that return the new
// rows' ids, and (given a fake host) the host's DSN pointed at it so that pages open it. The one
// board fixture of the page, fragment and store tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/variant.h"
#include "support/fake_host.h"

namespace cb {
class Connection;
}

namespace cb::test {

struct ForumOptions {
  std::string descript = "";
  std::string restrict = "";       // "" leaves the column NULL
  std::string forumpassword = "";  // "" leaves the column NULL
  std::string forummaster = "";    // "" leaves the column NULL
  int sequence = 0;
};

struct MemberOptions {
  std::string status = "";  // "" leaves the column NULL; "Moderater", "administrator"
  bool canpost = true;
  std::string email = "";  // "" leaves the column NULL
  int postcount = 0;
  std::string signdate = "";  // "" for the clock's now
};

class TestBoard {
 public:
  // The board's "now" is the host's fixed clock; the host's application gets the board's DSN.
  explicit TestBoard(FakeHost& host);
  // A board of its own for the store tests; its clock starts at 2001-05-09 08:03:07.
  TestBoard();
  ~TestBoard();
  TestBoard(const TestBoard&) = delete;
  TestBoard& operator=(const TestBoard&) = delete;

  // An open connection for seeding and for checking what pages wrote.
  Connection& con();
  const std::string& connection_string() const { return connection_string_; }
  // The data-source text of a PostgreSQL board ("" on SQLite).
  const std::string& spec() const { return pg_spec_; }
  // The clock that stamps rows (the host's when there is one).
  FixedClock& clock() { return *clock_; }

  void AddCatalogForum(const std::string& catalog, const std::string& forum,
                       const ForumOptions& options = {});
  void AddMember(const std::string& name, const std::string& password,
                 const MemberOptions& options = {});
  void AddModerator(const std::string& forum, const std::string& member);
  // A topic; posttime defaults to the host's clock. Returns its postid.
  int64_t AddTopic(const std::string& forum, const std::string& author, const std::string& subject,
                   const std::string& message = "",
                   std::optional<DateTime> posttime = std::nullopt);
  int64_t AddReply(int64_t topic, const std::string& author, const std::string& subject,
                   const std::string& message = "",
                   std::optional<DateTime> posttime = std::nullopt);
  int64_t AddArchive(const std::string& name, const std::string& descript = "");
  // A post copied into an archive: a topic when parent is 0, else a reply to that post number.
  void AddArchivedPost(int64_t archive, int64_t postid, int64_t parent, const std::string& forum,
                       const std::string& author, const std::string& subject,
                       const std::string& message = "",
                       std::optional<DateTime> posttime = std::nullopt);
  // An announcement shown in one forum from start to end. Returns its id.
  int64_t AddAnnouncement(const std::string& forum, const std::string& author,
                          const std::string& subject, const std::string& content,
                          const DateTime& start, const DateTime& end);
  // A private message in the recipient's inbox (stored as given; the message form lower-cases
  // recipients). Returns its postid.
  int64_t AddPrivateMessage(const std::string& recipient, const std::string& sender,
                            const std::string& subject, const std::string& message = "");

  // A row added through a record set, as the pages add them, so that the store fills in the
  // defaults; returns "select @@identity".
  Variant AddRow(const std::string& table,
                 const std::vector<std::pair<std::string, Variant>>& values);

  // A topic (parent 0) or reply added through a record set as the posting pages add one, with
  // only its forum, author, subject "s" and message "m": the store stamps and counts it.
  int64_t AddPost(const std::string& forum, const std::string& author, int64_t parent = 0);

  // Runs a statement on the board (SQL Server dialect, as pages write it).
  void Exec(const std::string& sql);
  // Runs schema statements directly on the backend, past the translator (e.g. DROP TABLE to prove
  // that a procedure does not touch a table).
  void ExecRaw(const std::string& sql);
  // Makes the store fail a statement on table with message, as a failing disk would: at `when`
  // ("AFTER INSERT", "BEFORE DELETE", "AFTER UPDATE OF subject"), for the rows that meet
  // condition (over new. or old. columns; "" for every row). On either backend.
  void FailWhen(const std::string& when, const std::string& table,
                const std::string& condition = "", const std::string& message = "disk full");
  // The first column of the first row of a query (Empty when there is none).
  Variant Scalar(const std::string& sql);
  // The first column of every row, as text ("NULL" for a null).
  std::vector<std::string> Column(const std::string& sql);

 private:
  void Open();
  int64_t LastIdentity();
  // Inserts one row of SQL literals.
  void Insert(const std::string& table, const std::string& columns,
              std::initializer_list<std::string> values);
  std::string Now() const;

  std::unique_ptr<FixedClock> own_clock_;
  FixedClock* clock_;
  std::string connection_string_;
  std::string dsn_;
  std::string pg_spec_;  // the PostgreSQL database, given back with the board
  bool raw_sql_ = false;
  std::unique_ptr<Connection> con_;
};

// The rows a query gives, one line each, the fields ended by "|".
std::string Rows(TestBoard& board, const std::string& sql);

// A text as a quoted SQL literal, or NULL when empty.
std::string SqlTextOrNull(const std::string& text);

}  // namespace cb::test
