// The message editor's client functions: each toolbar button, list and link of the posting forms
// inserts the board's CBK codes into the form's "Message" text area.
// Help modes (the "mode" radio buttons): 1 help (explain the button), 2 complete (ask for the
// text with a prompt; the default), 0 basic (insert the empty tags around the cursor).
// Selected text is always wrapped, whatever the mode.

var cbkHelpMode = 2;

function thelp(mode) {
  cbkHelpMode = mode;
}

function cbkArea() {
  var areas = document.getElementsByName('Message');
  return areas.length ? areas[0] : null;
}

// Replaces the selection with text and puts the cursor at caret (an offset into text).
function cbkInsert(text, caret) {
  var area = cbkArea();
  if (!area) return;
  var start = area.selectionStart, end = area.selectionEnd;
  if (typeof start !== 'number') {
    start = end = area.value.length;
  }
  area.value = area.value.substring(0, start) + text + area.value.substring(end);
  var at = start + (typeof caret === 'number' ? caret : text.length);
  area.focus();
  area.setSelectionRange(at, at);
}

function cbkSelection() {
  var area = cbkArea();
  if (!area || typeof area.selectionStart !== 'number') return '';
  return area.value.substring(area.selectionStart, area.selectionEnd);
}

// The common pattern of a tag pair: help text, wrap the selection, empty tags, or a prompt.
function cbkWrap(open, close, help, ask, suggestion) {
  var selected = cbkSelection();
  if (selected) {
    cbkInsert(open + selected + close);
    return;
  }
  if (cbkHelpMode == 1) {
    alert(help);
    return;
  }
  if (cbkHelpMode == 0) {
    cbkInsert(open + close, open.length);
    return;
  }
  var text = prompt(ask, suggestion || '');
  if (text) cbkInsert(open + text + close);
}

function showfont(font) {
  if (!font) return;
  cbkWrap('[font=' + font + ']', '[/font]', '字体标记\n把文字设置为指定的字体。\n例如：[font=' + font + ']文字[/font]',
          '要设置为 ' + font + ' 字体的文字：', '');
}

function showsize(size) {
  if (!size) return;
  cbkWrap('[size=' + size + ']', '[/size]', '字号标记\n把文字设置为指定的大小（1 到 6）。\n例如：[size=' + size + ']文字[/size]',
          '要设置为 ' + size + ' 号字的文字：', '');
}

function showcolor(color) {
  if (!color) return;
  cbkWrap('[color=' + color + ']', '[/color]', '颜色标记\n把文字设置为指定的颜色。\n例如：[color=' + color + ']文字[/color]',
          '要设置为 ' + color + ' 颜色的文字：', '');
}

function bold() {
  cbkWrap('[b]', '[/b]', '黑体标记\n使文字变成粗体。\n例如：[b]这是粗体[/b]', '要变成粗体的文字：', '');
}

function italicize() {
  cbkWrap('[i]', '[/i]', '斜体标记\n使文字变成斜体。\n例如：[i]这是斜体[/i]', '要变成斜体的文字：', '');
}

function underline() {
  cbkWrap('[u]', '[/u]', '下划线标记\n给文字加上下划线。\n例如：[u]这是下划线[/u]', '要加下划线的文字：', '');
}

function center() {
  cbkWrap('[center]', '[/center]', '居中标记\n使文字居中。\n例如：[center]这是居中的文字[/center]',
          '要居中的文字：', '');
}

function showcode() {
  cbkWrap('[code]', '[/code]', '代码标记\n按原样显示程序代码。\n例如：[code]echo "hello"[/code]',
          '要插入的代码：', '');
}

function quote() {
  cbkWrap('[quote]', '[/quote]', '引用标记\n引用别人说过的话。\n例如：[quote]这是引用的文字[/quote]',
          '要引用的文字：', '');
}

function hyperlink() {
  var selected = cbkSelection();
  if (cbkHelpMode == 1 && !selected) {
    alert('超级链接标记\n插入一个链接。\n例如：[url]http://www.example.com[/url]\n或者：[url=http://www.example.com]链接文字[/url]');
    return;
  }
  if (cbkHelpMode == 0 && !selected) {
    cbkInsert('[url][/url]', 5);
    return;
  }
  var address = prompt('链接的地址：', 'http://');
  if (!address || address == 'http://') return;
  var text = selected || prompt('链接显示的文字（可以不填）：', '');
  cbkInsert(text ? '[url=' + address + ']' + text + '[/url]' : '[url]' + address + '[/url]');
}

function email() {
  var selected = cbkSelection();
  if (cbkHelpMode == 1 && !selected) {
    alert('电子邮件标记\n插入一个电子邮件链接。\n例如：[email]someone@example.com[/email]');
    return;
  }
  if (cbkHelpMode == 0 && !selected) {
    cbkInsert('[email][/email]', 7);
    return;
  }
  if (selected) {
    cbkInsert('[email]' + selected + '[/email]');
    return;
  }
  var address = prompt('电子邮件地址：', '');
  if (address) cbkInsert('[email]' + address + '[/email]');
}

function image() {
  cbkWrap('[img]', '[/img]', '图像标记\n插入一张图片。\n例如：[img]http://www.example.com/picture.gif[/img]',
          '图片的地址：', 'http://');
}

function list() {
  if (cbkHelpMode == 1) {
    alert('列表标记\n插入一个列表，每一项以 [*] 开头。\n例如：[list][*]第一项[*]第二项[/list]\n有序列表：[list=1] 或 [list=a]');
    return;
  }
  if (cbkHelpMode == 0) {
    cbkInsert('[list]\n[*]\n[/list]', 9);
    return;
  }
  var kind = prompt('列表的类型：留空为无序列表，1 为数字列表，a 为字母列表', '');
  if (kind === null) return;
  var open = (kind == '1' || kind == 'a' || kind == 'A' || kind == 'i' || kind == 'I')
      ? '[list=' + kind + ']' : '[list]';
  var items = '';
  for (;;) {
    var item = prompt('列表项（留空结束）：', '');
    if (!item) break;
    items += '[*]' + item + '\n';
  }
  if (items) cbkInsert(open + '\n' + items + '[/list]');
}

function smilieopen() {
  window.open('smiles.htm', 'smilies', 'toolbar=no,location=no,menubar=no,scrollbars=yes,width=360,height=420');
}

function viewcbk() {
  window.open('cbkcode.htm', 'cbkcode', 'toolbar=no,location=no,menubar=no,scrollbars=yes,width=600,height=480');
}

// Advanced font settings: one text with its face, size and colour in one go.
function afp() {
  if (cbkHelpMode == 1) {
    alert('高级字体设置\n一次设置文字的字体、字号和颜色。\n例如：[font=Arial][size=4][color=Red]文字[/color][/size][/font]');
    return;
  }
  var text = cbkSelection() || prompt('要设置字体的文字：', '');
  if (!text) return;
  var face = prompt('字体（可以不填）：', 'Times New Roman');
  var size = prompt('字号 1 到 6（可以不填）：', '3');
  var color = prompt('颜色（可以不填）：', 'Black');
  var open = '', close = '';
  if (face) { open += '[font=' + face + ']'; close = '[/font]' + close; }
  if (size) { open += '[size=' + size + ']'; close = '[/size]' + close; }
  if (color) { open += '[color=' + color + ']'; close = '[/color]' + close; }
  cbkInsert(open + text + close);
}
