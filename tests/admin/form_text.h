// A form written as the text a browser sends, "name=value&name=value", values as typed (not
// percent-encoded; a value holds no "&", and "=" only after the first), for the fake host to post.
#pragma once

#include <algorithm>
#include <string_view>

#include "support/fake_host.h"

namespace cb::test {

inline FormFields FormText(std::string_view text) {
  FormFields out;
  while (!text.empty()) {
    const size_t end = std::min(text.find('&'), text.size());
    const std::string_view pair = text.substr(0, end);
    const size_t eq = std::min(pair.find('='), pair.size());
    out.emplace_back(pair.substr(0, eq), pair.substr(std::min(eq + 1, pair.size())));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return out;
}

}  // namespace cb::test
