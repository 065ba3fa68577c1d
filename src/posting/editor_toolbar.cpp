// The message editor shared by the posting, editing and private-message forms.
#include "posting/editor_toolbar.h"

#include <array>

#include "frame/settings.h"

namespace cb {
namespace {

// The page loads the client functions the buttons and lists call (a UTF-8 file on GBK pages).
constexpr const char* kEditorScript = "<script src=editor.js charset=utf-8></script>";

constexpr std::array<const char*, 16> kFonts = {
    "Andale Mono",    "Arial",   "Arial Black", "Book Antiqua",  "Century Gothic",  "Comic Sans MS",
    "Courier New",    "Georgia", "Impact",      "Tahoma",        "Times New Roman", "Trebuchet MS",
    "Script MT Bold", "Stencil", "Verdana",     "Lucida Console"};
constexpr const char* kSelectedFont = "Times New Roman";

constexpr std::array<const char*, 14> kColors = {"Black",  "Red",    "Yellow", "Pink",     "Green",
                                                 "Orange", "Purple", "Blue",   "Beige",    "Brown",
                                                 "Teal",   "Navy",   "Maroon", "LimeGreen"};

struct Button {
  const char* image;
  const char* alt;
  const char* call;
};
constexpr std::array<Button, 12> kButtons = {{{"bold", "黑体", "bold()"},
                                              {"italicize", "斜体", "italicize()"},
                                              {"underline", "下划线", "underline()"},
                                              {"center", "居中", "center()"},
                                              {"url", "插入超级链接", "hyperlink()"},
                                              {"email", "插入电子邮件", "email()"},
                                              {"image", "插入图像", "image()"},
                                              {"code", "插入代码", "showcode()"},
                                              {"quote", "插入引用", "quote()"},
                                              {"list", "插入列表", "list()"},
                                              {"smilie", "插入笑脸", "smilieopen()"},
                                              {"help", "CBK代码说明", "viewcbk()"}}};

void Option(std::string& out, const std::string& value, bool selected) {
  out +=
      "<option value=\"" + value + "\"" + (selected ? " selected" : "") + ">" + value + "</option>";
}

}  // namespace

void EditorToolbar(const Settings& s, std::string& html, const std::string& initial_text) {
  std::string out = kEditorScript;
  out += "<select name='font' onChange='showfont(this.options[this.selectedIndex].value)'>";
  for (const char* f : kFonts) Option(out, f, std::string(f) == kSelectedFont);
  out += "</select>";
  out += "<select name='size' onChange='showsize(this.options[this.selectedIndex].value)'>";
  for (int n = 1; n <= 6; ++n) Option(out, std::to_string(n), n == 3);
  out += "</select>";
  out += "<select name='color' onChange='showcolor(this.options[this.selectedIndex].value)'>";
  for (size_t i = 0; i < kColors.size(); ++i) Option(out, kColors[i], i == 0);
  out += "</select>";
  if (s.BBSTYLE == "CLUB") out += "<BR>";
  for (const Button& b : kButtons) {
    out += std::string("<img align=absmiddle src=\"afp/") + b.image +
           ".gif\" width=23 height=22 alt=\"" + b.alt + "\" border=0 onClick=\"" + b.call + "\">";
  }
  out += "<br>";
  out += s.BBSTYLE == "CBK"
             ? "<TEXTAREA NAME=Message ROWS=10 COLS=95 WRAP=VIRTUAL class=smallarea>"
             : "<TEXTAREA NAME=Message ROWS=10 COLS=75  WRAP=VIRTUAL class=smallarea>";
  out += initial_text;  // already encoded by the caller
  out += "</textarea>";
  out += "<br><b>选择帮助模式:</b>&nbsp;";
  out += "<input type=radio name=mode value=help onClick=\"thelp(1)\">帮助&nbsp;";
  out += "<input type=radio name=mode value=prompt checked onClick=\"thelp(2)\">完全&nbsp;";
  out += "<input type=radio name=mode value=basic onClick=\"thelp(0)\">基本";
  out += "<br><b>高级字体设置:</b> <a href='javascript:afp()'>点击这里进入高级字体设置</a>";
  html = std::move(out);
}

}  // namespace cb
