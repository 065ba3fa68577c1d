// The maintenance tools: recount, statistics, news scripts, mailing list, mass mail and import.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "admin/cbk_account.h"
#include "admin/panel_fixture.h"
#include "admin/tools_rules.h"
#include "mail/mail.h"
#include "mail/mass_mail.h"
#include "runtime/gbk.h"
#include "support/fake_smtp.h"
#include "support/page_test.h"

namespace cb {
namespace {

namespace fs = std::filesystem;
using test::kBoss;
using test::ReadAll;

struct Tools : test::Fixture<test::PanelBoard> {
  fs::path data{host.services().data_dir};

  std::string Post(void (Admin::*page)(), const std::string& url, FormFields fields) {
    return PanelBoard::Post(page, url, std::move(fields), &kBoss);
  }
};

TEST_F(Tools, FormsOfTheTools) {
  SignedIn(kBoss);
  std::string pages;
  const std::pair<const char*, void (Admin::*)()> forms[] = {
      {"/admin/misc.asp", &Admin::DataMaintenance},
      {"/admin/analyzer.asp", &Admin::MonthPostAnalyzer},
      {"/admin/jscode.asp", &Admin::JsCode},
      {"/admin/mail.asp", &Admin::EMail},
      {"/admin/account.asp", &Admin::ImportAccount},
  };
  for (const auto& [url, page] : forms) pages += GoldenCase(url, Get(page, url));
  EXPECT_GOLDEN("admin/tool_forms", pages);
}

TEST_F(Tools, RecountRepairsDamagedCounters) {
  board.AddCatalogForum("生活", "空版");
  board.Exec(
      "update forum set topiccount=9,replycount=-2,lastpostusername='old',"
      "lastposttime='2001-01-01',forummaster='x'");
  board.Exec("update post set replycount=7,lastreplyusername='zz',lastreplyposttime='2001-01-01'");
  board.Exec("update register set postcount=40,jf=0,url='http://'");
  ASSERT_NE(CounterMismatch(), "");

  // Only the parts ticked run.
  Post(&Admin::DataMaintenance, "/admin/misc.asp", {{"userinfo", "on"}});
  EXPECT_EQ(Count("select topiccount from forum where forumname='技术'"), 9);
  EXPECT_EQ(Count("select count(*) from register where url is not null"), 0);

  const std::string page = Post(&Admin::DataMaintenance, "/admin/misc.asp",
                                {{"foruminfo", "on"}, {"topicinfo", "on"}, {"userinfo", "on"}});
  EXPECT_TRUE(Has(page, "<br><br><center><h3>数据维护结束</h3></center></body></html>")) << page;
  EXPECT_EQ(CounterMismatch(), "");
  // An empty forum keeps its last poster.
  EXPECT_EQ(
      Rows("select lastpostusername,lastposttime,forummaster from forum where forumname='技术'") +
          Rows("select lastpostusername,topiccount+replycount,forummaster from forum where "
               "forumname='空版'") +
          Rows("select lastreplyusername from post where postid=" + std::to_string(other_topic)),
      "boss|2024-05-09 10:20:30|<a href=mailto:mod@example.com>mod</a>|\nold|0|诚征版主|\nmod|\n");
  // A topic without replies stands for its own last reply.
  const int64_t lone = board.AddTopic("技术", "mod", "无回复");
  board.Exec("update post set lastreplyusername='zz' where postid=" + std::to_string(lone));
  // Points: his posts plus the replies of others to his topics, outside the excluded forum.
  const std::pair<const char*, std::vector<std::string>> points[] = {
      {"", {"boss=1", "joe=4", "mod=2"}},
      {"技术", {"boss=0", "joe=2", "mod=1"}},
  };
  for (const auto& [excluded, expected] : points) {
    Post(&Admin::DataMaintenance, "/admin/misc.asp",
         {{"topicinfo", "on"}, {"userinfo", "on"}, {"forumname", excluded}});
    EXPECT_EQ(board.Column("select username||'='||jf from register order by username"), expected)
        << excluded;
  }
  EXPECT_EQ(Scalar("select lastreplyusername from post where postid=" + std::to_string(lone)).Str(),
            "mod");
}

TEST_F(Tools, StatisticsOfASeededMonth) {
  // The board already holds posts of 2024-05-06 and 2024-05-09 in both forums.
  for (const char* when : {"2024-05-01 08:00:00", "2024-05-01 23:59:59", "2024-05-31 23:59:59"}) {
    board.AddTopic("技术", "joe", "t", "", DateTime::Parse(when));
  }
  for (const char* when : {"2024-04-30 23:59:59", "2024-06-01 00:00:00", "2023-05-02 12:00:00"}) {
    board.AddTopic("闲聊", "joe", "t", "", DateTime::Parse(when));
  }
  std::string pages;
  const std::pair<const char*, FormFields> runs[] = {
      {"whole board", {{"YEAR", "2024"}, {"MONTH", "5"}, {"forum", ""}}},
      {"one forum", {{"YEAR", "2024"}, {"MONTH", "5"}, {"forum", "技术"}}},
      {"an empty month", {{"YEAR", "2019"}, {"MONTH", "5"}, {"forum", "x' or '1'='1"}}},
  };
  for (const auto& [name, form] : runs) {
    host.PostForm("/admin/analyzer.asp", form);
    pages += GoldenCase(name, host.Run(&Admin::MonthPostAnalyzer));
  }
  for (const auto& bad :
       {FormFields{{"YEAR", "x"}}, FormFields{{"MONTH", "13"}}, FormFields{{"MONTH", "0"}}}) {
    host.PostForm("/admin/analyzer.asp", bad);
    pages += GoldenCase(bad[0].first + "=" + bad[0].second, host.Run(&Admin::MonthPostAnalyzer));
  }
  EXPECT_GOLDEN("admin/analyzer", pages);
}

// The statistics' percentages and weekdays are in the analyzer's golden pages, the script base
// and the list's delimiters in the page tests below.
TEST(ToolRules, ScriptLines) {
  EXPECT_EQ(ScriptWriteLine("<a href=\"x\">a\\b\r\n\xE2\x80\xA8</a>"),
            "document.write(\"<a href=\\\"x\\\">a\\\\b\\r\\n\\u2028</a>\");\r\n");
  EXPECT_EQ(ScriptWriteLine("</ul>", false), "document.write(\"</ul>\")\r\n");
}

TEST_F(Tools, NewsScriptsForTheForumsAndTheArchives) {
  host.Configure({{"BBURL", "http://bbs.example.org/board/"}});
  board.AddCatalogForum("生活", "私密", {.restrict = "private"});
  board.AddTopic("私密", "joe", "秘密");
  board.AddCatalogForum("生活", "空版");
  board.AddTopic(test::kOwnForum, "joe", "<b>\"引号\"</b>\\", "",
                 DateTime::FromParts(2024, 5, 8, 7, 5, 0));
  fs::create_directories(data / "generated" / "js");
  std::ofstream(data / "generated" / "js" / "4.js") << "stale";
  std::string pages = GoldenCase(
      "forums", Post(&Admin::JsCode, "/admin/jscode.asp", {{"Action", "ForumJs"}, {"Num", "2"}}));
  const fs::path js = data / "generated" / "js";
  EXPECT_GOLDEN("admin/news_1.js", GbkToUtf8(ReadAll(js / "1.js")));
  EXPECT_FALSE(fs::exists(js / "3.js"));  // 空版 keeps its number without a file
  EXPECT_FALSE(fs::exists(js / "4.js"));

  board.AddArchivedPost(board.AddArchive("旧帖"), 900, 0, test::kOwnForum, "joe", "归档话题", "",
                        DateTime::FromParts(2023, 1, 2, 3, 4, 5));
  pages += GoldenCase("archive", Post(&Admin::JsCode, "/admin/jscode.asp",
                                      {{"Action", "archivejs"}, {"Num", "5"}}));
  EXPECT_GOLDEN("admin/news_pages", pages);
  EXPECT_GOLDEN("admin/news_archive.js", GbkToUtf8(ReadAll(js / "archive.js")));
}

TEST_F(Tools, NewsScriptRefusals) {
  std::string pages;
  for (const auto& [action, num] : {std::pair{"forumjs", "0"}, {"forumjs", "十"}, {"other", "5"}}) {
    pages += GoldenCase(std::string(action) + " " + num, Post(&Admin::JsCode, "/admin/jscode.asp",
                                                              {{"Action", action}, {"Num", num}}));
  }
  host.PostForm("/admin/jscode.asp", {{"Action", "forumjs"}, {"Num", "5"}, {"UserName", "boss"}});
  pages += GoldenCase("no password", host.Run(&Admin::JsCode));
  EXPECT_GOLDEN("admin/news_refusals", pages);
  EXPECT_FALSE(fs::exists(data / "generated" / "js" / "1.js"));
}

TEST_F(Tools, MailingListFileHoldsTheAddressesThatAcceptMassMail) {
  board.AddMember("ann", "p", {.email = "ann@example.org"});
  board.AddMember("bob", "p", {.email = "bob@example.org"});
  board.Exec("update register set allowmassmail=0 where username='bob'");
  const fs::path list = fs::absolute(data) / "emaillist.asp";
  const std::pair<const char*, const char*> delimits[] = {
      {"comma", "mod@example.com,ann@example.org"}, {"line", "mod@example.com\r\nann@example.org"}};
  for (const auto& [delimit, text] : delimits) {
    const std::string page =
        Post(&Admin::EMail, "/admin/mail.asp",
             {{"action", "mailusers"}, {"createlist", "yes"}, {"delimit", delimit}});
    EXPECT_TRUE(Has(page, "邮件列表文件已被保存到 " + list.string() + " 文件中")) << page;
    EXPECT_EQ(ReadAll(list), text);
  }
  struct stat st {};
  ASSERT_EQ(stat(list.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(Tools, MassMailGoesOutInTheBackgroundOnePerMember) {
  host.Configure({{"BBURL", "http://bbs/"}, {"BBEMail", "board@bbs"}});
  board.AddMember("ann", "p", {.email = "ann@example.org"});
  EXPECT_TRUE(
      Has(Post(&Admin::EMail, "/admin/mail.asp", {{"action", "mailusers"}, {"Subject", "s"}}),
          "请输入主题和内容！"));
  const FormFields mailing = {
      {"action", "mailusers"}, {"Subject", "维护通知"}, {"Message", "<b>周末</b>维护"}};
  const std::string page = Post(&Admin::EMail, "/admin/mail.asp", mailing);
  EXPECT_TRUE(
      Has(page, "<br><br><center><p><h3>邮件已经送出</h3></p></center><center><p>共 2 位用户"))
      << page;
  const MassMailProgress started = MassMailQueue::Board().Recent().front();
  ASSERT_TRUE(MassMailQueue::Board().WaitFinished(started.id, std::chrono::seconds(30)));
  const std::vector<OutboxMail> mails = ReadOutbox((data / "outbox").string());
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_GOLDEN("admin/mass_mail.txt", test::MailText(mails[0]) + "\n" + test::MailText(mails[1]));

  // A server that refuses one address: the others still go, the failure is counted.
  test::FakeSmtp smtp;
  smtp.Serve(host);
  board.AddMember("gone", "p", {.email = "gone@refused.example"});
  Post(&Admin::EMail, "/admin/mail.asp", mailing);
  const MassMailProgress second = MassMailQueue::Board().Recent().front();
  ASSERT_TRUE(MassMailQueue::Board().WaitFinished(second.id, std::chrono::seconds(30)));
  EXPECT_EQ(smtp.mails().size(), 2u);
  SignedIn(kBoss);
  const std::string progress = Get(&Admin::EMail, "/admin/mail.asp?action=progress");
  EXPECT_TRUE(Has(progress, "<tr><td>" + std::to_string(started.id) +
                                "</td><td>维护通知</td><td>2024-05-09 10:20:30</td><td>2</td>"
                                "<td>2</td><td>0</td><td>已完成</td><td>&nbsp;</td></tr>"))
      << progress;
  const MassMailProgress done = *MassMailQueue::Board().Find(second.id);
  EXPECT_EQ(done.sent, 2u);
  EXPECT_EQ(done.failed, 1u);
  EXPECT_NE(done.last_error, "");
  SignedIn(test::kMod);
  EXPECT_TRUE(test::IsRefusal(Get(&Admin::EMail, "/admin/mail.asp?action=progress")));
}

TEST_F(Tools, MassMailCutShortGoesOnAfterARestart) {
  // As a stop leaves a mailing: spooled, its first address handled.
  const fs::path spool = data / "massmail";
  fs::create_directories(spool);
  std::string job;
  for (const std::string field : {"dir:outbox", "论坛", "board@bbs", "用户", "通知", "<p>正文",
                                  "2024-05-09 10:20:30", "3", "a@x", "b@x", "c@x"}) {
    job += std::to_string(field.size()) + "\n" + field + "\n";
  }
  std::ofstream(spool / "20240509-1-1.job", std::ios::binary) << job;
  std::ofstream(spool / "20240509-1-1.job.done", std::ios::binary) << "s";
  std::ofstream(spool / "20240509-1-2.job", std::ios::binary) << "3\nabc";  // damaged
  MassMailQueue queue;
  queue.Resume(data.string());
  queue.Resume(data.string());  // once only
  ASSERT_EQ(queue.Recent().size(), 1u);
  const MassMailProgress resumed = queue.Recent().front();
  ASSERT_TRUE(queue.WaitFinished(resumed.id, std::chrono::seconds(30)));
  std::vector<std::string> to;
  for (const OutboxMail& mail : ReadOutbox((data / "outbox").string())) {
    to.insert(to.end(), mail.recipients.begin(), mail.recipients.end());
    EXPECT_EQ(mail.subject, "通知");
  }
  EXPECT_EQ(to, (std::vector<std::string>{"b@x", "c@x"}));
  const MassMailProgress done = *queue.Find(resumed.id);
  EXPECT_EQ(done.started.YmdHms(), "2024-05-09 10:20:30");
  EXPECT_EQ(done.total, 3u);
  EXPECT_EQ(done.sent, 3u);
  EXPECT_FALSE(fs::exists(spool / "20240509-1-1.job"));
  EXPECT_FALSE(fs::exists(spool / "20240509-1-1.job.done"));
  EXPECT_TRUE(fs::exists(spool / "20240509-1-2.job"));
}

TEST_F(Tools, ImportsEachAccountWholeOrNotAtAll) {
  const fs::path folder = data / "cbk";
  fs::create_directories(folder);
  auto write = [&](const char* file, const std::string& utf8) {
    std::ofstream(folder / file, std::ios::binary) << Utf8ToGbk(utf8);
  };
  write("xiaoli.cgi",
        "小李\r\nsecret\r\nli@example.org\r\nHTTP://\r\n\r\n学生\r\n北京\r\n12\r\nmoderater\r\n"
        "读书\r\n2001-03-04 05:06:07\r\nyes\r\n  签名  \r\n12345\r\nno\r\nextra\r\n");
  write("ODD.CGI", "odd\npw\n\n\n\n\n\nlots\n\n\nyesterday\n\n\nicq-number\n");
  write("dup.cgi", "BOSS\r\nx\r\n");
  write("bad.cgi", "<script>\r\nx\r\n");
  write("nopw.cgi", "nopw\r\n\r\n");
  write("readme.txt", "not an account");
  EXPECT_GOLDEN("admin/import_report", Post(&Admin::ImportAccount, "/admin/account.asp",
                                            {{"action", "ImportAccount"}, {"dir", "cbk"}}));
  EXPECT_EQ(
      board.Column("select username||'|'||password||'|'||email||'|'||isnull(url,'-')||'|'||"
                   "occupation||'|'||location||'|'||postcount||'|'||status||'|'||interests||'|'||"
                   "signdate||'|'||namestorage||'|'||signature||'|'||icq||'|'||emailview "
                   "from register where username='小李'"),
      std::vector<std::string>{"小李|secret|li@example.org|-|学生|北京|12|moderater|读书|"
                               "2001-03-04 05:06:07|1|签名|12345|0"});
  EXPECT_EQ(board.Column("select postcount||'|'||isnull(icq,'-')||'|'||namestorage from register "
                         "where username='odd'"),
            std::vector<std::string>{"0|-|1"});
  EXPECT_EQ(Count("select count(*) from register"), 5);
  EXPECT_TRUE(Has(Post(&Admin::ImportAccount, "/admin/account.asp", {{"dir", "missing"}}),
                  "找不到账号目录 missing"));
}

TEST(CbkAccount, ReadsLinesIntoColumns) {
  const CbkAccount account = ReadCbkAccount("ann\r\npw\r\n\r\nhttp://ann.example\r\n");
  EXPECT_EQ(account.refusal, "");
  EXPECT_EQ(
      CbkInsertSql(account),
      "insert into register (username,password,url) values ('ann','pw','http://ann.example')");
  EXPECT_EQ(ReadCbkAccount(std::string(kLargestCbkFile + 1, 'a')).refusal, "文件过大");
}

}  // namespace
}  // namespace cb
