// Golden files: read, compare with a readable first difference, rewrite on request.
#include "support/golden.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host/static_files.h"

namespace cb::test {

namespace {

// "<page>/<case>" is an HTML file; a name with an extension of its own ("mail/x.eml") keeps it.
std::filesystem::path GoldenPath(std::string_view name) {
  std::filesystem::path path =
      std::filesystem::path(CORKBOARD_SOURCE_DIR) / "tests" / "golden" / std::string(name);
  if (!path.has_extension()) path += ".html";
  return path;
}

bool UpdateRequested() {
  const char* v = std::getenv("UPDATE_GOLDEN");
  return v != nullptr && std::string_view(v) == "1";
}

// Context of ~80 bytes around pos, with line breaks shown so that the two versions line up.
std::string Around(std::string_view text, size_t pos) {
  size_t from = pos > 40 ? pos - 40 : 0;
  size_t to = std::min(text.size(), from + 80);
  // Whole UTF-8 characters only, so that Chinese text prints readably.
  while (from > 0 && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) --from;
  while (to < text.size() && (static_cast<unsigned char>(text[to]) & 0xC0) == 0x80) ++to;
  std::string shown;
  for (char c : text.substr(from, to - from)) {
    shown += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
  }
  return (from > 0 ? "…" : "") + shown + (to < text.size() ? "…" : "");
}

}  // namespace

std::string GoldenCase(std::string_view name, std::string_view output) {
  return std::string(kCaseMark).append(name).append("\n").append(output).append("\n");
}

std::string ReadGolden(std::string_view name) {
  return SiteFolder::ReadFile(GoldenPath(name)).value_or("");
}

void ExpectGoldenCases(std::string_view name,
                       const std::function<std::string(const std::string&)>& run) {
  const std::string golden = ReadGolden(name);
  std::string out;
  for (size_t at = 0; (at = golden.find(kCaseMark, at)) != std::string::npos; ++at) {
    if (at > 0 && golden[at - 1] != '\n') continue;
    const size_t start = at + kCaseMark.size();
    const std::string case_name = golden.substr(start, golden.find('\n', start) - start);
    SCOPED_TRACE(case_name);
    out += GoldenCase(case_name, run(case_name));
  }
  EXPECT_FALSE(out.empty()) << "no cases in " << name;
  EXPECT_GOLDEN(name, out);
}

::testing::AssertionResult MatchesGolden(std::string_view name, std::string_view actual) {
  const std::filesystem::path path = GoldenPath(name);
  if (UpdateRequested()) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << actual;
    return ::testing::AssertionSuccess() << "rewrote " << path.string();
  }
  if (!std::filesystem::exists(path)) {
    return ::testing::AssertionFailure()
           << "no golden file " << path.string() << " (run with UPDATE_GOLDEN=1 to create it)";
  }
  std::string expected = ReadGolden(name);
  if (!expected.empty() && expected.back() == '\n' && (actual.empty() || actual.back() != '\n')) {
    expected.pop_back();
  }
  if (expected == actual) return ::testing::AssertionSuccess();

  size_t pos = 0;
  while (pos < expected.size() && pos < actual.size() && expected[pos] == actual[pos]) ++pos;
  const size_t line = std::count(expected.begin(), expected.begin() + pos, '\n') + 1;
  const size_t line_start = pos == 0 ? std::string::npos : expected.rfind('\n', pos - 1);
  const size_t column = pos - (line_start == std::string::npos ? 0 : line_start + 1) + 1;
  // In a file of several cases, name the case the difference falls in.
  const size_t header = expected.rfind(kCaseMark, pos);
  const std::string in_case =
      header == std::string::npos
          ? ""
          : " in case \"" +
                expected.substr(header + kCaseMark.size(),
                                expected.find('\n', header) - header - kCaseMark.size()) +
                "\"";
  return ::testing::AssertionFailure()
         << "output differs from " << path.string() << in_case << " at line " << line << ", column "
         << column << " (byte " << pos << "; expected " << expected.size() << " bytes, got "
         << actual.size() << ")\n  expected: " << Around(expected, pos)
         << "\n  actual:   " << Around(actual, pos)
         << "\n  (UPDATE_GOLDEN=1 rewrites the file; review the change before committing)";
}

}  // namespace cb::test
