// Fuzz target for the markup converter: any bytes, taken both as they are and as the pages encode
// them, must convert to the converter's own balanced markup with safe links, in linear size.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "markup/fuzz/markup_invariants.h"
#include "markup/markup.h"
#include "runtime/gbk.h"

namespace {

std::string Encode(std::string_view s) { return cb::HtmlEncode(s); }

[[noreturn]] void Fail(const char* what, std::string_view in, std::string_view out) {
  std::fprintf(stderr, "%s\ninput:  %.*s\noutput: %.*s\n", what, static_cast<int>(in.size()),
               in.data(), static_cast<int>(out.size()), out.data());
  std::abort();
}

void CheckOne(const std::string& text) {
  std::string html = cb::ToHtml(text);
  if (std::string f = cb::markup_check::Check(html); !f.empty()) Fail(f.c_str(), text, html);
  if (html.size() > 64 + 40 * text.size()) Fail("output out of proportion", text, html);
  // Without brackets and line breaks there is nothing to convert.
  if (text.find_first_of("[\r\n<>\"") == std::string::npos && html != text) {
    Fail("plain text changed", text, html);
  }
  std::string smiled = cb::SmiliesToHtml(html);
  if (std::string f = cb::markup_check::Check(smiled); !f.empty()) Fail(f.c_str(), text, smiled);
  if (cb::SmiliesToHtml(smiled) != smiled) Fail("smileys converted twice", text, smiled);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string raw(reinterpret_cast<const char*>(data), size);
  CheckOne(raw);
  CheckOne(Encode(raw));
  return 0;
}
