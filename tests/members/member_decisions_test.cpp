// The member pages' decisions as data: profile-save refusals in their order, the preference
// cookies as shown, the friend's mail body and return address.
#include <gtest/gtest.h>

#include <string>

#include "frame/procedures.h"
#include "members/member_pages.h"

namespace cb {
namespace {

ProfileSave GoodSave() {
  ProfileSave save;
  save.member_verified = true;
  save.member = "alice";
  save.stored_password = "old1";
  save.stored_email = "a@example.com";
  save.form_user = "alice";
  save.password = "old1";
  save.password1 = "old1";
  save.email = "a@example.com";
  save.oicq = "12345";
  return save;
}

TEST(ProfileSaveRefusal, InTheOrderThePageChecks) {
  const char* kBadPassword =
      "口令输入错误，请用英文字符、数字作为您的口令，口令最大长度为10位，请检查！";
  struct Case {
    const char* what;
    void (*change)(ProfileSave&);
    const char* refusal;  // nullptr: saved
  };
  const Case cases[] = {
      {"unchanged password and address", [](ProfileSave&) {}, nullptr},
      {"not verified", [](ProfileSave& s) { s.member_verified = false; }, kProfileNotMember},
      {"another member's form", [](ProfileSave& s) { s.form_user = "bob"; }, kProfileNotMember},
      {"the name in another case", [](ProfileSave& s) { s.form_user = "ALICE"; }, nullptr},
      {"empty password, before all else",
       [](ProfileSave& s) { s.password = s.password1 = s.email = ""; }, "口令不能为空！"},
      {"confirmation differs", [](ProfileSave& s) { s.password1 = "other"; }, "两口令不符，请修改"},
      {"password too long", [](ProfileSave& s) { s.password = s.password1 = "abcdefghijk"; },
       kBadPassword},
      {"password of blanks", [](ProfileSave& s) { s.password = s.password1 = "   "; },
       kBadPassword},
      {"password with a quote", [](ProfileSave& s) { s.password = s.password1 = "a'b"; },
       kBadPassword},
      {"empty address", [](ProfileSave& s) { s.email = ""; },
       "你必须输入一个Email地址！按浏览器的后退按钮可重新处理！"},
      {"no address kept as none", [](ProfileSave& s) { s.email = s.stored_email = ""; }, nullptr},
      {"address without a dot", [](ProfileSave& s) { s.email = "a@example"; },
       "你输入的Email地址不合法，请重新输入！按浏览器的后退按钮可重新处理！"},
      {"messenger number with letters", [](ProfileSave& s) { s.icq = "12a"; },
       kMessengerNumberMessage},
      {"address of another member",
       [](ProfileSave& s) {
         s.email = "b@example.com";
         s.old_password = "old1";
         s.email_taken = true;
       },
       kEmailTaken},
      {"new password without the old one",
       [](ProfileSave& s) { s.password = s.password1 = "new2"; }, kProfileOldPassword},
      {"new password with a wrong old one",
       [](ProfileSave& s) {
         s.password = s.password1 = "new2";
         s.old_password = "OLD1";
       },
       kProfileOldPassword},
      {"new password with the old one",
       [](ProfileSave& s) {
         s.password = s.password1 = "new2";
         s.old_password = "old1";
       },
       nullptr},
      {"new address without the old password", [](ProfileSave& s) { s.email = "n@example.com"; },
       kProfileOldPassword},
      {"the guard holds the name back",
       [](ProfileSave& s) {
         s.email = "n@example.com";
         s.old_password = "old1";
         s.guard_refused = true;
       },
       kProfileOldPassword},
      {"the guard does not matter when nothing needs the old password",
       [](ProfileSave& s) { s.guard_refused = true; }, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProfileSave save = GoodSave();
    c.change(save);
    const char* refusal = ProfileSaveRefusal(save);
    EXPECT_STREQ(refusal, c.refusal);
  }
}

TEST(ProfileSaveRefusal, StoresThePasswordTrimmed) {
  ProfileSave save = GoodSave();
  save.password = save.password1 = " old1 ";
  EXPECT_EQ(ProfileSaveRefusal(save), nullptr);
  EXPECT_EQ(save.password, "old1");
}

TEST(Preferences, CookiesAsShown) {
  const std::pair<const char*, int16_t> days[] = {{"10", 10},    {"-5", 5},   {"0", 0},
                                                  {"", 7},       {"abc", 7},  {"99999", 7},
                                                  {"-32768", 7}, {" 30 ", 30}};
  for (const auto& [cookie, shown] : days) EXPECT_EQ(DaysPruneShown(cookie, 7), shown) << cookie;
  for (const char* yes : {"", "yes", "maybe"}) EXPECT_TRUE(NameStorageShown(yes)) << yes;
  for (const char* no : {"no", "NO"}) EXPECT_FALSE(NameStorageShown(no)) << no;
}

// The board's own link staying a link is checked with the whole mail in member_mail_test.
TEST(SendThread, FriendMailBodyKeepsOnlyTheBoardLink) {
  const std::string board = "http://board.example/";
  struct Case {
    const char* message;
    const char* body;
  };
  const Case cases[] = {
      {"<a href=http://evil.example/>http://evil.example/</a>",
       "&lt;a href=http://evil.example/&gt;http://evil.example/&lt;/a&gt;"},
      {"<a href=http://board.example/x>点这里</a>",
       "&lt;a href=http://board.example/x&gt;点这里&lt;/a&gt;"},
      {"<a href=http://board.example/x onclick=y>http://board.example/x onclick=y</a>",
       "&lt;a href=http://board.example/x onclick=y&gt;http://board.example/x onclick=y&lt;/a&gt;"},
      {"<img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)&gt;"},
      {"第一行\r\n第二行 & \"引号\"", "第一行<br>\n第二行 &amp; &quot;引号&quot;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(FriendMailBody(c.message, board), c.body);
  }
}

// A path of this board, whatever it looks like; never another host.
TEST(SendThread, ReturnsOnlyToPagesOfTheBoard) {
  const char* board = "http://board.example/";
  const struct {
    const char *referer, *board, *back;
  } cases[] = {
      {"http://board.example/newsdetail.asp?id=3", board, "newsdetail.asp?id=3"},
      {"HTTP://BOARD.EXAMPLE/list.asp", board, "list.asp"},
      {"http://evil.example/", board, "default.asp"},
      {"http://board.example.evil/", board, "default.asp"},
      {"http://board.example//evil.example/", board, "/evil.example/"},
      {"http://board.example//evil.example/", "http://board.example", "default.asp"},
      {"http://board.example/\\evil.example/", board, "default.asp"},
      {"", board, "default.asp"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FriendReturnAddress(c.referer, c.board), c.back) << c.referer;
}

}  // namespace
}  // namespace cb
