// The rules for an uploaded file itself: the name it may be saved under and the size it may have.
// Stands on the runtime alone, so the upload fuzz target checks it with the form parser.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cb {

// The name a client's file is saved under, or nothing when it is refused. A Windows client path
// ("C:\photos\a.jpg") keeps its last component. Refused: a NUL or other control character, a "/",
// a ".." step, a name that is empty, starts with "." or ends with "." or a space, holds one of
// : * ? " < > | % ;, is longer than 200 bytes, or has a forbidden extension after any of its dots
// ("x.asp.jpg" as well as "x.ASP").
std::optional<std::string> SafeUploadName(std::string_view client_name,
                                          std::string_view forbidden_extensions);

// The size rule of SaveTheFile: not empty, and (size - 1) <= max_size unless max_size is 0.
bool FitsMaxFileSize(size_t size, double max_size);

}  // namespace cb
