// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The demo catalogue: the two lists, the pages they name and the files those
// pages link to. Every address carries the server's own host:port, so the
// site works on whatever port the server got.
#include "demo.h"

#include <QStringEncoder>
#include <QStringList>

namespace velmora::demo {

namespace {

struct Link
{
    QString path;     // file path on this server, or a full non-HTTP address
    qint64 size;      // generated file size (0 = no file behind it)
    QString html;     // the <a ...>...</a> markup, with %1 for the address
};

QString PageHtml(const QString &title, const QString &intro, const QString &body, const QString &metaCharset)
{
    QString meta;
    if (!metaCharset.isEmpty())
        meta = QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=%1\">\n").arg(metaCharset);
    return QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n%1<title>%2</title>\n</head>\n<body>\n"
                          "<h1>%2</h1>\n<p>%3</p>\n%4\n<p><a href=\"/\">返回首页</a> | <a href=\"#top\">页首</a></p>\n"
                          "</body>\n</html>\n")
        .arg(meta, title, intro, body);
}

QByteArray Gb18030(const QString &text)
{
    QStringEncoder enc("GB18030");
    return enc.encode(text);
}

// Builds the page's link list, registering the generated files it points to.
QString Links(httpd::HttpServer &server, const QList<Link> &links)
{
    QString body = QStringLiteral("<ul>\n");
    for (const Link &l : links) {
        QString address = l.path;
        if (l.path.startsWith(QLatin1Char('/'))) {
            address = server.url(l.path);
            if (l.size > 0)
                server.addGeneratedFile(l.path, l.size);
        }
        body += QStringLiteral("<li>") + l.html.arg(address) + QStringLiteral("</li>\n");
    }
    return body + QStringLiteral("</ul>");
}

void AddUtf8Page(httpd::HttpServer &server, const QString &path, const QString &html)
{
    server.addFile(path, html.toUtf8());
}

// A page in the Chinese code page, announced by the Content-Type header.
void AddGbPageWithHeader(httpd::HttpServer &server, const QString &path, const QString &html)
{
    const QByteArray bytes = Gb18030(html);
    server.addHandler(path, [bytes](const httpd::Request &) {
        httpd::Response r;
        r.contentType = "text/html; charset=GBK";
        r.body = bytes;
        return r;
    });
}

constexpr qint64 KB = 1024;
constexpr qint64 MB = 1024 * 1024;

} // namespace

void InstallDemoSite(httpd::HttpServer &server)
{
    const QString host = server.hostPort();
    auto at = [&](const QString &path) { return QStringLiteral("http://") + host + path; };

    // --- anime ---------------------------------------------------------
    AddUtf8Page(server, QStringLiteral("/anime/tv/hoshizora.html"),
        PageHtml(QStringLiteral("星空回廊 全集下载"), QStringLiteral("TV 版全 12 话, 720p 字幕版."),
            Links(server, {
                {QStringLiteral("/files/anime/hoshizora-01.mkv"), 3 * MB + 123,
                 QStringLiteral("<a href=\"%1\" title=\"第01话\"><font color=#e10900>星空</font>回廊    第01话 启程</a>")},
                {QStringLiteral("/files/anime/hoshizora-02.mkv"), 5 * MB,
                 QStringLiteral("<a class=\"ep\" href=\"%1\">星空回廊    第02话 &lt;灯塔&gt;</a>")},
                {QStringLiteral("/files/anime/hoshizora-03.MKV"), 48 * KB,
                 QStringLiteral("<A HREF=\"%1\">星空回廊    第03话 雨 &amp; 伞</A>")},
                {QStringLiteral("/files/anime/hoshizora-cover.jpg"), 20 * KB,
                 QStringLiteral("<a href=\"%1\">封面图片 (不是视频)</a>")},
                {QStringLiteral("ftp://") + host + QStringLiteral("/mirror/hoshizora-04.mkv"), 0,
                 QStringLiteral("<a href=\"%1\">星空回廊    第04话 (FTP 镜像)</a>")},
            }), QString()));
    AddUtf8Page(server, QStringLiteral("/anime/tv/hoshizora-sp.html"),
        PageHtml(QStringLiteral("星空回廊 特别篇"), QStringLiteral("附赠特别篇两话."),
            Links(server, {
                {QStringLiteral("/files/anime/hoshizora-sp1.mkv"), 2 * MB,
                 QStringLiteral("<a href=\"%1\">特别篇 1 夏夜祭</a>")},
                {QStringLiteral("/files/anime/hoshizora-sp2.mkv"), 256 * MB,
                 QStringLiteral("<a href=\"%1\">特别篇 2 长夜 (完整高清版)</a>")},
            }), QString()));
    AddUtf8Page(server, QStringLiteral("/anime/ova/kazeno.html"),
        PageHtml(QStringLiteral("风之信笺 OVA"), QStringLiteral("OVA 两卷, 附预告片."),
            Links(server, {
                {QStringLiteral("/files/ova/kazeno-vol1.mp4"), 4 * MB,
                 QStringLiteral("<a href=\"%1\">风之信笺 OVA 上卷</a>")},
                {QStringLiteral("/files/ova/kazeno-vol2.mp4"), 6 * MB,
                 QStringLiteral("<a href=\"%1\">风之信笺 OVA 下卷</a>")},
                {QStringLiteral("/files/ova/kazeno-trailer.MP4"), 12 * KB,
                 QStringLiteral("<a href=\"%1\">预告片 &amp; 花絮</a>")},
            }), QString()));
    AddGbPageWithHeader(server, QStringLiteral("/anime/movie/index.html"),
        PageHtml(QStringLiteral("剧场版合集"), QStringLiteral("剧场版压缩包, 解压后观看."),
            Links(server, {
                {QStringLiteral("/files/movie/seidou-shoujo.zip"), 7 * MB,
                 QStringLiteral("<a href=\"%1\">青铜少女 剧场版</a>")},
                {QStringLiteral("/files/movie/natsu-no-owari.zip"), 3 * MB,
                 QStringLiteral("<a href=\"%1\">夏日终章 剧场版</a>")},
            }), QString()));

    const QString animes = QStringList{
        at(QStringLiteral("/anime/tv/hoshizora.html")) + QStringLiteral("::=.mkv::=TV 动画"),
        at(QStringLiteral("/anime/ova/kazeno.html")) + QStringLiteral("::=.mp4::=OVA"),
        at(QStringLiteral("/anime/movie/index.html")) + QStringLiteral("::=.zip::=剧场版"),
        at(QStringLiteral("/anime/tv/hoshizora-sp.html")) + QStringLiteral("::=.mkv::=TV 动画"),
    }.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    server.addFile(QStringLiteral("/quillon/animes.txt"), animes.toUtf8());

    // --- music ---------------------------------------------------------
    AddUtf8Page(server, QStringLiteral("/music/singles.html"),
        PageHtml(QStringLiteral("单曲精选"), QStringLiteral("动画主题曲与插曲."),
            Links(server, {
                {QStringLiteral("/files/music/hoshizora-op.mp3"), 4 * MB + 512,
                 QStringLiteral("<a href=\"%1\">星空回廊 片头曲 「<font color=#e10900>远方</font>的灯」</a>")},
                {QStringLiteral("/files/music/hoshizora-ed.MP3"), 3 * MB,
                 QStringLiteral("<A Href=\"%1\">星空回廊 片尾曲    「雨后」</A>")},
                {QStringLiteral("/files/music/kazeno-theme.mp3"), 9 * KB,
                 QStringLiteral("<a href=\"%1\">风之信笺 主题曲 (试听片段)</a>")},
                {QStringLiteral("/files/music/lyrics.txt"), 2 * KB,
                 QStringLiteral("<a href=\"%1\">歌词文本</a>")},
            }), QString()));
    AddUtf8Page(server, QStringLiteral("/music/more-singles.html"),
        PageHtml(QStringLiteral("单曲补充"), QStringLiteral("新收录的单曲."),
            Links(server, {
                {QStringLiteral("/files/music/seidou-insert.mp3"), 2 * MB,
                 QStringLiteral("<a href=\"%1\">青铜少女 插曲 &lt;铜铃&gt;</a>")},
                {QStringLiteral("mms://") + host + QStringLiteral("/live/radio.mp3"), 0,
                 QStringLiteral("<a href=\"%1\">在线电台 (流媒体)</a>")},
            }), QString()));
    // An album page in the Chinese code page, declared by a meta tag only.
    server.addFile(QStringLiteral("/music/ost.html"),
        Gb18030(PageHtml(QStringLiteral("原声专辑"), QStringLiteral("剧场版原声音乐全收录."),
            Links(server, {
                {QStringLiteral("/files/ost/natsu-01.mp3"), 5 * MB,
                 QStringLiteral("<a href=\"%1\">夏日终章 原声 01 蝉鸣</a>")},
                {QStringLiteral("/files/ost/natsu-02.mp3"), 6 * MB,
                 QStringLiteral("<a href=\"%1\">夏日终章 原声 02 黄昏的站台</a>")},
                {QStringLiteral("/files/ost/natsu-03.mp3"), 7 * KB,
                 QStringLiteral("<a href=\"%1\">夏日终章 原声 03 再见 &amp; 谢谢</a>")},
            }), QStringLiteral("gb2312"))));
    AddUtf8Page(server, QStringLiteral("/music/lossless.html"),
        PageHtml(QStringLiteral("无损音乐"), QStringLiteral("FLAC 整轨, 建议使用下载工具."),
            Links(server, {
                {QStringLiteral("/files/flac/hoshizora-ost.flac"), 256 * MB,
                 QStringLiteral("<a href=\"%1\">星空回廊 原声大碟 (FLAC 整轨)</a>")},
                {QStringLiteral("magnet:?xt=urn:btih:0f1e2d3c4b5a69788796a5b4c3d2e1f00f1e2d3c&dn=kazeno-ost.flac"), 0,
                 QStringLiteral("<a href=\"%1\">风之信笺 原声 (磁力链接)</a>")},
            }), QString()));

    const QString albums = QStringList{
        at(QStringLiteral("/music/singles.html")) + QStringLiteral("::=.mp3::=单曲"),
        at(QStringLiteral("/music/ost.html")) + QStringLiteral("::=.mp3::=原声专辑"),
        at(QStringLiteral("/music/lossless.html")) + QStringLiteral("::=.flac::=无损音乐"),
        at(QStringLiteral("/music/more-singles.html")) + QStringLiteral("::=.MP3::=单曲"),
    }.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    server.addFile(QStringLiteral("/quillon/albums.txt"), albums.toUtf8());
}

} // namespace velmora::demo
