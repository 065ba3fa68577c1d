// Case tables under tests/data: one case a line, its inputs, "->", its expected values; a line
// "[name]" heads the cases of one function, "#" lines are comments. A value is a word, or a text
// in double quotes with the escapes \" \\ \n \r \t \xNN. A failure names the file and line.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/datetime.h"
#include "runtime/script_error.h"
#include "runtime/variant.h"

namespace cb::test {

struct TextCase {
  std::string where;  // "file:line"
  std::vector<std::string> in, out;
};

inline std::map<std::string, std::vector<TextCase>> ReadCaseTable(const std::string& file_name) {
  std::ifstream file(std::string(CORKBOARD_SOURCE_DIR) + "/tests/data/" + file_name);
  EXPECT_TRUE(file) << file_name;
  std::map<std::string, std::vector<TextCase>> sections;
  std::string section, line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
      continue;
    }
    TextCase c{file_name + ":" + std::to_string(number), {}, {}};
    std::vector<std::string>* values = &c.in;
    for (size_t i = 0; i < line.size();) {
      const char ch = line[i];
      if (ch == ' ' || ch == ',') {
        ++i;
      } else if (line.compare(i, 2, "->") == 0) {
        values = &c.out;
        i += 2;
      } else if (ch != '"') {
        const size_t end = line.find_first_of(" ,", i);
        values->push_back(line.substr(i, end - i));
        i = end == std::string::npos ? line.size() : end;
      } else {
        std::string text;
        for (++i; i < line.size() && line[i] != '"'; ++i) {
          if (line[i] != '\\' || i + 1 == line.size()) {
            text += line[i];
            continue;
          }
          const char e = line[++i];
          if (e == 'x') {
            text += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
            i += 2;
          } else {
            text += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
          }
        }
        EXPECT_LT(i, line.size()) << c.where << ": unterminated text";
        values->push_back(text);
        ++i;
      }
    }
    sections[section].push_back(std::move(c));
  }
  EXPECT_FALSE(sections.empty()) << file_name;
  return sections;
}

// A function under test: the inputs of a case in, its values out, as texts.
using CaseFunction = std::function<std::vector<std::string>(const std::vector<std::string>&)>;

// Runs every case of tests/data/<file_name> through the function its section names; a run that
// raises a script error gives "error N". A section without a function fails, and so does a
// function without cases.
inline void CheckCaseTable(const std::string& file_name,
                           const std::map<std::string, CaseFunction>& functions) {
  const auto sections = ReadCaseTable(file_name);
  for (const auto& [name, function] : functions) {
    EXPECT_TRUE(sections.contains(name)) << file_name << " has no [" << name << "]";
  }
  for (const auto& [name, cases] : sections) {
    const auto function = functions.find(name);
    if (function == functions.end()) {
      ADD_FAILURE() << file_name << ": nothing tests [" << name << "]";
      continue;
    }
    for (const TextCase& c : cases) {
      try {
        EXPECT_EQ(function->second(c.in), c.out) << c.where << " [" << name << "]";
      } catch (const ScriptError& e) {
        EXPECT_EQ((std::vector<std::string>{"error", std::to_string(e.number())}), c.out)
            << c.where << " [" << name << "]: " << e.description();
      } catch (const std::exception& e) {
        ADD_FAILURE() << c.where << " [" << name << "]: " << e.what();
      }
    }
  }
}

inline std::vector<std::string> Yes(bool b) { return {b ? "yes" : "no"}; }

// Matches a call that raises the script error of this number.
inline auto Raises(long number) {
  return ::testing::Throws<ScriptError>(::testing::Property(&ScriptError::number, number));
}

// A typed value: @null, @empty, @true, @false, @i16:N, @i32:N, @i64:N, @d:N (a double),
// @date:Y-M-D [h:m:s] or @array; any other text is itself.
inline Variant Typed(const std::string& v) {
  const std::string n = v.substr(v.find(':') + 1);
  if (!v.starts_with("@")) return Variant(v);
  if (v == "@null") return Variant::Null();
  if (v == "@empty") return Variant();
  if (v == "@true" || v == "@false") return Variant(v == "@true");
  if (v == "@array") return Variant(Array2D(1, 1));
  if (v.starts_with("@i16:")) return Variant(static_cast<int16_t>(std::stoi(n)));
  if (v.starts_with("@i32:")) return Variant(static_cast<int32_t>(std::stol(n)));
  if (v.starts_with("@i64:")) return Variant(static_cast<int64_t>(std::stoll(n)));
  if (v.starts_with("@d:")) return Variant(std::stod(n));
  if (v.starts_with("@date:")) return Variant(DateTime::Parse(n).value());
  ADD_FAILURE() << "no such value: " << v;
  return Variant();
}

}  // namespace cb::test
