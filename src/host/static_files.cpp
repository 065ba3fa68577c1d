// The site folder and the safe lookup of its files.
#include "host/static_files.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "host/http_text.h"
#include "runtime/convert.h"
#include "runtime/gbk.h"
#include "runtime/percent.h"

namespace cb {

namespace fs = std::filesystem;

namespace {

// The path's segments, or nullopt when one of them could climb out or hide something: "..", ".",
// names starting with a dot, a "%" left after decoding (an escape encoded twice), back slashes and
// control characters.
std::optional<std::vector<std::string>> SafeSegments(const std::string& decoded) {
  std::vector<std::string> segments;
  std::string_view rest = decoded;
  while (!rest.empty()) {
    size_t slash = rest.find('/');
    std::string_view seg = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (seg.empty()) continue;
    if (seg.front() == '.') return std::nullopt;
    for (unsigned char c : seg) {
      if (c < 0x20 || c == 0x7f || c == '\\' || c == '%' || c == ':') return std::nullopt;
    }
    std::string name(seg);
    // Browsers send UTF-8; older pages may link GBK names.
    if (!IsValidUtf8(name)) name = GbkToUtf8(name);
    segments.push_back(std::move(name));
  }
  return segments;
}

// The entry of dir named name, letter case ignored when no exact match exists.
std::optional<fs::path> FindEntry(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  fs::path exact = dir / name;
  if (fs::symlink_status(exact, ec).type() != fs::file_type::not_found && !ec) return exact;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (EqualsNoCase(it->path().filename().string(), name)) return it->path();
  }
  return std::nullopt;
}

bool IsInside(const fs::path& root, const fs::path& p) {
  const std::string& r = root.native();
  const std::string& s = p.native();
  return s.size() > r.size() && s.compare(0, r.size(), r) == 0 && s[r.size()] == '/';
}

}  // namespace

SiteFolder::SiteFolder(const std::string& root) {
  std::error_code ec;
  root_ = fs::canonical(root, ec);
  if (ec) root_.clear();
}

StaticLookup SiteFolder::Lookup(std::string_view raw_path) const {
  StaticLookup result;
  std::optional<std::string> decoded = PercentDecodePath(raw_path);
  if (!decoded || decoded->find('\0') != std::string::npos) {
    result.outcome = StaticLookup::kRefused;
    return result;
  }
  auto segments = SafeSegments(*decoded);
  if (!segments) {
    result.outcome = StaticLookup::kRefused;
    return result;
  }
  if (root_.empty() || segments->empty()) return result;
  fs::path at = root_;
  for (const std::string& seg : *segments) {
    auto next = FindEntry(at, seg);
    if (!next) return result;
    at = *next;
  }
  std::error_code ec;
  fs::path real = fs::canonical(at, ec);
  if (ec || !IsInside(root_, real)) return result;
  if (!fs::is_regular_file(real, ec)) return result;
  result.outcome = StaticLookup::kFound;
  result.path = real;
  result.content_type = ContentTypeForFile(real.filename().string());
  if (result.content_type.empty()) result.content_type = "application/octet-stream";
  return result;
}

std::optional<std::string> SiteFolder::ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return bytes.str();
}

}  // namespace cb
