// What a page test starts from: GoogleTest, the page classes, the fake host, the test board and its
// fixtures, golden files, case tables, the small page checks, and the names every page test uses.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "frame/corkboard.h"
#include "support/case_table.h"
#include "support/fake_host.h"
#include "support/golden.h"
#include "support/page_text.h"
#include "support/test_board.h"

namespace cb {
namespace test {
// A fresh board behind its fake host: where most page tests start.
struct HostedBoard {
  FakeHost host;
  TestBoard board{host};
};
// A test whose fixture is a board of its own kind.
template <class Board>
struct Fixture : ::testing::Test, Board {};
using BoardTest = Fixture<HostedBoard>;
}  // namespace test

using test::FakeHost;
using test::FormFields;
using test::GoldenCase;
using test::Has;
using test::TestBoard;
using test::WithChanges;
}  // namespace cb
