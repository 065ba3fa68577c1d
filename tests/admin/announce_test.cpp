// announce.asp: the form a moderator gets, publishing to chosen forums (shown on their topic lists
// within the dates), the list each publisher sees, editing and deleting.
#include "admin/panel_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::kBoss;
using test::kMod;

struct AnnouncePage : test::Fixture<test::PanelBoard> {
  std::string Submit(FormFields fields, const test::Actor& who = kBoss) {
    return Post(&Admin::Announce, "/admin/announce.asp", std::move(fields), &who);
  }
  static FormFields Draft(const FormFields& changes = {}) {
    return WithChanges(
        test::FieldsOf(
            "action=submitannounce&Subject=<b>停电</b>&EditedMessage=周六停电&"
            "StartYear=2024&StartMonth=05&StartDay=10&EndYear=2024&EndMonth=05&EndDay=12",
            "&"),
        changes);
  }
  std::string TopicList(const char* forum) {
    return host.Get(std::string("/list.asp?GroupName=") + forum).Run(&Corkboard::list);
  }
};

TEST_F(AnnouncePage, TheFormOffersTheModeratorsForumsOnly) {
  SignedIn(kMod);
  const std::string page =
      Submit({{"action", "enter"}, {"AnnounceFunction", "CreateAnnouncement"}}, kMod);
  EXPECT_GOLDEN("admin/announce_form", page);
}

TEST_F(AnnouncePage, PublishedAnnouncementsShowWithinTheirDates) {
  FormFields both = Draft();
  both.emplace_back("ForumName", "技术");
  both.emplace_back("ForumName", "闲聊");
  EXPECT_GOLDEN("admin/announce_published", Submit(both));
  const std::string id = Scalar("select max(id) from announce").Str();
  EXPECT_EQ(Count("select count(*) from announceto where id=" + id), 2);
  EXPECT_EQ(Rows("select username,startdate from announce where id=" + id),
            "boss|2024-05-10 00:00:00|\n");

  const std::string line = "&lt;b&gt;停电&lt;/b&gt;</a>";
  board.Exec("delete from announce where id<>" + id);
  EXPECT_FALSE(Has(TopicList("闲聊"), line));  // 9 May: before the start
  for (const char* day : {"2024-05-10 08:00:00", "2024-05-12 23:00:00"}) {
    host.clock().Set(*DateTime::Parse(day));
    EXPECT_TRUE(Has(TopicList("闲聊"), line)) << day;
  }
  host.clock().Set(*DateTime::Parse("2024-05-13 00:00:00"));
  EXPECT_FALSE(Has(TopicList("技术"), line));
}

TEST_F(AnnouncePage, AModeratorPublishesOnlyToHisForums) {
  FormFields mixed = Draft();
  mixed.emplace_back("ForumName", "技术");
  mixed.emplace_back("ForumName", "闲聊");
  EXPECT_GOLDEN("admin/announce_other_forum", Submit(mixed, kMod));
  EXPECT_EQ(Count("select count(*) from announce"), 2);
}

TEST_F(AnnouncePage, EachPublisherListsAndOpensHisOwn) {
  const FormFields list = {{"action", "enter"}, {"AnnounceFunction", "EditAnnouncement"}};
  EXPECT_GOLDEN("admin/announce_list_moderator", Submit(list, kMod));
  EXPECT_GOLDEN("admin/announce_list_all", Submit(list));
  EXPECT_GOLDEN("admin/announce_none_chosen", Submit({{"action", "reviewannounce"}}));
  EXPECT_GOLDEN("admin/announce_review",
                Submit({{"action", "reviewannounce"}, {"editannounce", Id(own_announce)}}));
}

TEST_F(AnnouncePage, EditingKeepsTheForumsAndNamesTheEditorDeletingKeepsTheRest) {
  FormFields edit = Draft(
      {{"action", "submitanncedit"}, {"announceid", Id(own_announce)}, {"Subject", "新版规"}});
  EXPECT_GOLDEN("admin/announce_edited", Submit(edit));
  EXPECT_EQ(Rows("select subject,username from announce where id=" + Id(own_announce)),
            "新版规|boss|\n");
  EXPECT_EQ(Count("select count(*) from announceto where id=" + Id(own_announce)), 1);

  Submit({{"action", "submitanncedit"}, {"announceid", Id(own_announce)}, {"delete", "on"}});
  EXPECT_EQ(Count("select count(*) from announce"), 1);
  EXPECT_EQ(Count("select count(*) from announceto"), 2);
}

}  // namespace
}  // namespace cb
