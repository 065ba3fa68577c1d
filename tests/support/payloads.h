// The hostile-input lists under tests/data: one payload a line, "#" lines and blank lines skipped;
// "\t", "\n", "\r" and "\\" stand for a tab, line feed, carriage return and backslash (any other
// backslash is kept as typed).
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace cb::test {

inline std::vector<std::string> ReadPayloads(const std::string& file_name) {
  std::ifstream in(std::string(CORKBOARD_SOURCE_DIR) + "/tests/data/" + file_name);
  EXPECT_TRUE(in) << file_name;
  std::vector<std::string> payloads;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::string payload;
    for (size_t i = 0; i < line.size(); ++i) {
      const char next = i + 1 < line.size() ? line[i + 1] : '\0';
      if (line[i] != '\\' || (next != 't' && next != 'n' && next != 'r' && next != '\\')) {
        payload += line[i];
        continue;
      }
      payload += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
      ++i;
    }
    payloads.push_back(payload);
  }
  EXPECT_FALSE(payloads.empty()) << file_name;
  return payloads;
}

}  // namespace cb::test
