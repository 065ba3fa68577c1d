// TestBoard: registration of the in-memory board and the seed statements.
#include "support/test_board.h"

#include "frame/procedures.h"
#include "store/connection.h"
#include "store/data_sources.h"
#include "store/recordset.h"
#include "support/pg_board.h"

namespace cb::test {

std::string SqlTextOrNull(const std::string& text) {
  return text.empty() ? "NULL" : "'" + SqlQuote(text) + "'";
}

std::string Rows(TestBoard& board, const std::string& sql) {
  auto rs = board.con().Execute(sql);
  return rs->Eof() ? "" : rs->GetString("|", "|\n");
}

namespace {

std::string Quoted(const std::string& text) { return "'" + SqlQuote(text) + "'"; }

}  // namespace

TestBoard::TestBoard(FakeHost& host) : clock_(&host.clock()) {
  Open();
  host.Configure({{"DSN", dsn_}});
}

TestBoard::TestBoard()
    : own_clock_(std::make_unique<FixedClock>(DateTime::FromParts(2001, 5, 9, 8, 3, 7))),
      clock_(own_clock_.get()) {
  Open();
}

void TestBoard::Open() {
  // The clock outlives the board: the data source holds it without owning it.
  std::shared_ptr<const Clock> clock(clock_, [](const Clock*) {});
  if (OnPostgres()) {
    static int next = 0;
    pg_spec_ = CreatePgBoard();
    dsn_ = "cbpg" + std::to_string(next++);
    DataSourceSpec spec = ParseDataSourceSpec(pg_spec_);
    spec.clock = std::move(clock);
    RegisterDataSource(dsn_, std::move(spec));
    connection_string_ = "Provider=MSDASQL.1;USER ID=sa;PASSWORD=;DATA SOURCE=" + dsn_;
  } else {
    connection_string_ = RegisterMemoryDataSource(std::move(clock));
    dsn_ = DataSourceNameOf(connection_string_);
  }
  con_ = std::make_unique<Connection>();
  con_->Open(connection_string_);
}

TestBoard::~TestBoard() {
  con_.reset();
  UnregisterDataSource(dsn_);
  if (!pg_spec_.empty()) DropPgBoard(pg_spec_, /*reusable=*/!raw_sql_);
}

Connection& TestBoard::con() { return *con_; }

std::string TestBoard::Now() const { return clock_->Now().YmdHms(); }

void TestBoard::Exec(const std::string& sql) { con_->Execute(sql); }

void TestBoard::ExecRaw(const std::string& sql) {
  raw_sql_ = true;  // it may have changed the schema: the board is not used again
  con_->backend().ExecScript(sql);
}

void TestBoard::FailWhen(const std::string& when, const std::string& table,
                         const std::string& condition, const std::string& message) {
  static int triggers = 0;
  const std::string name = "fail_" + std::to_string(++triggers);
  if (pg_spec_.empty()) {
    return ExecRaw("CREATE TRIGGER " + name + " " + when + " ON " + table +
                   (condition.empty() ? "" : " WHEN " + condition) +
                   " BEGIN SELECT RAISE(ABORT, '" + message + "'); END;");
  }
  ExecRaw(
      "CREATE OR REPLACE FUNCTION cb_test_fail() RETURNS trigger LANGUAGE plpgsql AS $$ "
      "BEGIN RAISE EXCEPTION '%', TG_ARGV[0]; END $$; CREATE TRIGGER " +
      name + " " + when + " ON " + table + " FOR EACH ROW" +
      (condition.empty() ? "" : " WHEN (" + condition + ")") + " EXECUTE FUNCTION cb_test_fail('" +
      message + "')");
}

Variant TestBoard::Scalar(const std::string& sql) {
  auto rs = con_->Execute(sql);
  return rs->Eof() ? Variant() : rs->Fields(0);
}

std::vector<std::string> TestBoard::Column(const std::string& sql) {
  std::vector<std::string> out;
  for (auto rs = con_->Execute(sql); !rs->Eof(); rs->MoveNext()) {
    out.push_back(rs->Fields(0).IsNull() ? "NULL" : rs->Fields(0).Str());
  }
  return out;
}

Variant TestBoard::AddRow(const std::string& table,
                          const std::vector<std::pair<std::string, Variant>>& values) {
  Recordset rs;
  rs.Open("select * from " + table + " where 1=0", *con_, adOpenStatic, adLockOptimistic);
  rs.AddNew();
  for (const auto& [name, value] : values) rs.Set(name, value);
  rs.Update();
  rs.Close();
  return Scalar("select @@identity");
}

int64_t TestBoard::LastIdentity() {
  auto rs = con_->Execute("select @@identity");
  return static_cast<int64_t>(rs->Fields(0).CDbl());
}

void TestBoard::Insert(const std::string& table, const std::string& columns,
                       std::initializer_list<std::string> values) {
  std::string list;
  for (const std::string& v : values) list += (list.empty() ? "" : ",") + v;
  Exec("insert into " + table + " (" + columns + ") values (" + list + ")");
}

void TestBoard::AddCatalogForum(const std::string& catalog, const std::string& forum,
                                const ForumOptions& o) {
  Insert("forum", "forumname,descript,catalog,sequence,forummaster,[restrict],forumpassword",
         {Quoted(forum), Quoted(o.descript), Quoted(catalog), std::to_string(o.sequence),
          SqlTextOrNull(o.forummaster), SqlTextOrNull(o.restrict), SqlTextOrNull(o.forumpassword)});
}

void TestBoard::AddMember(const std::string& name, const std::string& password,
                          const MemberOptions& o) {
  Insert("register", "username,password,email,status,canpost,postcount,signdate",
         {Quoted(name), Quoted(password), SqlTextOrNull(o.email), SqlTextOrNull(o.status),
          o.canpost ? "1" : "0", std::to_string(o.postcount),
          Quoted(o.signdate.empty() ? Now() : o.signdate)});
}

void TestBoard::AddModerator(const std::string& forum, const std::string& member) {
  Insert("moderated", "forum,moderater", {Quoted(forum), Quoted(member)});
}

int64_t TestBoard::AddTopic(const std::string& forum, const std::string& author,
                            const std::string& subject, const std::string& message,
                            std::optional<DateTime> posttime) {
  const std::string when = Quoted(posttime ? posttime->YmdHms() : Now());
  Insert("post",
         "forumname,username,subject,message,posttime,lastreplyposttime,lastreplyusername,ip",
         {Quoted(forum), Quoted(author), Quoted(subject), Quoted(message), when, when,
          Quoted(author), "'127.0.0.1'"});
  return LastIdentity();
}

int64_t TestBoard::AddReply(int64_t topic, const std::string& author, const std::string& subject,
                            const std::string& message, std::optional<DateTime> posttime) {
  const std::string forum =
      Scalar("select forumname from post where postid=" + std::to_string(topic)).Str();
  Insert("post", "parentid,forumname,username,subject,message,posttime,ip",
         {std::to_string(topic), Quoted(forum), Quoted(author), Quoted(subject), Quoted(message),
          Quoted(posttime ? posttime->YmdHms() : Now()), "'127.0.0.1'"});
  return LastIdentity();
}

int64_t TestBoard::AddArchive(const std::string& name, const std::string& descript) {
  Insert("archive", "archivename,descript", {Quoted(name), Quoted(descript)});
  return LastIdentity();
}

void TestBoard::AddArchivedPost(int64_t archive, int64_t postid, int64_t parent,
                                const std::string& forum, const std::string& author,
                                const std::string& subject, const std::string& message,
                                std::optional<DateTime> posttime) {
  Insert(
      "archivelist",
      "archiveid,postid,parentid,forumname,username,posttime,message,subject,status,hits,icon,ip",
      {std::to_string(archive), std::to_string(postid),
       parent == 0 ? "NULL" : std::to_string(parent), Quoted(forum), Quoted(author),
       Quoted(posttime ? posttime->YmdHms() : Now()), Quoted(message), Quoted(subject), "'open'",
       "0", "1", "'127.0.0.1'"});
}

int64_t TestBoard::AddAnnouncement(const std::string& forum, const std::string& author,
                                   const std::string& subject, const std::string& content,
                                   const DateTime& start, const DateTime& end) {
  Insert("announce", "username,subject,content,startdate,enddate,posttime",
         {Quoted(author), Quoted(subject), Quoted(content), Quoted(start.YmdHms()),
          Quoted(end.YmdHms()), Quoted(Now())});
  const int64_t id = LastIdentity();
  Insert("announceto", "id,forumname", {std::to_string(id), Quoted(forum)});
  return id;
}

int64_t TestBoard::AddPrivateMessage(const std::string& recipient, const std::string& sender,
                                     const std::string& subject, const std::string& message) {
  Insert("pm", "recipient,sender,subject,message,posttime",
         {Quoted(recipient), Quoted(sender), Quoted(subject), Quoted(message), Quoted(Now())});
  return LastIdentity();
}

int64_t TestBoard::AddPost(const std::string& forum, const std::string& author, int64_t parent) {
  std::vector<std::pair<std::string, Variant>> values = {
      {"forumname", forum}, {"username", author}, {"subject", "s"}, {"message", "m"}};
  if (parent != 0) values.emplace_back("parentid", Variant(static_cast<int32_t>(parent)));
  return static_cast<int64_t>(AddRow("post", values).CDbl());
}

}  // namespace cb::test
