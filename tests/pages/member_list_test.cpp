// The member list: the golden page, search by each column with terms that look like SQL or
// wildcards, each sort order, the letter index and the paging bounds.
#include <regex>

#include "support/page_test.h"

namespace cb {
namespace {

struct MemberList : test::BoardTest {
  void SetUp() override {
    host.Configure({{"BBName", "测试论坛"}});
    for (const auto& [name, email, signdate, postcount, jf] :
         {std::tuple{"Alice", "alice@example.com", "2024-01-01 08:00:00", 5, 1},
          {"bob", "bob@example.com", "2024-02-01 08:00:00", 50, 3},
          {"张三", "zs@example.com", "2024-03-01 08:00:00", 0, 9},
          {"o'neil", "o'neil@example.com", "2024-04-01 08:00:00", 1, 2},
          {"50%_[off]", "sale@example.com", "2024-05-01 08:00:00", 2, 0}}) {
      board.AddMember(name, "pw", {.email = email, .postcount = postcount, .signdate = signdate});
      board.Exec("update register set jf=" + std::to_string(jf) +
                 " where username=" + test::SqlTextOrNull(name));
    }
  }
  // The names of the listed members, one a line in page order.
  std::string Names(const std::string& url) {
    const std::string page = host.Get(url).Run(&Corkboard::MemberList);
    EXPECT_FALSE(Has(page, "错误号")) << page;
    std::string names;
    const std::regex title("title=\"给(.*?)发悄悄话\"");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), title);
         it != std::sregex_iterator(); ++it) {
      names += (names.empty() ? "" : "\n") + (*it)[1].str();
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

// The addresses are the golden files' cases: each sort order (an unknown column or a statement
// sorts by date), the letter index ("@" for names not starting with a letter), and searches by
// each column whose terms look like SQL, wildcards or a GBK fragment, and match only as text.
TEST_F(MemberList, SearchSortAndLetters) {
  test::ExpectGoldenCases("member/search_order.txt",
                          [&](const std::string& url) { return Names(url); });
}

TEST_F(MemberList, PagingBounds) {
  host.Configure({{"PageSize", "2"}});
  test::ExpectGoldenCases("member/paging.txt", [&](const std::string& url) { return Names(url); });
  // The pager carries the request's choices; one page shows none.
  EXPECT_FALSE(
      Has(host.Get("/member.asp?searchby=username&key=o'&page=1").Run(&Corkboard::MemberList),
          "?page=2"));
  EXPECT_TRUE(Has(host.Get("/member.asp?orderby=jf&Letter=").Run(&Corkboard::MemberList),
                  "/member.asp?page=2&searchby=&orderby=jf&key=&Letter=ALL"));
}

}  // namespace
}  // namespace cb
