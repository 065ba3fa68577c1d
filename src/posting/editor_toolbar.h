// The message editor of every posting form: font, size and colour lists, the picture buttons
// whose client functions (site/editor.js) insert markup codes, the text area and the help modes.
#pragma once

#include <string>

namespace cb {

struct Settings;

// Writes the editor into html (replacing what it held). initial_text goes inside the text area
// unchanged: callers pass text that is already HTML-encoded where it comes from members.
void EditorToolbar(const Settings& s, std::string& html, const std::string& initial_text);

}  // namespace cb
