// Inputs for the micro-benchmarks: a unit of text repeated to about one megabyte, so that every
// benchmark measures the same volume.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace bench {

constexpr size_t kBytes = 1 << 20;

inline std::string Repeat(std::string_view unit) {
  std::string s;
  s.reserve(kBytes + unit.size());
  while (s.size() < kBytes) s += unit;
  return s;
}

}  // namespace bench
