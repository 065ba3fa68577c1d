// Fuzz target for the upload form: any content type and body are split without reading outside
// the body, every part's content lies inside it, and a file name the upload accepts can neither
// leave the member's folder nor carry a forbidden extension after any of its dots.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/convert.h"
#include "upload/file_name.h"
#include "upload/multipart.h"

namespace {

constexpr std::string_view kForbidden = "js,vbs,dll,asp,exe,cgi,php,jsp,php3";
constexpr std::string_view kBrowserType = "multipart/form-data; boundary=----WebKitFormBoundary";

[[noreturn]] void Fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "%s: %.*s\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

void CheckName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.front() == '.') Fail("bad name", name);
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f || c == '/' || c == '\\' || c == ':') Fail("bad character", name);
  }
  size_t start = name.find('.');
  while (start != std::string::npos) {
    size_t end = name.find('.', start + 1);
    const std::string piece = cb::ToLower(name.substr(start + 1, end - start - 1));
    for (size_t at = 0; at <= kForbidden.size();) {
      size_t comma = kForbidden.find(',', at);
      if (comma == std::string_view::npos) comma = kForbidden.size();
      if (kForbidden.substr(at, comma - at) == piece) Fail("forbidden extension", name);
      at = comma + 1;
    }
    start = end;
  }
}

}  // namespace

// The input is "content type" LF "body"; without a line feed, the body alone under a browser's
// content type.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view type = kBrowserType;
  if (size_t lf = input.find('\n'); lf != std::string_view::npos && lf < 200) {
    type = input.substr(0, lf);
    input.remove_prefix(lf + 1);
  }
  // A buffer of exactly the body's size, so that any read past it is caught.
  std::unique_ptr<char[]> body(new char[input.size()]);
  std::memcpy(body.get(), input.data(), input.size());
  const std::string_view view(body.get(), input.size());

  cb::MultipartBody parsed(view, type);
  if (!parsed.ok() && !parsed.parts().empty()) Fail("parts without a boundary", view);
  for (const cb::MultipartPart& part : parsed.parts()) {
    if (part.content.data() < view.data() ||
        part.content.data() + part.content.size() > view.data() + view.size()) {
      Fail("content outside the body", view);
    }
    if (parsed.Find(part.name) == nullptr) Fail("part not found by its name", part.name);
    if (std::optional<std::string> name = cb::SafeUploadName(part.filename, kForbidden)) {
      CheckName(*name);
    }
  }
  if (parsed.parts().size() > cb::MultipartBody::kMaxParts) Fail("too many parts", view);
  return 0;
}
