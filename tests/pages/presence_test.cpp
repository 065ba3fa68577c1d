// The online table: listing, take-over, address change, expiry, a full table, a contended lock,
// the visit-time cookie, and the "谁在线" page that shows the table.
#include <chrono>
#include <future>
#include <thread>

#include "support/page_test.h"

namespace cb {
namespace {

struct PresenceProbe : Corkboard {
  using Corkboard::UpdateOnline;
};

struct Visit {
  std::string address;
  std::string cookie_name;   // cookie "UserName"
  std::string session_name;  // session "UserName" (a signed-in session)
};

// A host whose visitors' pages are recorded in the online table.
struct Visitors {
  FakeHost host;

  // Records one page of a visitor and returns the name it is listed under.
  std::string Record(const Visit& v, const std::string& location = "首页") {
    host.Get("/default.asp").RemoteAddr(v.address);
    if (!v.cookie_name.empty()) host.Cookie("UserName", v.cookie_name);
    host.session().Set("UserName", Variant(v.session_name));
    std::string listed;
    host.RunWith<PresenceProbe>(
        [&](PresenceProbe& page) { page.UpdateOnline(v.address, location, listed); });
    return listed;
  }
  const Array2D& Table() {
    table = host.application().Get("Online");
    return table.AsArray();
  }
  int UsedRows() {
    int n = 0;
    const Array2D& t = Table();
    for (int r = 0; r < t.rows(); ++r) n += t.at(r, 1).Str().empty() ? 0 : 1;
    return n;
  }
  int Count(const char* key) { return host.application().Get(key).CInt(); }

  Variant table;  // the last one read
};
using UpdateOnline = test::Fixture<Visitors>;

// The tables of tests/data/online.txt: who is listed and counted, and the visit-time cookie.
TEST_F(UpdateOnline, ListsVisitorsAndCountsGuestsAndKeepsTheVisitTime) {
  using Texts = std::vector<std::string>;
  const auto visits = [](const Texts& a) {
    Visitors visitors;
    Texts out;
    for (const std::string& v : a) {
      const size_t slash = v.find('/'), second = v.find('/', slash + 1);
      out.push_back(visitors.Record(
          {v.substr(0, slash), v.substr(slash + 1, second - slash - 1), v.substr(second + 1)}));
    }
    EXPECT_EQ(visitors.UsedRows(), visitors.Count("OnlineCount"));
    for (const char* key : {"OnlineCount", "GuestCount"}) {
      out.push_back(std::to_string(visitors.Count(key)));
    }
    return out;
  };
  const auto login_time = [](const Texts& a) {
    FakeHost host;
    host.Get("/announce.asp");
    if (!a[0].empty()) host.Cookie("sessionLoginDT", a[0]);
    Variant result;
    host.RunWith<Corkboard>([&](Corkboard& page) { result = page.GetSessionLoginDT(); });
    return Texts{result.CDate().GeneralText(), test::SetCookies(host)};
  };
  test::CheckCaseTable("online.txt", {{"UpdateOnline", visits}, {"GetSessionLoginDT", login_time}});
}

TEST_F(UpdateOnline, RowKeepsAddressAndTimesAfterAddressChange) {
  host.clock().Set(DateTime::FromParts(2024, 5, 9, 10, 0, 0));
  Record({"10.0.0.1", "alice", ""}, "首页");
  host.clock().Set(DateTime::FromParts(2024, 5, 9, 10, 2, 0));
  Record({"10.0.0.9", "alice", ""}, "谁在线");
  const Array2D& t = Table();
  EXPECT_EQ(t.at(0, 0).Str() + " " + t.at(0, 1).Str() + " " + t.at(0, 2).CDate().YmdHms() + " " +
                t.at(0, 3).CDate().YmdHms() + " " + t.at(0, 5).Str(),
            "alice 10.0.0.9 2024-05-09 10:00:00 2024-05-09 10:02:00 谁在线");
}

TEST_F(UpdateOnline, ExpiresRowsIdleForOnlineTimeMinutes) {
  // OnlineTime 5: the first visitor came at 10:00:00, the second comes seconds_later.
  for (const auto& [seconds_later, first_stays] :
       {std::pair{4 * 60 + 59, true}, {5 * 60, false}, {-60, false}}) {
    SCOPED_TRACE(seconds_later);
    Visitors v;
    v.host.clock().Set(DateTime::FromParts(2024, 5, 9, 10, 0, 0));
    v.Record({"10.0.0.1", "", ""});
    v.host.clock().Advance(seconds_later);
    v.Record({"10.0.0.2", "", ""});
    EXPECT_EQ(v.UsedRows(), first_stays ? 2 : 1);
    EXPECT_EQ(v.Count("OnlineCount"), first_stays ? 2 : 1);
  }
}

TEST_F(UpdateOnline, FullTableLeavesNewVisitorUnlisted) {
  host.Configure({{"maxUser", "2"}});
  for (int i = 1; i <= 3; ++i) Record({"10.0.0." + std::to_string(i), "", ""});
  EXPECT_EQ(Record({"10.0.0.4", "", ""}), "");
  EXPECT_EQ(Count("OnlineCount"), 3);
  // The unlisted visitor's pages still work and show the table.
  const std::string page = host.Get("/online.asp").RemoteAddr("10.0.0.4").Run(&Corkboard::Online);
  EXPECT_NE(page.find("10.0.0.*"), std::string::npos);
  EXPECT_NE(page.find("</body></html>"), std::string::npos);
  // Once the rows expire the visitor gets one.
  host.clock().Advance(6 * 60);
  EXPECT_EQ(Record({"10.0.0.4", "", ""}), "GUEST ");
  EXPECT_EQ(Count("OnlineCount"), 1);
}

TEST_F(UpdateOnline, ThousandsOfAddressesKeepTheTableAtMaxUserPlusOne) {
  for (int i = 0; i < 3000; ++i) {
    Record({"10." + std::to_string(i / 250) + ".0." + std::to_string(i % 250), "", ""});
  }
  EXPECT_EQ(Table().rows(), 21);
  EXPECT_EQ(Count("OnlineCount"), 21);
  EXPECT_EQ(Count("GuestCount"), 21);
}

TEST_F(UpdateOnline, TableKeepsItsSizeWhenMaxUserChanges) {
  host.Configure({{"maxUser", "1"}});
  Record({"10.0.0.1", "", ""});
  host.Configure({{"maxUser", "50"}});
  Record({"10.0.0.2", "", ""});
  EXPECT_EQ(Record({"10.0.0.3", "", ""}), "");
  EXPECT_EQ(Table().rows(), 2);
  EXPECT_TRUE(test::EndsPage(host.Get("/online.asp").Run(&Corkboard::Online)));
}

TEST_F(UpdateOnline, ReplacesAStoredValueThatIsNotATable) {
  host.application().Set("Online", Variant("garbage"));
  EXPECT_EQ(Record({"10.0.0.1", "", ""}), "GUEST ");
  EXPECT_EQ(Table().rows(), 21);
}

TEST_F(UpdateOnline, ContendedLockDoesNotHoldThePage) {
  std::promise<void> locked, release;
  std::thread holder([&] {
    host.application().Lock();
    locked.set_value();
    release.get_future().wait();
    host.application().Unlock();
  });
  locked.get_future().wait();
  const auto start = std::chrono::steady_clock::now();
  const std::string page = host.Get("/online.asp").Run(&Corkboard::Online);
  const auto waited = std::chrono::steady_clock::now() - start;
  release.set_value();
  holder.join();
  EXPECT_LT(waited, std::chrono::seconds(3));
  EXPECT_NE(page.find("</body></html>"), std::string::npos);
  // The visit went unrecorded; the next page records it.
  EXPECT_TRUE(host.application().Get("Online").IsEmpty());
  EXPECT_EQ(Record({"127.0.0.1", "", ""}), "GUEST ");
}

using OnlinePage = UpdateOnline;

// Debug mode is for administrators (tests/pages/hostile_visitor_test.cpp): a guest asking for it
// gets the ordinary list. Addresses masked; a cookie name and a location are text, never markup.
TEST_F(OnlinePage, ShowsGuestsOnlyMaskedAddresses) {
  Record({"10.1.2.3", "", ""});
  Record({"10.9.9.9", "<b>x</b>", ""}, "回复：<i>话题</i>");
  test::ExpectGoldenCases("online/guest", [&](const std::string& url) {
    return host.Get(url).RemoteAddr("10.1.2.3").Run(&Corkboard::Online);
  });
}

}  // namespace
}  // namespace cb
