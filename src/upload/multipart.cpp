// Splitting a multipart/form-data body at its boundary and reading each part's header.
#include "upload/multipart.h"

#include <optional>
#include <utility>

#include "runtime/convert.h"

namespace cb {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// A header value of the form `type; key=value; key="quoted value"`: its type and parameters
// (keys lower-cased, the first of a repeated key kept). Nothing when a quote is left open.
struct HeaderValue {
  std::string_view type;
  std::vector<std::pair<std::string, std::string_view>> params;

  std::optional<std::string_view> Param(std::string_view key) const {
    for (const auto& [k, v] : params) {
      if (k == key) return v;
    }
    return std::nullopt;
  }
};

std::optional<HeaderValue> ParseHeaderValue(std::string_view text) {
  HeaderValue out;
  size_t semi = text.find(';');
  out.type = TrimBlanks(text.substr(0, semi));
  text = semi == std::string_view::npos ? std::string_view() : text.substr(semi + 1);
  while (!text.empty()) {
    text = TrimBlanks(text);
    size_t stop = text.find_first_of("=;");
    std::string key = ToLower(TrimBlanks(text.substr(0, stop)));
    if (stop == std::string_view::npos || text[stop] == ';') {
      text = stop == std::string_view::npos ? std::string_view() : text.substr(stop + 1);
      continue;
    }
    text = TrimBlanks(text.substr(stop + 1));
    std::string_view value;
    if (!text.empty() && text.front() == '"') {
      size_t close = text.find('"', 1);
      if (close == std::string_view::npos) return std::nullopt;
      value = text.substr(1, close - 1);
      text = text.substr(close + 1);
      size_t next = text.find(';');
      text = next == std::string_view::npos ? std::string_view() : text.substr(next + 1);
    } else {
      size_t next = text.find(';');
      value = TrimBlanks(text.substr(0, next));
      text = next == std::string_view::npos ? std::string_view() : text.substr(next + 1);
    }
    if (!key.empty() && !out.Param(key)) out.params.emplace_back(std::move(key), value);
  }
  return out;
}

}  // namespace

std::string MultipartBody::BoundaryOf(std::string_view content_type) {
  std::optional<HeaderValue> type = ParseHeaderValue(content_type);
  if (!type || !EqualsNoCase(type->type, "multipart/form-data")) return "";
  std::optional<std::string_view> boundary = type->Param("boundary");
  if (!boundary || boundary->empty() || boundary->size() > kMaxBoundary) return "";
  for (char c : *boundary) {
    if (c == '\r' || c == '\n' || c == '\0') return "";
  }
  return std::string(*boundary);
}

MultipartBody::MultipartBody(std::string_view body, std::string_view content_type) {
  const std::string boundary = BoundaryOf(content_type);
  if (boundary.empty()) return;
  const std::string dash_boundary = "--" + boundary;
  // The body's first line is the boundary itself.
  if (!body.starts_with(dash_boundary)) return;
  std::string_view rest = body.substr(dash_boundary.size());
  if (!rest.starts_with(kCrLf) && !rest.starts_with("--")) return;
  ok_ = true;
  Split(body, dash_boundary);
}

void MultipartBody::Split(std::string_view body, std::string_view dash_boundary) {
  const std::string delimiter = std::string(kCrLf) + std::string(dash_boundary);
  size_t pos = dash_boundary.size();
  while (true) {
    // pos is just past a delimiter: "--" closes the body, CR LF opens the next part.
    std::string_view after = body.substr(pos);
    if (after.starts_with("--")) {
      complete_ = true;
      return;
    }
    if (!after.starts_with(kCrLf)) return;
    const size_t start = pos + kCrLf.size();
    const size_t next = body.find(delimiter, start);
    if (next == std::string_view::npos) return;  // cut off: the last part is lost
    if (parts_.size() < kMaxParts) AddPart(body.substr(start, next - start));
    pos = next + delimiter.size();
  }
}

void MultipartBody::AddPart(std::string_view part) {
  // The header lines end at the first empty line.
  size_t end = part.starts_with(kCrLf) ? 0 : part.find("\r\n\r\n");
  if (end == std::string_view::npos || end > kMaxHeaderBytes) return;
  std::string_view headers = part.substr(0, end);
  std::string_view content = part.substr(end + (end == 0 ? 2 : 4));
  std::optional<HeaderValue> disposition;
  while (!headers.empty()) {
    size_t eol = headers.find(kCrLf);
    std::string_view line = headers.substr(0, eol);
    headers = eol == std::string_view::npos ? std::string_view() : headers.substr(eol + 2);
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    if (EqualsNoCase(TrimBlanks(line.substr(0, colon)), "content-disposition")) {
      disposition = ParseHeaderValue(line.substr(colon + 1));
      break;
    }
  }
  if (!disposition || !EqualsNoCase(disposition->type, "form-data")) return;
  std::optional<std::string_view> name = disposition->Param("name");
  if (!name) return;
  MultipartPart out;
  out.name = std::string(*name);
  if (std::optional<std::string_view> filename = disposition->Param("filename")) {
    out.is_file = true;
    out.filename = std::string(*filename);
  }
  out.content = content;
  parts_.push_back(std::move(out));
}

const MultipartPart* MultipartBody::Find(std::string_view name) const {
  for (const MultipartPart& p : parts_) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

}  // namespace cb
