// The control panel's decisions without the database (tests/data/admin_rules.txt).
#include <gtest/gtest.h>

#include <algorithm>

#include "admin/announce_rules.h"
#include "admin/forum_rules.h"
#include "admin/panel.h"
#include "admin/permissions.h"
#include "support/case_table.h"

namespace cb {
namespace {

using Texts = std::vector<std::string>;

TEST(PanelRules, CasesOfTheDataFile) {
  test::CheckCaseTable(
      "admin_rules.txt",
      {{"ForumOrderClause", [](const Texts& a) { return Texts{ForumOrderClause(a.at(0))}; }},
       {"ForumRestrict",
        [](const Texts& a) { return Texts{ForumRestrict(a.at(0) == "yes", a.at(1), a.at(2))}; }},
       {"ReadForumOrders",
        [](const Texts& a) {
          const ForumOrders got = ReadForumOrders({a.begin() + 1, a.end()}, std::stoul(a.at(0)));
          Texts out{got.refusal ? got.refusal : ""};
          for (int32_t order : got.orders) out.push_back(std::to_string(order));
          return out;
        }},
       {"CheckAnnouncement",
        [](const Texts& a) {
          const AnnouncementCheck c = CheckAnnouncement(
              {a.at(0), a.at(1), a.at(2), a.at(3), a.at(4), a.at(5), a.at(6), a.at(7)});
          if (c.refusal != nullptr) return Texts{c.refusal};
          return Texts{"", c.start.YmdHms(), c.end.YmdHms()};
        }},
       {"AnnouncementForumsRefusal",
        [](const Texts& a) {
          const auto slash = std::find(a.begin(), a.end(), "/");
          const char* refusal = AnnouncementForumsRefusal({a.begin(), slash}, {slash + 1, a.end()});
          return Texts{refusal ? refusal : ""};
        }},
       {"MemberSearchFilter",
        [](const Texts& a) {
          return Texts{MemberSearchFilter(a.at(0), a.at(1), a.at(2), a.at(3), a.at(4))};
        }},
       {"IsSafeUploadDir", [](const Texts& a) { return test::Yes(IsSafeUploadDir(a.at(0))); }}});
}

TEST(PanelIdentityTest, ForumNamesStayWhole) {
  PanelIdentity id;
  id.forums = {"技术", "a,b"};
  EXPECT_TRUE(id.Manages("a,b") && !id.Manages("a"));
}

}  // namespace
}  // namespace cb
