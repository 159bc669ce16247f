// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The demo music search service. "/m?...&word=<words>&..." answers with a
// result page in the style of an MP3 search engine: one row per track, the
// searched words highlighted in the link texts, and a few links that are not
// tracks (lyrics, the next page) for the scanner to skip. The words arrive
// percent-encoded as UTF-8 and the page is sent as UTF-8.
#include "demo.h"

#include <QUrlQuery>

namespace velmora::demo {

namespace {

struct Track
{
    const char *path;
    const char *suffix;   // shown after the highlighted words
    qint64 size;
};

// Served as generated files; sizes differ so downloads are told apart.
const Track kTracks[] = {
    {"/search/mp3/track01.mp3", " - 片头曲 (TV Size)", 1450000},
    {"/search/mp3/track02.mp3", " - 片尾曲", 2210000},
    {"/search/mp3/track03.MP3", " (Instrumental)", 1730000},
    {"/search/mp3/track04.Mp3", " - 角色歌 Live 版", 2640000},
};

QString htmlEscape(const QString &s)
{
    return s.toHtmlEscaped();
}

QByteArray resultPage(const QString &hostPort, const QString &words)
{
    const QString shown = htmlEscape(words);
    const QString mark = QStringLiteral("<font color=#e10900>") + shown + QStringLiteral("</font>");
    QString html;
    html += QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
                           "<title>MP3 搜索 - ") + shown + QStringLiteral("</title></head>\n<body>\n");
    html += QStringLiteral("<form action=\"/m\"><input name=word value=\"") + shown
        + QStringLiteral("\"><input type=submit value=\"搜索\"></form>\n");
    if (words.trimmed().isEmpty()) {
        html += QStringLiteral("<p>请输入歌曲名或歌手名.</p>\n</body></html>\n");
        return html.toUtf8();
    }
    html += QStringLiteral("<p>找到相关歌曲 %1 首</p>\n<table>\n").arg(std::size(kTracks));
    int row = 0;
    for (const Track &t : kTracks) {
        ++row;
        html += QStringLiteral("<tr><td>%1</td><td><a href=\"http://").arg(row) + hostPort
            + QString::fromLatin1(t.path) + QStringLiteral("\" target=\"_blank\">") + mark
            + QString::fromUtf8(t.suffix) + QStringLiteral("</a></td><td><a href=\"/search/lrc/track%1.lrc\">歌词</a></td></tr>\n")
                                                 .arg(row, 2, 10, QLatin1Char('0'));
    }
    html += QStringLiteral("</table>\n<p><a href=\"/m?word=") + QString::fromLatin1(QUrl::toPercentEncoding(words))
        + QStringLiteral("&amp;pn=10\">下一页</a> <a href=\"http://") + hostPort
        + QStringLiteral("/help.html\">帮助</a></p>\n</body></html>\n");
    return html.toUtf8();
}

} // namespace

void InstallDemoSearch(httpd::HttpServer &server)
{
    for (const Track &t : kTracks)
        server.addGeneratedFile(QString::fromLatin1(t.path), t.size);
    httpd::HttpServer *srv = &server;
    server.addHandler(QStringLiteral("/m"), [srv](const httpd::Request &req) {
        const QString words = QUrlQuery(req.url).queryItemValue(QStringLiteral("word"), QUrl::FullyDecoded);
        httpd::Response r;
        r.contentType = "text/html; charset=utf-8";
        r.body = resultPage(srv->hostPort(), words);
        return r;
    });
}

} // namespace velmora::demo
