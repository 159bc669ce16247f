// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The page scan: which links are taken and what their items show.
#include "catalogue/core/pagescan.h"

#include <QtTest>

using namespace velmora;

namespace {
// Each taken link as "address|text".
QStringList Scan(const QString &page, const QString &key)
{
    QStringList out;
    ScanPage(page, key, [&](const QString &address, const QString &text) {
        out << address + QLatin1Char('|') + text;
        return true;
    });
    return out;
}
} // namespace

class tst_PageScan : public QObject
{
    Q_OBJECT
private slots:
    void links_data();
    void links();
    void linkText_data();
    void linkText();
    void malformedPagesEnd_data();
    void malformedPagesEnd();
    void sinkStopsTheScan();
    void largePage();
    void fourSpaceRunsOfAnyLength();
};

void tst_PageScan::links_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("taken");

    QTest::newRow("marker, key and end in any case; address keeps its capitals")
        << "<A HREF=\"http://h/Song.MP3\">Song</A>" << ".mp3" << QStringList{"http://h/Song.MP3|Song"};
    QTest::newRow("links without the key are skipped")
        << "<a href=\"a.txt\">A</a> <a href=\"b.mp3\">B</a> <a href=\"c.jpg\">C</a> <a href=\"d.mP3\">D</a>"
        << ".mp3" << QStringList{"b.mp3|B", "d.mP3|D"};
    QTest::newRow("address stored unchanged")
        << "<a href=\"../x.mp3?a=1&amp;b=2\">x</a>" << ".mp3" << QStringList{"../x.mp3?a=1&amp;b=2|x"};
    QTest::newRow("taken link: next search after its </a>")
        << "<a href=\"a.mp3\">x <b href=\"b.mp3\">y</b></a><a href=\"c.mp3\">z</a>" << ".mp3"
        << QStringList{"a.mp3|x <b href=\"b.mp3\">y</b>", "c.mp3|z"};
    QTest::newRow("skipped link: next search after its closing quote")
        << "<a href=\"page.html\">see <i href=\"in.mp3\">it</i></a>" << ".mp3" << QStringList{"in.mp3|it</i>"};
    QTest::newRow("text starts after the first > following the marker")
        << "<a href=\"a.mp3\" title=\"t\"><img src=\"i.png\">Cover</a>" << ".mp3"
        << QStringList{"a.mp3|<img src=\"i.png\">Cover"};
    QTest::newRow("key matched anywhere in the address")
        << "<a href=\"http://h/music.mp3.html\">page</a>" << ".mp3" << QStringList{"http://h/music.mp3.html|page"};
    QTest::newRow("no links") << "<html><body>nothing</body></html>" << ".mp3" << QStringList{};
}

void tst_PageScan::links()
{
    QFETCH(QString, page);
    QFETCH(QString, key);
    QFETCH(QStringList, taken);
    QCOMPARE(Scan(page, key), taken);
}

void tst_PageScan::linkText_data()
{
    QTest::addColumn<QString>("inner");
    QTest::addColumn<QString>("shown");
    QTest::newRow("four spaces removed") << "a    b" << "ab";
    QTest::newRow("five spaces leave one") << "a     b" << "a b";
    QTest::newRow("three spaces stay") << "a   b" << "a   b";
    QTest::newRow("tabs are not spaces") << "a\t\t\t\tb" << "a\t\t\t\tb";
    QTest::newRow("highlight then four spaces joins the words")
        << "<font color=#e10900>Word</font>    rest" << "Wordrest";
    QTest::newRow("highlight tags in any case")
        << "<FONT COLOR=#E10900>A</FONT><Font Style=Color:#E10900>B</font>" << "AB";
    QTest::newRow("other tags kept") << "<b>A</b><font color=#000000>B</font>" << "<b>A</b><font color=#000000>B";
    QTest::newRow("entities") << "A &amp; B &lt;C&gt;" << "A & B <C>";
    QTest::newRow("entities in any case") << "&AMP; &Lt; &gT;" << "& < >";
    QTest::newRow("&amp;lt; ends as <") << "&amp;lt;x&amp;gt;" << "<x>";
    QTest::newRow("&amp;amp; ends as &amp;") << "&amp;amp;" << "&amp;";
    QTest::newRow("spaces removed before the tags go") << "<font color=#e10900>  </font>  x" << "    x";
}

void tst_PageScan::linkText()
{
    QFETCH(QString, inner);
    QFETCH(QString, shown);
    QCOMPARE(Scan("<a href=\"t.mp3\">" + inner + "</a>", ".mp3"), QStringList{"t.mp3|" + shown});
}

void tst_PageScan::malformedPagesEnd_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("taken");
    QTest::newRow("marker without closing quote") << "<a href=\"a.mp3\">A</a><a href=\"b.mp3" << QStringList{"a.mp3|A"};
    QTest::newRow("taken link without >") << "<a href=\"a.mp3\">A</a><a href=\"b.mp3\"" << QStringList{"a.mp3|A"};
    QTest::newRow("taken link without </a>") << "<a href=\"a.mp3\">A</a><a href=\"b.mp3\">B" << QStringList{"a.mp3|A"};
    QTest::newRow("marker at the very end") << "x href=\"" << QStringList{};
    QTest::newRow("skipped link at the end") << "<a href=\"a.txt\">" << QStringList{};
}

void tst_PageScan::malformedPagesEnd()
{
    QFETCH(QString, page);
    QFETCH(QStringList, taken);
    QCOMPARE(Scan(page, ".mp3"), taken);
}

void tst_PageScan::sinkStopsTheScan()
{
    QString page;
    for (int i = 0; i < 10; ++i)
        page += QStringLiteral("<a href=\"%1.mp3\">%1</a>").arg(i);
    int calls = 0;
    const qsizetype n = ScanPage(page, u".mp3", [&](const QString &, const QString &) { return ++calls < 3; });
    QCOMPARE(calls, 3);
    QCOMPARE(n, 3);
}

// Links far beyond position 32,767 and more than 32,767 of them.
void tst_PageScan::largePage()
{
    QString page = QString(100000, QLatin1Char('x'));
    const int count = 40000;
    for (int i = 0; i < count; ++i)
        page += QStringLiteral("<p>filler filler</p><a href=\"http://h/%1.mp3\">Track %1</a>\n").arg(i);
    QStringList last;
    const qsizetype n = ScanPage(page, u".MP3", [&](const QString &address, const QString &text) {
        last = {address, text};
        return true;
    });
    QCOMPARE(n, qsizetype(count));
    QCOMPARE(last, (QStringList{QStringLiteral("http://h/%1.mp3").arg(count - 1), QStringLiteral("Track %1").arg(count - 1)}));
}

// Every run length and its neighbours, compared with the left-to-right
// replacement the rule describes; then a text of 16 million spaces, which is
// handled in one pass (bench/scan measures the time).
void tst_PageScan::fourSpaceRunsOfAnyLength()
{
    for (int n = 0; n <= 13; ++n) {
        for (const QString &edge : {QString(), QStringLiteral("x"), QStringLiteral("\t")}) {
            const QString text = edge + QString(n, QLatin1Char(' ')) + QStringLiteral("y") + QString(n, QLatin1Char(' ')) + edge;
            QCOMPARE(RemoveFourSpaceRuns(text), QString(text).replace(QStringLiteral("    "), QString()));
        }
    }
    const QString shared = QStringLiteral("a    b");
    const QString copy = shared;
    QCOMPARE(RemoveFourSpaceRuns(copy), QStringLiteral("ab"));
    QCOMPARE(copy, QStringLiteral("a    b"));  // the caller's text is untouched

    const QString huge = QString(16 * 1024 * 1024 + 3, QLatin1Char(' ')) + QStringLiteral("end");
    QCOMPARE(RemoveFourSpaceRuns(huge), QStringLiteral("   end"));
}

QTEST_GUILESS_MAIN(tst_PageScan)
#include "tst_pagescan.moc"
