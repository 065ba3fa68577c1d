#!/usr/bin/env python3
"""Writes what the posting forms link to about message markup: the smiley pictures
(site/images/smilies/*.gif, drawn here, 15 by 15) and the help pages site/smiles.htm and
site/cbkcode.htm (GBK bytes, labelled gb2312). Standard library only.
Run: src/markup/make_markup_help.py [site_dir]
The smiley codes and the examples must match src/markup/markup.cpp; tests/markup/markup_test.cpp
converts every example of cbkcode.htm and compares it with the result shown next to it."""

import math
import os
import sys

# The GIF writer is shared with the other picture scripts.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from gifcanvas import write, write_gif  # noqa: E402

# ---------------------------------------------------------------------------------------------
# Smiley palette: 16 colours, index 0 transparent.

PALETTE = [
    (255, 255, 255),  # 0 transparent
    (0, 0, 0),        # 1 outline, features
    (255, 214, 0),    # 2 face
    (255, 255, 255),  # 3 white
    (214, 0, 0),      # 4 red
    (40, 110, 230),   # 5 blue
    (255, 150, 170),  # 6 pink
    (255, 120, 40),   # 7 angry face
    (200, 150, 0),    # 8 face shadow
    (200, 70, 20),    # 9 angry face shadow
] + [(0, 0, 0)] * 6


def gif(pixels):
    return write_gif(len(pixels[0]), len(pixels), PALETTE, [c for row in pixels for c in row],
                     transparent=True)


# ---------------------------------------------------------------------------------------------
# Faces

SIZE = 15
BLACK, FACE, WHITE, RED, BLUE, PINK, ANGRY, SHADE, ANGRY_SHADE = 1, 2, 3, 4, 5, 6, 7, 8, 9


def face(colour=FACE):
    px = [[0] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - 7, y - 7)
            if d <= 6.2:
                shade = ANGRY_SHADE if colour == ANGRY else SHADE
                px[y][x] = shade if (d > 4.8 and x + y > 16) else colour
            elif d <= 7.3:
                px[y][x] = BLACK
    return px


def dots(px, points, c=BLACK):
    for x, y in points:
        px[y][x] = c
    return px


EYES = [(5, 4), (5, 5), (9, 4), (9, 5)]
SMILE = [(4, 9), (5, 10), (6, 10), (7, 10), (8, 10), (9, 10), (10, 9)]
FROWN = [(4, 11), (5, 10), (6, 10), (7, 10), (8, 10), (9, 10), (10, 11)]
FLAT = [(5, 10), (6, 10), (7, 10), (8, 10), (9, 10)]
HAPPY_EYES = [(4, 5), (5, 4), (6, 5), (8, 5), (9, 4), (10, 5)]
CLOSED_EYES = [(4, 5), (5, 5), (6, 5), (8, 5), (9, 5), (10, 5)]


def grin(px):
    dots(px, [(x, 8) for x in range(4, 11)] + [(4, 9), (10, 9), (5, 10), (9, 10), (6, 11), (7, 11),
                                               (8, 11)])
    return dots(px, [(x, 9) for x in range(5, 10)] + [(6, 10), (7, 10), (8, 10)], WHITE)


def draw(name):
    if name == "smile":
        return dots(face(), EYES + SMILE)
    if name == "frown":
        return dots(face(), EYES + FROWN)
    if name == "biggrin":
        return grin(dots(face(), EYES))
    if name == "wink":
        return dots(face(), [(4, 5), (5, 5), (6, 5), (9, 4), (9, 5)] + SMILE)
    if name == "tongue":
        return dots(dots(face(), EYES + SMILE), [(7, 11), (8, 11), (7, 12), (8, 12)], RED)
    if name == "eek":
        return dots(face(), [(4, 4), (5, 4), (4, 5), (5, 5), (9, 4), (10, 4), (9, 5), (10, 5),
                             (7, 8), (6, 9), (8, 9), (6, 10), (8, 10), (7, 11)])
    if name == "cool":
        glasses = [(x, 4) for x in range(2, 13)] + [(x, 5) for x in (3, 4, 5, 6, 8, 9, 10, 11)]
        return dots(face(), glasses + [(4, 6), (5, 6), (9, 6), (10, 6)] + SMILE)
    if name == "mad":
        return dots(face(ANGRY), [(3, 3), (4, 3), (5, 4), (6, 4), (11, 3), (10, 3), (9, 4), (8, 4),
                                  (5, 6), (9, 6)] + FROWN)
    if name == "confused":
        return dots(face(), EYES + [(4, 10), (5, 9), (6, 9), (7, 10), (8, 11), (9, 11), (10, 10)])
    if name == "rolleyes":
        px = dots(face(), [(4, 4), (5, 4), (4, 5), (5, 5), (9, 4), (10, 4), (9, 5), (10, 5)], WHITE)
        return dots(px, [(5, 4), (10, 4)] + FLAT)
    if name == "cry":
        px = dots(face(), [(4, 4), (5, 5), (6, 5), (10, 4), (9, 5), (8, 5)] + FROWN)
        return dots(px, [(5, 6), (5, 7), (9, 6), (9, 7), (9, 8)], BLUE)
    if name == "shy":
        px = dots(face(), [(5, 5), (9, 5), (6, 10), (7, 10), (8, 10)])
        return dots(px, [(3, 7), (4, 7), (3, 8), (4, 8), (10, 7), (11, 7), (10, 8), (11, 8)], PINK)
    if name == "sleep":
        px = dots(face(), CLOSED_EYES + [(7, 9), (6, 10), (8, 10), (7, 11)])
        return dots(px, [(10, 0), (11, 0), (12, 0), (11, 1), (10, 2), (11, 2), (12, 2)], BLUE)
    if name == "lol":
        return grin(dots(face(), HAPPY_EYES))
    raise ValueError(name)


# The codes of src/markup/markup.cpp, in its order, with their pictures and meanings.
SMILIES = [
    (":)", "smile", "微笑"), (":(", "frown", "难过"), (":D", "biggrin", "大笑"),
    (";)", "wink", "眨眼"), (":P", "tongue", "吐舌头"), (":p", "tongue", "吐舌头"),
    (":o", "eek", "惊讶"), (":O", "eek", "惊讶"), (":cool:", "cool", "酷"),
    (":mad:", "mad", "生气"), (":confused:", "confused", "困惑"), (":rolleyes:", "rolleyes", "翻白眼"),
    (":cry:", "cry", "哭"), (":shy:", "shy", "害羞"), (":sleep:", "sleep", "困了"),
    (":lol:", "lol", "笑翻了"),
]

# ---------------------------------------------------------------------------------------------
# Help pages

HEAD = """<html>
<head>
<meta http-equiv=Content-Type content="text/html; charset=gb2312">
<title>{title}</title>
<link rel=stylesheet type=text/css href=DEFAULT.CSS>
<style>
td.example {{ white-space: pre-wrap; font-family: "Courier New", monospace; }}
td.code {{ font-family: "Courier New", monospace; font-weight: bold; }}
</style>
</head>
<body bgcolor="#FFFFFF">
<center>
<table border=0 width=95%>
<tr><td align=center valign=middle><font class=bbtitle color="#000080">{title}</font></td></tr>
</table>
"""

FOOT = """</table>
<p><a href="javascript:window.close()">关闭窗口</a> | <a href=default.asp>回到论坛</a></p>
</center>
</body>
</html>
"""


def encode(text):
    """What the pages do to a message before converting it."""
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def smiles_page():
    rows = []
    for code, image, meaning in SMILIES:
        rows.append(
            '<tr bgcolor="#f7f7f7"><td class=code>%s</td>'
            '<td align=center><img src="images/smilies/%s.gif" width=15 height=15 border=0 '
            'alt="%s"></td><td>%s</td></tr>' % (code, image, meaning, meaning))
    return (HEAD.format(title="笑脸转换一点通") +
            """<table cellpadding=4 border=0 cellspacing=1 width=95%>
<tr bgcolor="#f7f7f7"><td colspan=3>在贴子里输入下面左栏的代码，显示时会变成右边的笑脸（发贴时选中“禁止笑脸转换”则不转换）。
以字母结尾的代码后面紧跟字母或数字时不转换，例如“C:Data”里的“:D”；[code] 代码块里的笑脸代码也不转换。</td></tr>
<tr bgcolor="#000000"><td><font color="#ffffff"><b>代码</b></font></td>
<td align=center><font color="#ffffff"><b>笑脸</b></font></td>
<td><font color="#ffffff"><b>意思</b></font></td></tr>
""" + "\n".join(rows) + "\n" + FOOT)


Q_OPEN = '<blockquote><font size="1">引用：</font><hr>'
Q_CLOSE = "<hr></blockquote>"

# (name, what it does, example as typed, what the converter shows, or None for a picture)
TAGS = [
    ("[b] [/b]", "粗体", "[b]粗体字[/b]", "<b>粗体字</b>"),
    ("[i] [/i]", "斜体", "[i]斜体字[/i]", "<i>斜体字</i>"),
    ("[u] [/u]", "下划线", "[u]加下划线的字[/u]", "<u>加下划线的字</u>"),
    ("[center] [/center]", "居中", "[center]居中的一行[/center]",
     '<div align="center">居中的一行</div>'),
    ("[font=字体] [/font]",
     "字体：字体名由字母、数字、空格、连字符、逗号或中文组成，最长40个字节，例如 Arial、Courier New、宋体",
     "[font=Courier New]换一种字体[/font]", '<font face="Courier New">换一种字体</font>'),
    ("[size=1..6] [/size]", "字号：1 到 6", "[size=4]大一点的字[/size]",
     '<font size="4">大一点的字</font>'),
    ("[color=颜色] [/color]", "颜色：英文颜色名（如 Red、Navy、LimeGreen）或 #rgb、#rrggbb",
     "[color=Red]红色[/color] [color=#008000]绿色[/color]",
     '<font color="Red">红色</font> <font color="#008000">绿色</font>'),
    ("[url] [/url]", "超级链接，在新窗口打开；地址须以 http://、https://、ftp:// 或 www. 开头",
     "[url]http://www.example.com/[/url]",
     '<a href="http://www.example.com/" target="_blank">http://www.example.com/</a>'),
    ("[url=地址] [/url]", "带说明文字的链接；说明里可以用字体代码和 [img]，不能再套链接",
     "[url=www.example.com]示例网站[/url]",
     '<a href="http://www.example.com" target="_blank">示例网站</a>'),
    ("[email] [/email]", "电子邮件链接", "[email]someone@example.com[/email]",
     '<a href="mailto:someone@example.com">someone@example.com</a>'),
    ("[email=地址] [/email]", "带说明文字的电子邮件链接", "[email=someone@example.com]给我写信[/email]",
     '<a href="mailto:someone@example.com">给我写信</a>'),
    ("[img] [/img]", "插入图像；地址须以 http:// 或 https:// 开头",
     "[img]http://www.example.com/images/photo.gif[/img]", None),
    ("[code] [/code]", "代码：里面的内容按原样显示，保留空格和换行，其中的论坛代码和笑脸不转换",
     "[code]\nfor (i = 0; i < 3; i++)\n    [b]不会变粗[/b]\n[/code]",
     '<blockquote><font size="1">代码：</font><hr><pre>for (i = 0; i &lt; 3; i++)\n'
     '    [b]不会变粗[/b]</pre><hr></blockquote>'),
    ("[quote] [/quote]", "引用；回复时按“引用”会自动加上。引用可以套引用",
     "[quote]第一层[quote]第二层[/quote][/quote]",
     Q_OPEN + "第一层" + Q_OPEN + "第二层" + Q_CLOSE + Q_CLOSE),
    ("[list] [*] [/list]", "列表，每项以 [*] 开头",
     "[list]\n[*]第一项\n[*]第二项\n[/list]", "<ul><li>第一项<br></li><li>第二项<br></li></ul>"),
    ("[list=1] [*] [/list]", "编号列表：[list=1] 数字，[list=a] [list=A] 字母，[list=i] [list=I] 罗马数字",
     "[list=1][*]第一步[*]第二步[/list]",
     '<ol type="1"><li>第一步</li><li>第二步</li></ol>'),
    ("嵌套", "代码可以互相嵌套，但要按顺序关闭", "[b][i]又粗又斜[/i][/b]", "<b><i>又粗又斜</i></b>"),
]


def cbkcode_page():
    rows = []
    for name, what, example, result in TAGS:
        shown = result if result is not None else "显示该地址的图像"
        cls = "result" if result is not None else "note"
        rows.append('<tr bgcolor="#f7f7f7"><td class=code>%s</td><td>%s</td>'
                    '<td class=example>%s</td><td class=%s>%s</td></tr>'
                    % (encode(name), what, encode(example), cls, shown))
    intro = """<tr bgcolor="#f7f7f7"><td colspan=4>贴子里不能使用 HTML，但可以使用下面的 CBK 代码来设置格式。
代码不分大小写（[B] 与 [b] 相同）。没有关闭、关闭顺序不对或者写错的代码按原样显示为文字；
最多可以嵌套50层。回车换行会原样换行。编辑框上方的按钮和下拉列表会帮你插入这些代码。
笑脸代码见<a href=smiles.htm>笑脸转换一点通</a>。</td></tr>
<tr bgcolor="#000000"><td><font color="#ffffff"><b>代码</b></font></td>
<td><font color="#ffffff"><b>作用</b></font></td>
<td><font color="#ffffff"><b>输入</b></font></td>
<td><font color="#ffffff"><b>显示</b></font></td></tr>
"""
    return (HEAD.format(title="CBK 代码说明") +
            "<table cellpadding=4 border=0 cellspacing=1 width=95%>\n" + intro +
            "\n".join(rows) + "\n" + FOOT)


def main():
    site = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "site")
    for image in sorted({image for _, image, _ in SMILIES}):
        write(os.path.join(site, "images", "smilies", image + ".gif"), gif(draw(image)))
    write(os.path.join(site, "smiles.htm"), smiles_page().encode("gbk"))
    write(os.path.join(site, "cbkcode.htm"), cbkcode_page().encode("gbk"))


if __name__ == "__main__":
    main()
