// Small checks shared by the page tests: text search in a page, a form with some fields changed
// or read from a case name, whether a page was closed off properly after an early stop, the
// cookies a page set, a mail of the outbox as text and the settings a page would load.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "mail/mail.h"
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

// The fields of "name=value" pairs separated by separator (a case name of a golden file).
inline FormFields FieldsOf(const std::string& text, const std::string& separator) {
  FormFields fields;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find(separator, at), text.size());
    const size_t eq = text.find('=', at);
    fields.emplace_back(text.substr(at, eq - at), text.substr(eq + 1, end - eq - 1));
    at = end + separator.size();
  }
  return fields;
}

// The cookies the page set, one a line: "name=value", then " expires <date and time>" when it has
// one.
inline std::string SetCookies(FakeHost& host) {
  std::string out;
  for (const auto& [name, cookie] : host.response().cookies()) {
    out += name + "=" + cookie.value +
           (cookie.expires ? " expires " + cookie.expires->YmdHms() : "") + "\n";
  }
  return out;
}

// A mail of the outbox: its envelope, From, To, Subject and Content-Type headers, then its body.
inline std::string MailText(const OutboxMail& m) {
  std::string to;
  for (const std::string& r : m.recipients) to += " " + r;
  return "envelope " + m.envelope_from + " ->" + to + "\nFrom: " + m.from + "\nTo: " + m.to +
         "\nSubject: " + m.subject + "\nContent-Type: " + m.content_type + "\n\n" + m.body;
}

// The board's mail set up (its name, sender and address), every mail kept in the data folder's
// subfolder folder; returns that folder.
inline std::string MailIntoFolder(FakeHost& host, const std::string& folder = "outbox") {
  const std::string path = host.services().data_dir + "/" + folder;
  host.Configure({{"SmtpServer", "dir:" + path},
                  {"BBName", "测试论坛"},
                  {"BBEMail", "bb@example.com"},
                  {"BBURL", "http://board.example/"}});
  return path;
}

// The settings a page loads from these application values.
inline Settings SettingsOf(const std::vector<std::pair<std::string, Variant>>& values = {}) {
  Application app;
  for (const auto& [key, value] : values) app.Set(key, value);
  Settings s;
  LoadSettings(app, s);
  LoadStyle(app, s);
  return s;
}

}  // namespace cb::test
