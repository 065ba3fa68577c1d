// The online table on a board several processes serve: each process keeps its own table for its
// pages, and once a second sends the rows its visitors refreshed to the shared value "Online" and
// takes back every process's rows, so that every process lists and counts every visitor.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/context.h"
#include "runtime/datetime.h"

namespace cb {

// The columns of the application's online table, one row per visitor.
namespace online {
inline constexpr int kColumns = 6;
inline constexpr int kName = 0, kAddress = 1, kLoginTime = 2, kLastActive = 3, kCheckTime = 4,
                     kLocation = 5;
inline constexpr const char* kGuest = "GUEST ";
}  // namespace online

struct OnlineRow {
  std::string name, address, location;
  DateTime login, last;
  bool operator==(const OnlineRow&) const = default;
};

// base with each incoming row: one row per address, the later activity winning; rows idle for
// online_minutes or more (or ahead of now) leave; past capacity the least recently active go.
std::vector<OnlineRow> MergeOnline(std::vector<OnlineRow> base,
                                   const std::vector<OnlineRow>& incoming, DateTime now,
                                   int online_minutes, size_t capacity);

// One exchange: the rows of app's table active at or after since go to the shared value, and
// the table becomes the merge of its rows and every process's.
void ShareOnline(Application& app, SharedState& shared, DateTime since, DateTime now);

// Runs ShareOnline once a second on its own thread while it lives.
class OnlineSharer {
 public:
  OnlineSharer(Application& app, std::shared_ptr<SharedState> shared,
               const Clock& clock = SystemClock::Shared());
  ~OnlineSharer();
  OnlineSharer(const OnlineSharer&) = delete;
  OnlineSharer& operator=(const OnlineSharer&) = delete;

 private:
  std::mutex mu_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace cb
