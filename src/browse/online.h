// The address lookup's checks as data, apart from the page so that tests drive them.
#pragma once

#include <cstdint>
#include <optional>

namespace cb {

// Where GetIP stops instead of showing a post's address, in the order it checks.
enum class AddressStop {
  kBadTopic,   // "Topic" is no positive number
  kGuarded,    // the sign-in guard holds this address or name back (as kNotMember to the visitor)
  kNotMember,  // CheckModerator found no member with that password
  kNoRight,    // neither administrator nor moderator of the post's forum
  kNoPost,     // no post of that number
};

struct AddressFacts {
  bool topic_ok = false;
  std::optional<bool> guarded{};
  std::optional<int16_t> role{};  // CheckModerator's code
  std::optional<bool> post{};     // the post exists
};
std::optional<AddressStop> AddressRefusal(const AddressFacts& f);
const char* AddressStopText(AddressStop stop);

}  // namespace cb
