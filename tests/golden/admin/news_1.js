document.write("<table border=0 width=100%>");
document.write("<tr><td>技术</td></tr>");
document.write("<tr><td><ul>");
document.write("<li><a href=\"http://bbs.example.org/board/newsdetail.asp?id=6\" target=_blank>&lt;b&gt;&quot;引号&quot;&lt;/b&gt;\\</a>");
document.write("&nbsp;<font size=1>(5/8&nbsp;7:5)</font>");
document.write("<br>");
document.write("<li><a href=\"http://bbs.example.org/board/newsdetail.asp?id=1\" target=_blank>编译器</a>");
document.write("&nbsp;<font size=1>(5/6&nbsp;10:20)</font>");
document.write("<br>");
document.write("</ul></td></tr>")
document.write("<tr><td align=right><a href=\"http://bbs.example.org/board/list.asp?groupname=%BC%BC%CA%F5\">更多技术 >></a></td></tr></table>");
