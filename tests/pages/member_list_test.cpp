// The member list: the golden page, search by each column with terms that look like SQL or
// wildcards, each sort order, the letter index and the paging bounds.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "frame/corkboard.h"
#include "support/fake_host.h"
#include "support/golden.h"
#include "support/page_text.h"
#include "support/test_board.h"

namespace cb {
namespace {

using test::FakeHost;
using test::Has;
using test::TestBoard;

struct MemberList : ::testing::Test {
  FakeHost host;
  TestBoard board{host};

  void SetUp() override {
    host.Configure({{"BBName", "测试论坛"}});
    struct Row {
      const char* name;
      const char* email;
      const char* signdate;
      int postcount;
      int jf;
    };
    const Row rows[] = {
        {"Alice", "alice@example.com", "2024-01-01 08:00:00", 5, 1},
        {"bob", "bob@example.com", "2024-02-01 08:00:00", 50, 3},
        {"张三", "zs@example.com", "2024-03-01 08:00:00", 0, 9},
        {"o'neil", "o'neil@example.com", "2024-04-01 08:00:00", 1, 2},
        {"50%_[off]", "sale@example.com", "2024-05-01 08:00:00", 2, 0},
    };
    for (const Row& r : rows) {
      board.AddMember(r.name, "pw", {.email = r.email, .postcount = r.postcount});
      board.Exec("update register set signdate='" + std::string(r.signdate) +
                 "',jf=" + std::to_string(r.jf) + " where username=" + test::SqlTextOrNull(r.name));
    }
  }
  // The names of the listed members, in page order.
  std::vector<std::string> Names(const std::string& url) {
    host.Get(url);
    const std::string page = host.Run(&Corkboard::MemberList);
    EXPECT_FALSE(Has(page, "错误号")) << page;
    std::vector<std::string> names;
    const std::regex title("title=\"给(.*?)发悄悄话\"");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), title);
         it != std::sregex_iterator(); ++it) {
      names.push_back((*it)[1]);
    }
    return names;
  }
};

TEST_F(MemberList, GoldenPage) {
  board.Exec(
      "update register set emailview=1,url='http://bob.example/',location='上海 <b>',"
      "interests='围棋' where username='bob'");
  board.Exec("update register set url='javascript:alert(1)' where username='Alice'");
  host.Configure({{"PageSize", "3"}});
  host.Get("/member.asp?orderby=username&key=&page=1");
  EXPECT_GOLDEN("member/first_page", host.Run(&Corkboard::MemberList));
}

TEST_F(MemberList, SearchSortAndLetters) {
  using V = std::vector<std::string>;
  struct Case {
    std::string url;
    V names;
  };
  const Case cases[] = {
      {"/member.asp", {"50%_[off]", "o'neil", "张三", "bob", "Alice"}},
      {"/member.asp?orderby=UserName", {"50%_[off]", "Alice", "bob", "o'neil", "张三"}},
      {"/member.asp?orderby=postcount", {"bob", "Alice", "50%_[off]", "o'neil", "张三"}},
      {"/member.asp?orderby=jf", {"张三", "bob", "o'neil", "Alice", "50%_[off]"}},
      {"/member.asp?orderby=signdate", {"50%_[off]", "o'neil", "张三", "bob", "Alice"}},
      {"/member.asp?orderby=password", {"50%_[off]", "o'neil", "张三", "bob", "Alice"}},
      {"/member.asp?orderby=jf;drop table register",
       {"50%_[off]", "o'neil", "张三", "bob", "Alice"}},
      {"/member.asp?letter=AB", {"50%_[off]", "o'neil", "张三", "bob", "Alice"}},
      {"/member.asp?Letter=B", {"bob"}},
      {"/member.asp?letter=a", {"Alice"}},
      {"/member.asp?letter=@", {"张三"}},
      {"/member.asp?letter=Q", {}},
      {"/member.asp?letter=%25", {"50%_[off]", "o'neil", "张三", "bob", "Alice"}},
      {"/member.asp?searchBy=UserName&key=o'", {"o'neil"}},
      {"/member.asp?searchBy=UserName&key=%25", {"50%_[off]"}},
      {"/member.asp?searchBy=UserName&key=_", {"50%_[off]"}},
      {"/member.asp?searchBy=UserName&key=[ob]", {}},
      {"/member.asp?searchBy=UserName&key=[off]", {"50%_[off]"}},
      {"/member.asp?searchBy=UserName&key=张", {"张三"}},
      {"/member.asp?searchBy=UserName&key=%D5%C5", {"张三"}},
      {"/member.asp?searchBy=UserName&key=%D5", {}},
      {"/member.asp?searchBy=EMail&key=BOB@&orderby=username", {"bob"}},
      {"/member.asp?searchBy=password&key=pw", {"50%_[off]", "o'neil", "张三", "bob", "Alice"}},
      {"/member.asp?searchBy=UserName&key=' or 1=1 --", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(Names(c.url), c.names);
  }
}

TEST_F(MemberList, PagingBounds) {
  host.Configure({{"PageSize", "2"}});
  using V = std::vector<std::string>;
  const std::pair<const char*, V> cases[] = {
      {"1", {"50%_[off]", "o'neil"}},
      {"2", {"张三", "bob"}},
      {"3", {"Alice"}},
      {"4", {"Alice"}},
      {"99999", {"Alice"}},
      {"0", {"50%_[off]", "o'neil"}},
      {"-2", {"50%_[off]", "o'neil"}},
      {"x", {"50%_[off]", "o'neil"}},
  };
  for (const auto& [page, names] : cases) {
    SCOPED_TRACE(page);
    EXPECT_EQ(Names(std::string("/member.asp?page=") + page), names);
  }
  // The pager carries the request's choices; one page shows none.
  host.Get("/member.asp?searchby=username&key=o'&page=1");
  EXPECT_FALSE(Has(host.Run(&Corkboard::MemberList), "?page=2"));
  host.Get("/member.asp?orderby=jf&Letter=");
  EXPECT_TRUE(Has(host.Run(&Corkboard::MemberList),
                  "/member.asp?page=2&searchby=&orderby=jf&key=&Letter=ALL"));
}

}  // namespace
}  // namespace cb
