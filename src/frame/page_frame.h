// The frame every full page shares: the head, the page tops of the layouts, the content-table
// pattern and the footer; and FramedPage, the description of a page that RunFramedPage writes.
#pragma once

#include <string>
#include <string_view>

#include "frame/settings.h"

namespace cb {

// "<html><head>…<title>" + title + "</title></head><body " + PageBackGround + " " + BGColor + " >
// ". The title is written as given (callers pass their own fixed texts).
std::string WritePageHead(const Settings& s, std::string_view title);
// The NavBar setting, unchanged.
std::string NavBarLinks(const Settings& s);
// The top of the "CLUB" layout: the logo centred over the right-aligned navigation links.
std::string ClubPageTop(const Settings& s);
// The standard top of the "CBK" layout: the logo, and a heading cell over the navigation links.
std::string CbkPageTop(const Settings& s, std::string_view heading);
// The top of the page's layout: CbkPageTop for "CBK", ClubPageTop for "CLUB", nothing otherwise.
std::string PageTop(const Settings& s, std::string_view heading);

// Content tables: TableBorderStart, then tables opened with ContentTableStart, then TableBorderEnd.
std::string ContentTableStart(const Settings& s);
// A header row on the strip colour and the font its text is written in.
std::string StripRowStart(const Settings& s);
std::string StripFontStart(const Settings& s);

// Text from members or visitors written into markup: '"', '<' and '>' become entities so that the
// text cannot end its attribute or open a tag. '&' is kept, so ordinary text and URLs are
// unchanged.
std::string HtmlSafe(std::string_view text);

// An attribute value written unquoted when it holds only letters, digits and the marks given,
// else quoted and passed through HtmlSafe ("\"\"" when empty).
std::string UnquotedAttribute(std::string_view value, std::string_view marks);

// Where a page's error handler sits relative to its footer.
enum class ErrorPage {
  kFooterFollows,   // the error page is followed by the footer and "</body></html>" (digests)
  kReplacesFooter,  // the footer is part of the body; only "</body></html>" follows (index, list)
};

// A page that PageBase::RunFramedPage writes around its content:
//   head (title + " - " + BBName), "<center>", the layout's top, content, "</center>", footer.
struct FramedPage {
  std::string location{};  // presence text recorded before the head (Corkboard); empty: none
  std::string title{};     // the page's name in the title
  std::string heading{};   // heading of the standard "CBK" top
  bool own_top = false;    // the page writes its own (richer) top at the start of its content
  ErrorPage on_error = ErrorPage::kFooterFollows;
  bool handles_errors = true;  // false: an error passes to the host (pages without a handler)
};

}  // namespace cb
