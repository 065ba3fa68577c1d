// Setting up a board: the first start's catalog, forum and administrator, and adding member
// accounts from the command line. Works through Connection/Recordset, so on every backend.
#pragma once

#include <string>

#include "runtime/random.h"

namespace cb {

struct SeedResult {
  bool created = false;  // false: the board already had members or forums; nothing was written
  std::string admin_name;
  std::string admin_password;  // shown once to the operator, stored nowhere else
  std::string catalog;
  std::string forum;
};

// On a board without members and forums, creates one catalog with one forum and an
// administrator whose password comes from the system's secure random source.
SeedResult SeedNewBoard(const std::string& connection_string);

// Adds a member. role: "" (ordinary member), "administrator" or "moderater" (any case).
// Raises ScriptError when the name is empty or taken, or the role is unknown.
void AddUser(const std::string& connection_string, const std::string& name,
             const std::string& password, const std::string& role = "");

// Letters and digits without look-alikes, from random.
std::string RandomPassword(size_t length, Random& random = SecureRandom::Shared());

}  // namespace cb
