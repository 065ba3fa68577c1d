document.write("<table border=0 width=100%>");
document.write("<tr><td>精华归档</td></tr>");
document.write("<tr><td><ul>");
document.write("<li><a href=\"http://bbs.example.org/board/archivecontent.asp?id=900\" target=_blank>归档话题</a>");
document.write("&nbsp;<font size=1>(1/2&nbsp;3:4)</font>");
document.write("<br>");
document.write("</ul></td></tr>")
document.write("<tr><td align=right><a href=\"http://bbs.example.org/board\">更多精华归档>></a></td></tr></table>");
