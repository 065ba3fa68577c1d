// A count that stops at a bound: how many rows a select returns, up to cap. A select that finds
// its rows one at a time reads at most cap of them, however many it would return.
#pragma once

#include <string>

#include "store/connection.h"

namespace cb {

// The rows of sql, or cap when there are at least cap. Remembered until the next write like the
// record sets' counts. Raises the database error of a failing statement as Execute does.
long CountAtMost(Connection& con, const std::string& sql, long cap);

}  // namespace cb
