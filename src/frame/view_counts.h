// Thread view counts written behind: a view adds one to its topic in memory, and the pending
// counts reach the database in one statement per topic at most once a second and at a clean stop.
// A crash loses at most the views of the last second; a read page never writes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "runtime/datetime.h"

namespace cb {

class ViewCounts {
 public:
  static constexpr std::chrono::seconds kInterval{1};

  // The pending counts of the board the connection string opens (by its data source), made on
  // first use; they live as long as the process.
  static ViewCounts& Of(const std::string& connection_string);
  // Writes every board's pending counts: on a graceful stop, and for tests that read hits.
  static size_t FlushAll();
  // Writes every board's pending counts that are due by the clock's steady time.
  static size_t FlushAllDue(const Clock& clock);

  explicit ViewCounts(std::string connection_string) : connection_(std::move(connection_string)) {}

  // One view of the topic (the page's postid).
  void Record(int32_t topic);
  // Writes the pending counts if kInterval has passed since the last write; the number of
  // statements run (one per topic).
  size_t FlushIfDue(const Clock& clock);
  // Writes the pending counts now. A failed statement keeps its topic's views for the next turn.
  size_t Flush();
  // Views not written yet.
  int64_t Pending(int32_t topic) const;

 private:
  const std::string connection_;
  mutable std::mutex mu_;
  std::map<int32_t, int64_t> pending_;
  std::mutex flush_mu_;  // one writer at a time, so the interval holds
  std::optional<Clock::SteadyTime> last_flush_;
};

// Runs the flusher on its own thread while it lives: every board's due counts, checked a few
// times a second. Its end writes everything pending, so destroy it after the server stopped.
class ViewCountWriter {
 public:
  explicit ViewCountWriter(const Clock& clock = SystemClock::Shared());
  ~ViewCountWriter();
  ViewCountWriter(const ViewCountWriter&) = delete;
  ViewCountWriter& operator=(const ViewCountWriter&) = delete;

 private:
  const Clock& clock_;
  std::mutex mu_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace cb
