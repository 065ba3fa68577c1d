// Small checks shared by the page tests: text search in a page, a form with some fields changed,
// and whether a page was closed off properly after an early stop.
#pragma once

#include <string>

#include "support/fake_host.h"

namespace cb::test {

inline bool Has(const std::string& page, const std::string& text) {
  return page.find(text) != std::string::npos;
}

// A refused submission still ends the document the page opened.
inline bool EndsPage(const std::string& page) {
  return page.size() >= 14 && page.compare(page.size() - 14, 14, "</body></html>") == 0;
}

// The base form with each named field replaced, or added when the base lacks it.
inline FormFields WithChanges(FormFields form, const FormFields& changes) {
  for (const auto& [name, value] : changes) {
    bool replaced = false;
    for (auto& field : form) {
      if (field.first == name) {
        field.second = value;
        replaced = true;
      }
    }
    if (!replaced) form.emplace_back(name, value);
  }
  return form;
}

}  // namespace cb::test
