// What the host objects give the other processes of a board: a session's values as one text (for
// the shared session table) and the application's notices that empty a cached value everywhere.
#include <unistd.h>

#include <charconv>
#include <cstdio>

#include "host/context.h"
#include "runtime/fields.h"

namespace cb {

namespace {

// A value as a kind letter and a text; false for what is not kept (arrays).
bool ValueText(const Variant& v, char* kind, std::string* text) {
  char buf[32];
  switch (v.type()) {
    case VType::kEmpty:
      *kind = 'e';
      break;
    case VType::kNull:
      *kind = 'n';
      break;
    case VType::kBoolean:
      *kind = 'b', *text = v.CBool() ? "1" : "0";
      break;
    case VType::kInteger:
      *kind = 'i', *text = std::to_string(v.CInt());
      break;
    case VType::kLong:
      *kind = 'l', *text = std::to_string(v.CLng());
      break;
    case VType::kDouble:
      std::snprintf(buf, sizeof buf, "%.17g", v.CDbl());
      *kind = 'd', *text = buf;
      break;
    case VType::kString:
      *kind = 's', *text = v.AsStringRef();
      break;
    case VType::kDate:
      *kind = 't', *text = std::to_string(v.CDate().seconds());
      break;
    case VType::kArray:
      return false;
  }
  return true;
}

Variant TextValue(char kind, const std::string& text) {
  try {
    switch (kind) {
      case 'n':
        return Variant::Null();
      case 'b':
        return Variant(text == "1");
      case 'i':
        return Variant(static_cast<int16_t>(std::stoi(text)));
      case 'l':
        return Variant(static_cast<int32_t>(std::stol(text)));
      case 'd':
        return Variant(std::stod(text));
      case 's':
        return Variant(text);
      case 't':
        return Variant(DateTime::FromSeconds(std::stoll(text)));
      default:
        return Variant();
    }
  } catch (const std::exception&) {
    return Variant();
  }
}

}  // namespace

// Per value: a mark ('r' recomputable, '-' not) and kind letter, then the name and the text as
// fields.
std::string Session::Encoded() const {
  std::lock_guard lock(mu_);
  std::string out;
  for (const auto& [key, value] : values_) {
    char kind = 0;
    std::string text;
    if (!ValueText(value, &kind, &text)) continue;
    out += recomputable_.count(key) ? 'r' : '-';
    out += kind;
    PutField(out, key);
    PutField(out, text);
  }
  return EscapeForText(out);
}

void Session::Decode(std::string_view stored) {
  const std::string raw = UnescapeText(stored);
  std::string_view in = raw;
  std::lock_guard lock(mu_);
  while (in.size() >= 2) {
    const bool recomputable = in[0] == 'r';
    const char kind = in[1];
    in.remove_prefix(2);
    auto key = TakeField(in);
    auto text = key ? TakeField(in) : std::nullopt;
    if (!text) break;  // a damaged text: what was read so far is kept
    values_.insert_or_assign(std::string(*key), TextValue(kind, std::string(*text)));
    if (recomputable) recomputable_.emplace(*key);
  }
}

void Session::SetStored(std::string data, int64_t expires) {
  stored_data_ = std::move(data);
  stored_expires_ = expires;
}

Application::~Application() {
  if (shared_) shared_->Listen(nullptr);
}

void Application::Share(std::shared_ptr<SharedState> shared, std::vector<std::string> cached_keys) {
  cached_keys_ = std::move(cached_keys);
  notice_origin_ =
      std::to_string(getpid()) + "." + std::to_string(reinterpret_cast<uintptr_t>(this));
  shared_ = std::move(shared);
  if (shared_) shared_->Listen([this](const std::string* notice) { OnNotice(notice); });
}

void Application::SetEverywhere(std::string_view key, const std::string& text) {
  Set(key, Variant(text));
  if (!shared_) return;
  std::string notice;
  PutField(notice, notice_origin_);
  PutField(notice, key);
  PutField(notice, text);
  shared_->Publish(EscapeForText(notice));
}

void Application::OnNotice(const std::string* notice) {
  if (!notice) {
    for (const std::string& key : cached_keys_) Set(key, Variant(""));
    return;
  }
  const std::string raw = UnescapeText(*notice);
  std::string_view in = raw;
  auto origin = TakeField(in);
  auto key = origin ? TakeField(in) : std::nullopt;
  auto text = key ? TakeField(in) : std::nullopt;
  if (text && *origin != notice_origin_) Set(*key, Variant(std::string(*text)));
}

}  // namespace cb
