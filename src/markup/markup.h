// Markup converter: turns the CBK code and smiley codes members type into display HTML. Owns the
// tag set, the smiley table, and the URL and e-mail checks that stand between member text and
// markup.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace cb {

// CBK code to HTML. `encoded` has already passed through HTMLEncode (& < > " are references); the
// result can be written into a page as it stands and is balanced markup of our own making only.
//   [b] [i] [u] [center] [quote] [code] [list] [list=1|a|A|i|I] with [*] items,
//   [font=name] [size=1..6] [color=name|#rgb|#rrggbb], [url] [url=...] [email] [email=...] [img].
// Tag names ignore letter case. A tag that is unknown, malformed, not closed, closed out of order,
// or deeper than the nesting limit stays as text. Links and pictures take only http, https (and ftp
// for links) addresses or www. names; e-mail links only plain addresses.
// Line breaks (CR LF, LF, or a lone CR) become "<br>", except inside [code], which keeps them as
// they are in a <pre>; one break right after a block ([quote], [code], [list], [*], [center]) opens
// or closes is dropped, since the block already starts a new line.
std::string ToHtml(std::string_view encoded);

// Smiley codes in the text of `html` (the result of ToHtml) become pictures. Tags, character
// references and [code] blocks are left alone, so "&quot;)" is not a wink.
std::string SmiliesToHtml(std::string_view html);

struct Smiley {
  std::string_view code;   // as typed, e.g. ":)"
  std::string_view image;  // file name under site/images/smilies/
};
// Every code SmiliesToHtml knows, in the order of the help page smiles.htm.
std::span<const Smiley> Smilies();

}  // namespace cb
