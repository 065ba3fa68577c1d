// Eight visitors posting to a real board process and what they were told, checked afterwards
// against what the board holds: no acknowledged post lost, no reply without its topic, every
// counter equal to a recount.
#pragma once

#include <atomic>
#include <mutex>
#include <set>

#include "durability/board_process.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "support/recount.h"

namespace cb::test {

using SteadyClock = std::chrono::steady_clock;
inline constexpr int kPosters = 8;
inline constexpr const char* kDataSource = "durability";
inline constexpr const char* kConnection = "DATA SOURCE=durability";

inline std::string Lookup(const std::string& sql) {
  Connection con;
  con.Open(kConnection);
  auto rs = con.Execute(sql);
  return rs->Eof() ? "" : rs->Fields(0).Str();
}

// What the posters saw, for the checks afterwards.
struct Tally {
  std::mutex mu;
  std::set<std::string> acknowledged;  // subjects whose request got its success page
  int cut = 0;                         // no complete answer (the board was killed)
  int error_pages = 0;                 // the board's database error page
  std::string unexpected;              // the first answer that was neither
  int late_failures = 0;               // failures of requests sent after `healthy_since`
  std::atomic<int64_t> healthy_since{INT64_MAX};

  size_t AcknowledgedSoFar() {
    std::lock_guard<std::mutex> lock(mu);
    return acknowledged.size();
  }
};

// A visitor posting a topic, then replies to it, then another topic..., each request from a new
// address (the flood guard holds one address back for SubmitInterval).
inline void Post(int poster, const std::atomic<uint16_t>& port, const std::atomic<bool>& stop,
                 const std::string& forum, Tally& tally) {
  const std::string who = "username=poster" + std::to_string(poster) + "&Password=pw";
  std::string topic = Lookup("select max(postid) from post where parentid is null");
  for (int n = 0; !stop; ++n) {
    const bool new_topic = n % 4 == 0;
    const std::string subject = "p" + std::to_string(poster) + "-" + std::to_string(n);
    const std::string form = new_topic ? "action=posttopic&Forum=" + UrlEncode(forum) + "&" + who +
                                             "&topicsubject=" + subject + "&Message=text&MsgIcon=1"
                                       : "action=postreply&topic=" + topic + "&" + who +
                                             "&topicsubject=" + subject + "&Message=text&MsgIcon=1";
    const std::string address = "10." + std::to_string(poster) + "." + std::to_string(n / 250) +
                                "." + std::to_string(n % 250);
    const int64_t sent = SteadyClock::now().time_since_epoch().count();
    auto r = PostForm(port, "/posting.asp", form, address);
    const std::string text = r ? PageText(*r) : "";
    const bool ok =
        r && r->status == 200 && text.ends_with("</html>") &&
        text.find(new_topic ? "谢谢您发表新主题" : "谢谢您回复话题") != std::string::npos;
    std::lock_guard<std::mutex> lock(tally.mu);
    if (ok) {
      tally.acknowledged.insert(subject);
    } else if (!r) {
      ++tally.cut;
    } else if (r->status == 200 && text.ends_with("</html>") &&
               text.find("错误号：") != std::string::npos) {
      ++tally.error_pages;
    } else if (tally.unexpected.empty()) {
      tally.unexpected = address + ": " + std::to_string(r->status) + " " + text.substr(0, 600);
    }
    if (!ok && sent > tally.healthy_since) ++tally.late_failures;
    if (!ok) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } else if (new_topic) {
      try {
        topic = Lookup("select postid from post where subject='" + subject + "'");
      } catch (const std::exception&) {
        // The database is away for a moment: replies go on to the previous topic.
      }
    }
  }
}

// Lines naming every disagreement between what the visitors were told and what the board holds.
inline std::string Disagreements(const Tally& tally) {
  std::string out;
  Connection con;
  con.Open(kConnection);
  std::set<std::string> stored;
  for (auto rs = con.Execute("select subject from post"); !rs->Eof(); rs->MoveNext()) {
    stored.insert(rs->Fields(0).Str());
  }
  for (const std::string& s : tally.acknowledged) {
    if (!stored.count(s)) out += "acknowledged post lost: " + s + "\n";
  }
  const std::string orphans = Lookup(
      "select count(*) from post r where r.parentid is not null and not exists "
      "(select postid from post t where t.postid=r.parentid)");
  if (orphans != "0") out += "replies without their topic: " + orphans + "\n";
  return out + CounterDisagreements(con);
}

}  // namespace cb::test
