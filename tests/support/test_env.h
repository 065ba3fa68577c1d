// What a test borrows from the machine and gives back: a scratch folder of its own (made unique
// by mkdtemp, removed unless the test failed) and the process's time zone; and waiting for what
// another thread or process does, and collecting the lines it logs.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/datetime.h"

namespace cb::test {

class ScratchDir {
 public:
  explicit ScratchDir(const std::string& prefix = "corkboard") {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
      ADD_FAILURE() << "mkdtemp " << pattern;
      return;
    }
    path_ = pattern;
    // Open to other users as a folder made the usual way: a test's PostgreSQL server runs as a
    // user of its own when the tests run as root.
    using std::filesystem::perms;
    std::filesystem::permissions(path_, perms::owner_all | perms::group_read | perms::group_exec |
                                            perms::others_read | perms::others_exec);
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty() && !::testing::Test::HasFailure()) std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  // A path inside the folder, as text.
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The process in zone tz (a POSIX rule such as "CST-8", or a zone name) until destroyed.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz) {
    if (const char* old = getenv("TZ")) saved_ = old;
    Use(tz);
  }
  ~ScopedTimeZone() {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
    ForgetZoneOffsets();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  // Moves to another zone; the destructor still restores the first one's predecessor.
  static void Use(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
    ForgetZoneOffsets();
  }

 private:
  std::optional<std::string> saved_;
};

// Whether done() holds within `within`, asked every 10 ms.
template <class F>
bool Eventually(F done, std::chrono::milliseconds within = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + within;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Lines logged from other threads, read back in order.
class LineLog {
 public:
  void Add(const std::string& line) {
    std::lock_guard lock(mu_);
    lines_.push_back(line);
  }
  std::function<void(const std::string&)> Sink() {
    return [this](const std::string& line) { Add(line); };
  }
  std::vector<std::string> all() const {
    std::lock_guard lock(mu_);
    return lines_;
  }

 private:
  mutable std::mutex mu_;
  std::vector<std::string> lines_;
};

}  // namespace cb::test
