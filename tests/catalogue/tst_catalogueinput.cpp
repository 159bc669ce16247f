// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// What the catalogue reads from servers it does not control (lists, pages,
// their bytes and addresses) and the search address built from typed words.
#include "catalogue/core/handoff.h"
#include "catalogue/core/listformat.h"
#include "catalogue/core/pagescan.h"
#include "catalogue/core/search.h"
#include "catalogue/core/textdecode.h"

#include <QUrlQuery>
#include <QtTest>

using namespace velmora;

namespace {

// Each link taken from the page as "address|text".
QStringList Scan(const QString &page)
{
    QStringList out;
    ScanPage(page, u".mp3", [&](const QString &address, const QString &text) {
        out << address + QLatin1Char('|') + text;
        return true;
    });
    return out;
}

QByteArray Gbk(const QString &s)
{
    QStringEncoder enc("GB18030");
    return enc.encode(s);
}

} // namespace

class tst_CatalogueInput : public QObject
{
    Q_OBJECT
private slots:
    void listLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("lone cr ends a line") << "a\rb" << QStringList{"a", "b"};
        QTest::newRow("lone lf stays in the line") << "a\nb\r\nc" << QStringList{"a\nb", "c"};
        QTest::newRow("empty lines kept for the reader") << "\r\n\r\na\r\r\n" << QStringList{"", "", "a", ""};
        QTest::newRow("empty text") << "" << QStringList{};
    }

    void listLines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(SplitListLines(text), lines);
    }

    void listEntries_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("good");
        QTest::addColumn<QStringList>("parts");  // address, key, category
        QTest::newRow("extra separators belong to the category") << "u::=.mp3::=A::=B" << true << QStringList{"u", ".mp3", "A::=B"};
        QTest::newRow("spaces kept") << " u ::= k ::= c " << true << QStringList{" u ", " k ", " c "};
        // The second separator must begin after the end of the first.
        QTest::newRow("adjacent separators give an empty key") << "a::=::=c" << false << QStringList{"a", "", "c"};
        QTest::newRow("overlapping colons") << "a::=:=b::=c" << true << QStringList{"a", ":=b", "c"};
        QTest::newRow("colons before the separator") << "a::::=b::=c" << true << QStringList{"a::", "b", "c"};
        QTest::newRow("empty address") << "::=b::=c" << false << QStringList{"", "b", "c"};
        QTest::newRow("empty category") << "a::=b::=" << false << QStringList{"a", "b", ""};
        QTest::newRow("one separator") << "a::=b" << false << QStringList{"", "", ""};
    }

    void listEntries()
    {
        QFETCH(QString, line);
        QFETCH(bool, good);
        QFETCH(QStringList, parts);
        ListEntry e;
        QCOMPARE(CutListLine(line, e), good);
        QCOMPARE((QStringList{e.URL, e.Key, e.Category}), parts);
    }

    void links_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("taken");
        QTest::newRow("marker, key and end in any case; address keeps its capitals")
            << "<A HREF=\"http://h/Song.MP3\">Song</A><a href=\"a.txt\">A</a><a href=\"d.mP3\">D</a>"
            << QStringList{"http://h/Song.MP3|Song", "d.mP3|D"};
        QTest::newRow("address stored unchanged")
            << "<a href=\"../x.mp3?a=1&amp;b=2\">x</a>" << QStringList{"../x.mp3?a=1&amp;b=2|x"};
        QTest::newRow("taken link: next search after its </a>")
            << "<a href=\"a.mp3\">x <b href=\"b.mp3\">y</b></a><a href=\"c.mp3\">z</a>"
            << QStringList{"a.mp3|x <b href=\"b.mp3\">y</b>", "c.mp3|z"};
        QTest::newRow("skipped link: next search after its closing quote")
            << "<a href=\"page.html\">see <i href=\"in.mp3\">it</i></a>" << QStringList{"in.mp3|it</i>"};
        QTest::newRow("text starts after the first > following the marker")
            << "<a href=\"a.mp3\" title=\"t\"><img src=\"i.png\">Cover</a>" << QStringList{"a.mp3|<img src=\"i.png\">Cover"};
        QTest::newRow("key matched anywhere in the address")
            << "<a href=\"http://h/music.mp3.html\">page</a>" << QStringList{"http://h/music.mp3.html|page"};
        // A page cut short ends the scan; what came before stays.
        QTest::newRow("marker without closing quote") << "<a href=\"a.mp3\">A</a><a href=\"b.mp3" << QStringList{"a.mp3|A"};
        QTest::newRow("taken link without </a>") << "<a href=\"a.mp3\">A</a><a href=\"b.mp3\">B" << QStringList{"a.mp3|A"};

        // The text between the tags, as shown.
        const auto text = [](const char *name, const QString &inner, const QString &shown) {
            QTest::newRow(name) << "<a href=\"t.mp3\">" + inner + "</a>" << QStringList{"t.mp3|" + shown};
        };
        text("four spaces removed, the fifth stays", "a     b", "a b");
        text("spaces removed before the tags go", "<font color=#e10900>  </font>  x", "    x");
        text("highlight tags in any case", "<FONT COLOR=#E10900>A</FONT><Font Style=Color:#E10900>B</font>", "AB");
        text("other tags kept", "<b>A</b><font color=#000000>B</font>", "<b>A</b><font color=#000000>B");
        text("entities in any case", "A &amp; B &Lt;C&gT;", "A & B <C>");
        text("&amp;lt; ends as <", "&amp;lt;x&amp;gt;", "<x>");
        text("&amp;amp; ends as &amp;", "&amp;amp;", "&amp;");
    }

    void links()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, taken);
        QCOMPARE(Scan(page), taken);
    }

    // The sink stops the scan; links far beyond position 32,767 and more than
    // 32,767 of them are all found; 16 million spaces are cut in one pass.
    void scanBounds()
    {
        QString page;
        for (int i = 0; i < 10; ++i)
            page += QStringLiteral("<a href=\"%1.mp3\">%1</a>").arg(i);
        int calls = 0;
        QCOMPARE(ScanPage(page, u".mp3", [&](const QString &, const QString &) { return ++calls < 3; }), qsizetype(3));
        QCOMPARE(calls, 3);

        page = QString(100000, QLatin1Char('x'));
        const int count = 40000;
        for (int i = 0; i < count; ++i)
            page += QStringLiteral("<p>filler filler</p><a href=\"http://h/%1.mp3\">Track %1</a>\n").arg(i);
        QString last;
        const qsizetype n = ScanPage(page, u".MP3", [&](const QString &address, const QString &text) {
            last = address + QLatin1Char('|') + text;
            return true;
        });
        QCOMPARE(n, qsizetype(count));
        QCOMPARE(last, QStringLiteral("http://h/%1.mp3|Track %1").arg(count - 1));

        const QString huge = QString(16 * 1024 * 1024 + 3, QLatin1Char(' ')) + QStringLiteral("end");
        QCOMPARE(RemoveFourSpaceRuns(huge), QStringLiteral("   end"));
    }

    void decoding_data()
    {
        const QString chinese = QStringLiteral("星空回廊 第01话");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("text");
        QTest::newRow("quoted charset header") << Gbk(chinese) << QByteArray("text/html;charset=\"gb2312\"") << chinese;
        const QByteArray meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">";
        QTest::newRow("meta content charset") << meta + Gbk(chinese) << QByteArray("text/html") << QString::fromLatin1(meta) + chinese;
        QTest::newRow("meta charset") << "<meta charset='gb18030'>" + Gbk(chinese) << QByteArray() << "<meta charset='gb18030'>" + chinese;
        QTest::newRow("header beats meta") << QByteArray("<meta charset=gbk>") + chinese.toUtf8()
                                           << QByteArray("text/html; charset=utf-8") << "<meta charset=gbk>" + chinese;
        QTest::newRow("valid utf-8 without declaration") << chinese.toUtf8() << QByteArray() << chinese;
        QTest::newRow("otherwise the Chinese code page") << Gbk(chinese) << QByteArray("text/plain") << chinese;
        QTest::newRow("unknown charset falls through") << chinese.toUtf8() << QByteArray("text/html; charset=x-nonsense") << chinese;
    }

    void decoding()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(QString, text);
        QCOMPARE(DecodeFetchedText(body, contentType), text);
    }

    // Charsets only iconv knows, whose text outgrows the page: one TSCII byte
    // (0x82) is "ஸ்ரீ", twelve bytes of UTF-8.
    void iconvFallback()
    {
        const QString syllable = QStringLiteral("ஸ்ரீ");
        for (const int count : {1, 5000}) {
            const QByteArray page = "<a href=\"a.mp3\">A</a>" + QByteArray(count, '\x82') + "<a href=\"tail.mp3\">Tail</a>";
            const QString text = DecodeFetchedText(page, "text/html; charset=TSCII");
            QCOMPARE(text.count(syllable), qsizetype(count));
            QCOMPARE(Scan(text), (QStringList{"a.mp3|A", "tail.mp3|Tail"}));
        }

        QString text;
        // 0xFF is no TSCII byte: a replacement character, and on after it.
        QVERIFY(DecodeWithCharset(QByteArray("a\xff") + QByteArray(3000, '\x82') + "\xff" + "z", "TSCII", text));
        QCOMPARE(text.size(), 1 + 1 + 3000 * 4 + 1 + 1);
        QVERIFY(text.startsWith(QStringLiteral("a\uFFFD")) && text.endsWith(QStringLiteral("\uFFFDz")));

        // A four-byte EUC-TW character cut off by the end of the page, and many
        // across the slices the page is read in.
        QVERIFY(DecodeWithIconv("ab\x8e\xa2", "EUC-TW", text));
        QCOMPARE(text, QStringLiteral("ab\uFFFD\uFFFD"));
        QVERIFY(DecodeWithIconv("x" + QByteArray("\x8e\xa1\xa4\xa1").repeated(3000), "EUC-TW", text));
        QCOMPARE(text.size(), 1 + 3000);
        QVERIFY(!text.contains(QChar::ReplacementCharacter));
    }

    // Only http (any case) goes to the program's own download window.
    void handOffRoutes()
    {
        for (const char *address : {"http://h/a.mp3", "HTTP://h/a.mp3"})
            QVERIFY2(HandOffFor(address) == HandOff::DownloadWindow, address);
        for (const char *address : {"https://h/a.mp3", " http://h/a.mp3", "http:a.mp3", "a.mp3"})
            QVERIFY2(HandOffFor(address) == HandOff::Browser, address);
    }

    // Known schemes only, each in its shape, with no control or invisible characters.
    void desktopGetsOnlySafeAddresses()
    {
        const QStringList allowed = {
            "HTTPS://example.org/a.mp3", "ftp://u@h.example:2121/x/a.mp3", "mms://media.example/live",
            "rtsp://media.example/live", "ftp://h/My Song.mp3", "https://h/歌曲.mp3",
            "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=Ep01.mkv",
            "ed2k://|file|Ep01.mkv|367001600|0123456789ABCDEF0123456789ABCDEF|/"};
        for (const QString &address : allowed)
            QVERIFY2(MayOpenOnDesktop(address), qPrintable(address));

        const QStringList withheld = {
            "file:///etc/passwd", "FILE:///etc/passwd", "data:text/html,<script>alert(1)</script>",
            "javascript:alert(1)", "javascript://h/%0Aalert(1)", "smb://server/share/a.exe", "velmora-open://h/a",
            "magnet:", "magnet:?", "magnet://h/x", "ed2k://h/x.mkv", "ed2k://|file|a.mkv|1|AB|/\nfile:///etc/passwd",
            "a.mp3", "/etc/passwd", "//h/a.mp3", "", "https:///etc/passwd", "https:example.org", " https://h/a.mp3",
            "https://h/a.mp3\r", QStringLiteral("https://h/a") + QChar(0x85) + QStringLiteral(".mp3"),
            QStringLiteral("https://h/") + QChar(0x202e) + QStringLiteral("3pm.exe"),
            QStringLiteral("magnet:?xt=urn:btih:01") + QChar(0x200b) + QStringLiteral("23")};
        for (const QString &address : withheld)
            QVERIFY2(!MayOpenOnDesktop(address), address.toUtf8().toPercentEncoding().constData());
    }

    // Whatever is typed stays inside the word parameter, in printable ASCII.
    void searchAddressCarriesTheWordsSafely()
    {
        for (const QString &words : QStringList{"rock&roll=1&lm=9 #1 hit 100% c++", "a\r\nHost: evil.example\r\n\r\nGET /",
                                     "  魔法 少女 君をのせて  "}) {
            const QString address = BuildSearchAddress(QStringLiteral("127.0.0.1:8417"), words);
            QVERIFY(address.startsWith(QStringLiteral("http://127.0.0.1:8417/m?rn=&tn=baidump3&ct=134217728&word=")));
            QVERIFY(address.endsWith(QStringLiteral("&lm=0")));
            for (QChar c : address)
                QVERIFY2(c.unicode() > 0x20 && c.unicode() < 0x7f, qPrintable(address));
            const QUrl url(address);
            QVERIFY(url.isValid() && !url.hasFragment());
            const QUrlQuery query(url);
            QCOMPARE(query.queryItemValue(QStringLiteral("word"), QUrl::FullyDecoded), words);
            QCOMPARE(query.queryItems().size(), 5);
        }
    }
};

QTEST_GUILESS_MAIN(tst_CatalogueInput)
#include "tst_catalogueinput.moc"
