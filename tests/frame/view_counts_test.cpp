// The view counts written behind: nothing before the interval, one statement per topic after
// it, everything at the stop, and views kept when the database refuses the write.
#include "frame/view_counts.h"

#include <gtest/gtest.h>

#include <string>

#include "store/connection.h"
#include "support/test_board.h"

namespace cb {
namespace {

using test::TestBoard;

class ViewCountsTest : public ::testing::Test {
 protected:
  ViewCountsTest() : counts_(ViewCounts::Of(board_.connection_string())) {
    board_.AddCatalogForum("休闲", "灌水");
  }
  int32_t Seed(int replies) {
    const int64_t topic = board_.AddTopic("灌水", "bob", "t");
    for (int i = 0; i < replies; ++i) board_.AddReply(topic, "bob", "r");
    return static_cast<int32_t>(topic);
  }
  void View(int32_t topic, int times) {
    for (int i = 0; i < times; ++i) counts_.Record(topic);
  }
  // "hits of the topic / hits of its replies" (one value when they agree).
  int64_t Hits(int32_t topic) {
    const std::string id = std::to_string(topic);
    const int64_t distinct =
        board_
            .Scalar("select count(distinct isnull(hits,0)) from post where postid=" + id +
                    " or parentid=" + id)
            .CLng();
    EXPECT_EQ(distinct, 1) << "every post of the thread carries the same count";
    return board_.Scalar("select isnull(hits,0) from post where postid=" + id).CLng();
  }

  TestBoard board_;
  ViewCounts& counts_;
};

TEST_F(ViewCountsTest, OneStatementPerTopicPerIntervalAndExactAfterStop) {
  FixedClock& clock = board_.clock();
  const int32_t a = Seed(3), b = Seed(0);

  View(a, 5);
  View(b, 2);
  EXPECT_EQ(counts_.FlushIfDue(clock), 2u);  // the first turn is due at once
  EXPECT_EQ(Hits(a), 5);
  EXPECT_EQ(Hits(b), 2);

  View(a, 4);
  EXPECT_EQ(counts_.FlushIfDue(clock), 0u) << "within the second: nothing written";
  EXPECT_EQ(Hits(a), 5);
  EXPECT_EQ(counts_.Pending(a), 4);

  clock.Advance(1);
  View(a, 1);
  EXPECT_EQ(counts_.FlushIfDue(clock), 1u) << "one statement for five views of one topic";
  EXPECT_EQ(Hits(a), 10);
  EXPECT_EQ(counts_.FlushIfDue(clock), 0u);

  // A stop writes what is pending at once, interval or not.
  View(a, 3);
  View(b, 1);
  EXPECT_EQ(ViewCounts::FlushAll(), 2u);
  EXPECT_EQ(Hits(a), 13);
  EXPECT_EQ(Hits(b), 3);
  EXPECT_EQ(counts_.Pending(a), 0);
}

TEST_F(ViewCountsTest, WriterThreadWritesAllAtItsEnd) {
  const int32_t a = Seed(1);
  {
    ViewCountWriter writer(board_.clock());
    View(a, 7);
  }
  EXPECT_EQ(Hits(a), 7);
}

TEST_F(ViewCountsTest, ViewsOfAFailedWriteWaitForTheNextTurn) {
  const int32_t a = Seed(1);
  View(a, 2);
  // No post table: the statement fails and the views stay pending.
  board_.ExecRaw("ALTER TABLE post RENAME TO post_away");
  EXPECT_EQ(counts_.Flush(), 0u);
  EXPECT_EQ(counts_.Pending(a), 2);
  board_.ExecRaw("ALTER TABLE post_away RENAME TO post");
  View(a, 1);
  EXPECT_EQ(counts_.Flush(), 1u);
  EXPECT_EQ(Hits(a), 3);
}

}  // namespace
}  // namespace cb
