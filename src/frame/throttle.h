// Limits on repeated attempts that every page of the board shares: bounded tables of recent
// attempts per key (a remote address, a member name) kept as application values, and the
// sign-in guard that slows password guessing on every form that checks a password.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/context.h"
#include "runtime/datetime.h"

namespace cb {

// One key's recent attempts.
struct AttemptRecord {
  std::string key;
  int32_t count = 0;
  DateTime last;   // the latest counted attempt
  DateTime until;  // refused before this time
};

// Runs change over the records kept under the application value table, holding the application
// lock, and stores them again; past capacity the records with the oldest last attempt go. False
// (nothing changed) when the lock could not be had in time.
bool ChangeAttempts(Application& app, std::string_view table, size_t capacity,
                    const std::function<void(std::vector<AttemptRecord>&)>& change);

// Password guessing at a sign-in form. Failures count per remote address and per member name
// (letter case ignored); from the kFailureLimit-th failure within kWindowSeconds the key is refused
// for a minute, doubling with each further failure up to kLongestRefusalSeconds. The count lapses
// kWindowSeconds after the last failure or refusal. A refusal always ends by itself, and a right
// password clears the name's count.
class SignInGuard {
 public:
  static constexpr int kFailureLimit = 10;
  static constexpr int kWindowSeconds = 600;
  static constexpr int kFirstRefusalSeconds = 60;
  static constexpr int kLongestRefusalSeconds = 900;
  static constexpr size_t kCapacity = 2000;

  // name may be empty (the address alone counts), e.g. for a session that is already signed in.
  SignInGuard(Application& app, std::string_view address, std::string_view name, DateTime now);

  // Checked before the password: the form refuses with its own wrong-password text.
  bool Refused() const;
  void Failed();
  void Succeeded();

 private:
  std::vector<std::string> Keys() const;

  Application& app_;
  std::string address_key_;
  std::string name_key_;
  DateTime now_;
};

}  // namespace cb
