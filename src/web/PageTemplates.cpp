// The two pages the web server sends, line by line, as built at start-up. A line written
// later (a value, a label, the refresh header) replaces its template line whole.
#include "web/PageTemplates.h"

namespace quorvane {

const std::array<std::string_view, 106> kTimerPageTemplate = {{
    "<html>", // 0
    "", // 1
    "<head>", // 2
    "<meta http-equiv=\"Content-Language\" content=\"en-gb\">", // 3
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">", // 4
    "<p><a href=\"Main\">Return to main page</a>&nbsp;&nbsp;&nbsp;&nbsp;<a href=\"Timer\">REFRESH</a></p>", // 5
    "<title>Brenmoor Timer page</title>", // 6
    "<style type=\"text/css\">", // 7
    ".style1 {", // 8
    "\ttext-align: left;", // 9
    "}", // 10
    ".style3 {", // 11
    "\tborder-style: solid;", // 12
    "\tborder-width: 3px;", // 13
    "}", // 14
    ".style5 {", // 15
    "\ttext-align: center;", // 16
    "\tborder: 2px solid #808080;", // 17
    "}", // 18
    ".style6 {", // 19
    "\ttext-align: left;", // 20
    "\tborder: 2px solid #808080;", // 21
    "}", // 22
    ".style7 {", // 23
    "\ttext-align: center;", // 24
    "}", // 25
    ".style8 {", // 26
    "\tborder: 1px solid #808080;", // 27
    "}", // 28
    ".style9 {", // 29
    "\ttext-align: center;", // 30
    "\tborder: 1px solid #808080;", // 31
    "}", // 32
    "</style>", // 33
    "</head>", // 34
    "", // 35
    "<body>", // 36
    "", // 37
    "<form method=\"post\" action=\"--WEBBOT-SELF--\" style=\"width: 697px\">", // 38
    "\t<p class=\"style7\" style=\"width: 594px\"><font color=\"#0000ff\" size=\"7\">&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; Timer ", // 39
    "\tsetup</font></p>", // 40
    "\t<p class=\"style7\"><font color=\"#0000FF\" size=\"5\">01/01/2010 - 23:20:25</font><br>", // 41
    "\t<br>", // 42
    "\t</p>", // 43
    "\t<div align=\"center\">", // 44
    "\t<table cellpadding=\"2\" cellspacing=\"1\" class=\"style3\" style=\"width: 75%\" width=\"404\" height=\"135\">", // 45
    "\t\t<!-- MSTableType=\"layout\" -->", // 46
    "\t\t<tr>", // 47
    "\t\t\t<td class=\"style5\" style=\"width: 156px\">", // 48
    "\t<p class=\"style1\">", // 49
    "\t<input type=\"checkbox\" name=\"C1TA\" value=\"ON\" style=\"width:20px\">TimerA&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; </p>", // 50
    "\t\t\t</td>", // 51
    "\t\t\t<td class=\"style6\" style=\"width: 165px\">", // 52
    "\t\t\t<input type=\"text\" name=\"TAON\" size=\"9\">on</td>", // 53
    "\t\t\t<td class=\"style6\" style=\"width: 165px\">", // 54
    "\t\t\t<input type=\"text\" name=\"TAOFF\" size=\"9\">off</td>", // 55
    "\t\t\t<td class=\"style6\" style=\"width: 165px\" height=\"31\">", // 56
    "\t\t\tOutputX</td>", // 57
    "\t\t</tr>", // 58
    "\t\t<tr>", // 59
    "\t\t\t<td class=\"style5\" style=\"width: 156px\">", // 60
    "\t<p class=\"style1\"><input type=\"checkbox\" name=\"C2TB\" value=\"ON\">TimerB&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; </p>", // 61
    "\t\t\t</td>", // 62
    "\t\t\t<td class=\"style6\" style=\"width: 165px\">", // 63
    "\t\t\t<input type=\"text\" name=\"TBON\" size=\"9\">on</td>", // 64
    "\t\t\t<td class=\"style6\" style=\"width: 165px\">", // 65
    "\t\t\t<input type=\"text\" name=\"TBOFF\" size=\"9\">off</td>", // 66
    "\t\t\t<td class=\"style6\" style=\"width: 165px\" height=\"31\">", // 67
    "\t\t\tOutputY</td>", // 68
    "\t\t</tr>", // 69
    "\t\t<tr>", // 70
    "\t\t\t<td class=\"style5\" style=\"width: 156px\">", // 71
    "\t<p class=\"style1\"><input type=\"checkbox\" name=\"C3TC\" value=\"ON\">TimerC&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; </p>", // 72
    "\t\t\t</td>", // 73
    "\t\t\t<td class=\"style6\" style=\"width: 165px\">", // 74
    "\t\t\t<input type=\"text\" name=\"TCON\" size=\"9\">on</td>", // 75
    "\t\t\t<td class=\"style6\" style=\"width: 165px\">", // 76
    "\t\t\t<input type=\"text\" name=\"TCOFF\" size=\"9\">off</td>", // 77
    "\t\t\t<td class=\"style6\" style=\"width: 165px\" height=\"31\">", // 78
    "\t\t\tOutputZ</td>", // 79
    "\t\t</tr>", // 80
    "\t\t<tr>", // 81
    "\t\t\t<td class=\"style5\" style=\"width: 96px\">", // 82
    "\t<p class=\"style1\"><input type=\"checkbox\" name=\"C4TD\" value=\"ON\">TimerD&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; </p>", // 83
    "\t\t\t</td>", // 84
    "\t\t\t<td class=\"style6\" style=\"width: 125px\">", // 85
    "\t\t\t<input type=\"text\" name=\"TDON\" size=\"9\">on</td>", // 86
    "\t\t\t<td class=\"style6\" style=\"width: 120px\">", // 87
    "\t\t\t<input type=\"text\" name=\"TDOFF\" size=\"9\">off</td>", // 88
    "\t\t\t<td class=\"style6\" style=\"width: 20px\" height=\"31\">", // 89
    "\t\t\tOutputH</td>", // 90
    "\t\t</tr>", // 91
    "\t</table>", // 92
    "\t\t<p>&nbsp;</p>", // 93
    "\t\t<p>&nbsp;</div>", // 94
    "", // 95
    "\t<p align=\"center\" class=\"style7\" style=\"width: 694px\">&nbsp;<input type=\"password\" name=\"T2\" size=\"20\">&nbsp;&nbsp; <input type=\"submit\" value=\"Submit\" name=\"B1\"></p>", // 96
    "\t<p>&nbsp;</p> ", // 97
    "<tr> <td colspan='3'><div align=\"center\"><font color=\"#999999\" size=\"1\" face=\"Arial, Helvetica, sans-serif\">&copy;", // 98
    "", // 99
    "</font><br></div></td></tr>    ", // 100
    "</form>", // 101
    "", // 102
    "</body>", // 103
    "", // 104
    "</html>", // 105
}};

const std::array<std::string_view, 237> kMainPageTemplate = {{
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">", // 0
    "<html xmlns=\"http://www.w3.org/1999/xhtml\">", // 1
    "<head>", // 2
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />", // 3
    "<meta http-equiv=\"Content-Language\" content=\"en-gb\"> <meta http-equiv=\"refresh\" content=\"1\">", // 4
    "<title>", // 5
    "Kestrane Inverter Page - By OstrevalSoftware", // 6
    "</title>", // 7
    "<style type=\"text/css\">", // 8
    ".style7 {\ttext-align: center;", // 9
    "}", // 10
    ".style1 {\ttext-align: left;", // 11
    "}", // 12
    ".style5 {\ttext-align: center;", // 13
    "\tborder: 2px solid #808080;", // 14
    "}", // 15
    ".style6 {\ttext-align: left;", // 16
    "\tborder: 2px solid #808080;", // 17
    "}", // 18
    ".style3 {\tborder-style: solid;", // 19
    "\tborder-width: 3px;", // 20
    "}", // 21
    "</style>", // 22
    "", // 23
    "", // 24
    "</head>", // 25
    "", // 26
    "<body>", // 27
    "", // 28
    "<p align=\"center\" class=\"style7\"><font color=\"#0000FF\" size=\"10\">", // 29
    "", // 30
    " ", // 31
    "Welcome to Dalvenor Server", // 32
    "</font></p>", // 33
    "<p align=\"center\" class=\"style7\"><font color=\"#0000FF\" size=\"5\">", // 34
    "01/01/2010 - 23:20:25", // 35
    "</font></p>", // 36
    "<p align=\"center\"><font size=\"4\" color=\"", // 37
    "#0000FF", // 38
    "\">", // 39
    "Energy flow", // 40
    "</font></p>", // 41
    "<table width=\"400\" border=\"1\" align=\"center\">", // 42
    "  <tr>", // 43
    "    <td width=\"165\"><div align=\"center\"><strong>", // 44
    "    Mode", // 45
    "    </strong></div></td>", // 46
    "    <td width=\"157\" align=\"left\" nowrap=\"nowrap\">", // 47
    "    ModeStatus", // 48
    "    </td>", // 49
    "  </tr>", // 50
    "  <tr>", // 51
    "    <td width=\"165\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 52
    "    Battery", // 53
    "    </strong></div></td>", // 54
    "    <td width=\"157\" align=\"left\" nowrap=\"nowrap\">", // 55
    "    BatteryStatus", // 56
    "    </td>", // 57
    "  </tr>", // 58
    "  <tr>", // 59
    "    <td width=\"165\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 60
    "    Load", // 61
    "    </strong></div></td>", // 62
    "    <td width=\"157\" align=\"left\" nowrap=\"nowrap\">", // 63
    "    LoadStatus", // 64
    "    </td>", // 65
    "  </tr>", // 66
    "</table>", // 67
    "<p align=\"center\"><font size=\"4\" color=\"#0000FF\">Basic information</font></p>", // 68
    "<table width=\"880\" border=\"1\" align=\"center\">", // 69
    "  <tr>", // 70
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\">", // 71
    "    <div align=\"center\"><strong>", // 72
    "    NameVar1", // 73
    "    </strong></div></td>", // 74
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\">", // 75
    "    BVar1", // 76
    "    </td>", // 77
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 78
    "    NameVar6", // 79
    "    </strong></div></td>", // 80
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\"> ", // 81
    "    BVar6", // 82
    "    </td>", // 83
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 84
    "    NameVar11", // 85
    "    </strong></div></td>", // 86
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\"> ", // 87
    "    BVar11", // 88
    "    </td>", // 89
    "  </tr>", // 90
    "  <tr>", // 91
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\">", // 92
    "    <div align=\"center\"><strong>", // 93
    "    NameVar2 ", // 94
    "    </strong></div></td>", // 95
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\">", // 96
    "    BVar2", // 97
    "    </td>", // 98
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 99
    "    NameVar7", // 100
    "    </strong></div></td>", // 101
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\"> ", // 102
    "    BVar7 ", // 103
    "    </td>", // 104
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 105
    "    NameVar12", // 106
    "    </strong></div></td>", // 107
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\"> ", // 108
    "    BVar12", // 109
    "    </td>", // 110
    "  </tr>", // 111
    "  <tr>", // 112
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\">", // 113
    "    <div align=\"center\"><strong>", // 114
    "    NameVar3", // 115
    "     </strong></div></td>", // 116
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\">", // 117
    "    BVar3", // 118
    "    </td>", // 119
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 120
    "    NameVar8", // 121
    "    </strong></div></td>", // 122
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\"> ", // 123
    "    BVar8 ", // 124
    "    </td>", // 125
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 126
    "    NameVar13", // 127
    "    </strong></div></td>", // 128
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\">", // 129
    "    BVar13", // 130
    "    </td>", // 131
    "  </tr>", // 132
    "  <tr>", // 133
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\">", // 134
    "    <div align=\"center\"><strong>", // 135
    "    NameVar4 ", // 136
    "    </strong></div></td>", // 137
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\">", // 138
    "    BVar4", // 139
    "    </td>", // 140
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 141
    "    NameVar9    ", // 142
    "    </strong></div></td>", // 143
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\">", // 144
    "    BVar9 ", // 145
    "    </td>", // 146
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 147
    "    NameVar14", // 148
    "    </strong></div></td>", // 149
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\"> ", // 150
    "    BVar14", // 151
    "    </td>", // 152
    "  </tr>", // 153
    "  <tr>", // 154
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\">", // 155
    "    <div align=\"center\"><strong>", // 156
    "    NameVar5 ", // 157
    "    </strong></div></td>", // 158
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\">", // 159
    "    BVar5", // 160
    "    </td>", // 161
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 162
    "    NameVar10", // 163
    "    </strong></div></td>", // 164
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\">", // 165
    "    BVar10", // 166
    "    </td>", // 167
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 168
    "    NameVar15", // 169
    "    </strong></div></td>", // 170
    "    <td width=\"60\" align=\"left\" nowrap=\"nowrap\">", // 171
    "    BVar15 ", // 172
    "    </td>", // 173
    "  </tr>", // 174
    "</table>", // 175
    "<p align=\"center\"><font size=\"4\" color=\"#0000FF\">", // 176
    "Computed values", // 177
    "</font>&nbsp;&nbsp;</p>", // 178
    "<table width=\"628\" border=\"1\" align=\"center\">", // 179
    "  <tr>", // 180
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 181
    "    Name1", // 182
    "    </strong></div></td>", // 183
    "    <td width=\"80\" align=\"left\" nowrap=\"nowrap\">", // 184
    "    Var1", // 185
    "    </td>", // 186
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 187
    "    Name4", // 188
    "    </strong></div></td>", // 189
    "    <td width=\"80\" align=\"left\" nowrap=\"nowrap\">", // 190
    "    Var4", // 191
    "    </td>", // 192
    "  </tr>", // 193
    "  <tr>", // 194
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 195
    "    Name2", // 196
    "    </strong></div></td>", // 197
    "    <td width=\"80\" align=\"left\" nowrap=\"nowrap\">", // 198
    "    Var2", // 199
    "    </td>", // 200
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 201
    "    Name5", // 202
    "    </strong></div></td>", // 203
    "    <td width=\"80\" align=\"left\" nowrap=\"nowrap\">", // 204
    "    Var5", // 205
    "    </td>", // 206
    "  </tr>", // 207
    "  <tr>", // 208
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 209
    "    Name3", // 210
    "    </strong></div></td>", // 211
    "    <td width=\"80\" align=\"left\" nowrap=\"nowrap\">", // 212
    "    Var3", // 213
    "    </td>", // 214
    "    <td width=\"220\" align=\"center\" nowrap=\"nowrap\"><div align=\"center\"><strong>", // 215
    "    Name6", // 216
    "    </strong></div></td>", // 217
    "    <td width=\"80\" align=\"left\" nowrap=\"nowrap\">", // 218
    "    Var6", // 219
    "    </td>", // 220
    "  </tr>", // 221
    "</table>", // 222
    "<p>&nbsp;</p>", // 223
    "", // 224
    "<tr> ", // 225
    "  <td colspan='3'><div align=\"center\"><font color=\"#999999\" size=\"1\" face=\"Arial, Helvetica, sans-serif\">&copy", // 226
    "", // 227
    "    </font><br>", // 228
    "  </td>", // 229
    "</tr>   ", // 230
    "", // 231
    "", // 232
    "<p align=\"center\"></p>", // 233
    "<p>&nbsp;</p>", // 234
    "</body>", // 235
    "</html>", // 236
}};

} // namespace quorvane
