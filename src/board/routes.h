// The board's address table: every page address of Corkboard, Admin and PM, and the action each
// "action" value picks. main.cpp fills the host's Router with it; the host knows no page.
#pragma once

#include <string>
#include <string_view>

#include "host/router.h"

namespace cb {

// The board's own addresses: the pages of Corkboard, Admin and PM, jump.asp and the aliases.
void AddBoardRoutes(Router& router);

// jump.asp: the address of this board that a jump menu asked for, else "default.asp".
std::string JumpTarget(std::string_view requested);

}  // namespace cb
