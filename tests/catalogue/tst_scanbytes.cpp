// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The path a large page takes: a UTF-8 page scanned as bytes gives exactly
// what the scan of the decoded page gives, only pages that decode as UTF-8
// are taken that way, and the tree's small records keep every key rule,
// whether an item comes as text or as bytes.
#include "catalogue/core/cataloguetree.h"
#include "catalogue/core/pagescan.h"
#include "catalogue/core/textdecode.h"

#include <QtTest>

using namespace velmora;

namespace {

QStringList Links(const std::function<qsizetype(const LinkSink &)> &scan)
{
    QStringList out;
    const qsizetype n = scan([&](const QString &address, const QString &text) {
        out << address + QLatin1Char('|') + text;
        return out.size() < 3;  // a sink that stops the scan stops both alike
    });
    out << QString::number(n);
    return out;
}

} // namespace

class tst_ScanBytes : public QObject
{
    Q_OBJECT
private slots:
    void sameLinks_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("key");
        QTest::newRow("cases and cleanup")
            << "<A HREF=\"x/One.MP3\">第一<FONT COLOR=#E10900>曲</Font>    A &AMP;lt;b</A>"
               "<a href=\"skip.txt\">no</a><a hReF=\"t.mp3\" >two     spaces</a >x</a>"
            << ".mp3";
        QTest::newRow("a key that is not ASCII") << "<a href=\"/下载/歌.mp3\">歌</a><a href=\"/x.mp3\">x</a>"
                                                   << "下载";
        QTest::newRow("the key in other letter case, beyond ASCII")
            << "<a href=\"/ÉTÉ.ogg\">été</a>" << "été";
        QTest::newRow("the marker split over text") << "href =\"a.mp3\">no</a> hre<b>f=\"b.mp3\">no</a>href=\"c.mp3\">c</a>"
                                                     << ".mp3";
        QTest::newRow("more links than the sink takes")
            << "<a href=\"1.mp3\">1</a><a href=\"2.mp3\">2</a><a href=\"3.mp3\">3</a><a href=\"4.mp3\">4</a>" << ".mp3";
        QTest::newRow("no closing quote") << "<a href=\"1.mp3\">1</a><a href=\"2.mp3>2" << ".mp3";
        QTest::newRow("no end of the link") << "<a href=\"1.mp3\">1</a><a href=\"2.mp3\">2</b" << ".mp3";
        QTest::newRow("no > after the address") << "<a href=\"1.mp3\"" << ".mp3";
        QTest::newRow("an end tag cut short") << "<a href=\"1.mp3\">1</a" << ".mp3";
        QTest::newRow("a marker at the very start") << "href=\"1.mp3\">1</a>" << ".mp3";
        QTest::newRow("nothing") << "" << ".mp3";
        // Two letters beyond ASCII fold to ASCII ones: the long s and the Kelvin sign.
        QTest::newRow("a Kelvin sign in the address")
            << "<a href=\"/a.m\u212Av\">a</a><a href=\"/b.mkv\">b</a><a href=\"/c.m\u212Bv\">c</a>" << ".MKV";
        QTest::newRow("a key with a Kelvin sign") << "<a href=\"/k.mp3\">k</a><a href=\"/x.mp3\">x</a>"
                                                  << "\u212A.mp3";
        QTest::newRow("folding letters in the text")
            << "<a href=\"1.mp3\"><font \u017ftyle=color:#e10900>\u212A</font> &amp;lt;    x</a>" << ".mp3";
    }

    void sameLinks()
    {
        QFETCH(QString, page);
        QFETCH(QString, key);
        const QByteArray bytes = page.toUtf8();
        QVERIFY(IsValidUtf8Page(bytes));
        QCOMPARE(Links([&](const LinkSink &s) { return ScanUtf8Page(bytes, key, s); }),
                 Links([&](const LinkSink &s) { return ScanPage(page, key, s); }));
    }

    // The cleanup matches Qt's own case-insensitive remove and replace,
    // letter folding and the order of the steps included.
    void cleanupAsQtDoes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << "第 1 话";
        QTest::newRow("highlight in capitals") << "<FONT COLOR=#E10900>高清</FoNt> x";
        QTest::newRow("both highlights") << "<font style=color:#e10900>a</font><font color=#e10900>b</font>";
        QTest::newRow("a tag made by removing one") << "<font <font color=#e10900>color=#e10900>x";
        QTest::newRow("entities one after another") << "&amp;lt; &AMP;gt; &amp;amp; &lt;&gt; &am&amp;p;";
        QTest::newRow("a long s folds to s") << QString::fromUtf8("<font \u017ftyle=color:#e10900>x</font>");
        QTest::newRow("cut short") << "<font color=#e1090 &am &l";
        QTest::newRow("only a tag start") << "<";
        QTest::newRow("a tag beside letters beyond ASCII") << "<Font Color=#E10900>第一</FONT>话 &AMP;&amp;";
        QTest::newRow("a Kelvin sign beside a highlight") << "\u212A<font color=#e10900>x</font>&amp;";
        QTest::newRow("a long s outside a tag") << "\u017f <font style=color:#e10900>x</font>";
    }

    void cleanupAsQtDoes()
    {
        QFETCH(QString, text);
        QString qt = text;
        qt.remove(QStringLiteral("<font color=#e10900>"), Qt::CaseInsensitive);
        qt.remove(QStringLiteral("<font style=color:#e10900>"), Qt::CaseInsensitive);
        qt.remove(QStringLiteral("</font>"), Qt::CaseInsensitive);
        qt.replace(QStringLiteral("&amp;"), QStringLiteral("&"), Qt::CaseInsensitive);
        qt.replace(QStringLiteral("&lt;"), QStringLiteral("<"), Qt::CaseInsensitive);
        qt.replace(QStringLiteral("&gt;"), QStringLiteral(">"), Qt::CaseInsensitive);
        QCOMPARE(CleanLinkText(text), qt);
        // The scan of a UTF-8 page cleans its texts as bytes, to the same text.
        QString scanned;
        const QByteArray page = "<a href=\"x\">" + text.toUtf8() + "</a>";
        QCOMPARE(ScanUtf8Page(page, u"x", [&](const QString &, const QString &t) {
                     scanned = t;
                     return true;
                 }),
                 qsizetype(1));
        QCOMPARE(scanned, qt);
    }

    void takenAsUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<bool>("utf8");
        const QByteArray chinese = QStringLiteral("<a href=\"歌.mp3\">歌</a>").toUtf8();
        QTest::newRow("undeclared") << chinese << QByteArray("text/html") << true;
        QTest::newRow("declared in the answer") << chinese << QByteArray("text/html; charset=UTF-8") << true;
        QTest::newRow("declared in the page") << "<meta charset=\"utf8\">" + chinese << QByteArray() << true;
        QTest::newRow("declared as GBK") << chinese << QByteArray("text/html; charset=gbk") << false;
        QTest::newRow("GBK bytes, undeclared") << QByteArray("<a href=\"\xb8\xe8.mp3\">\xb8\xe8</a>") << QByteArray()
                                               << false;
        QTest::newRow("broken in the middle") << "\xe6\xad" + chinese << QByteArray() << false;
    }

    void takenAsUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, contentType);
        QFETCH(bool, utf8);
        QCOMPARE(IsValidUtf8Page(bytes, contentType), utf8);
        // What the byte scan reads is then exactly the text a page decodes to.
        if (utf8)
            QCOMPARE(DecodeFetchedText(bytes, contentType), QString::fromUtf8(bytes));
    }

    // Item keys are kept as numbers; they still clash with any other key
    // written the same way, in whatever order they come.
    void treeKeys()
    {
        MemoryTree tree;
        QCOMPARE(tree.addNode("", "Node 1", "Quillon", 1), 1);
        QCOMPARE(tree.addNode("Node 1", "Node  5", "a group named \" 5\"", 2), 2);
        QCOMPARE(tree.addNode("Node  5", "Node  2", "二", 1, "http://h/2"), 3);
        QCOMPARE(tree.addNode("Node  5", "Node  5", "clash", 1, "http://h/5"), 0);
        QCOMPARE(tree.addNode("Node  5", "Node  3", "三", 1, "http://h/3"), 4);
        QCOMPARE(tree.addNode("Node  5", "Node  2", "again", 1, "http://h/x"), 0);
        QCOMPARE(tree.addNode("Node  5", "Node  02", "a leading zero is another key", 1, "t"), 5);
        QCOMPARE(tree.indexOfKey("Node  3"), 4);
        QCOMPARE(tree.indexOfKey("Node  5"), 2);
        QCOMPARE(tree.indexOfKey("Node  4"), 0);
        QCOMPARE((QStringList{tree.key(2), tree.key(3), tree.key(5), tree.text(3), tree.tag(4), tree.tag(2)}),
                 (QStringList{"Node  5", "Node  2", "Node  02", "二", "http://h/3", ""}));
        // A text larger than the store's slices comes back whole.
        const QString big(3 << 20, QChar(0x6b4c));
        QCOMPARE(tree.addNode("Node  5", "Node  9", big, 1, "http://h/9"), 6);
        QCOMPARE(tree.text(6), big);
        QCOMPARE(tree.tag(6), QStringLiteral("http://h/9"));
        QCOMPARE(tree.text(4), QStringLiteral("三"));

        // Items added as bytes keep the same rules and read back the same.
        QCOMPARE(tree.addItem(2, 3, "clash", "http://h/x"), 0);
        QCOMPARE(tree.addItem(99, 10, "no such parent", "http://h/x"), 0);
        QCOMPARE(tree.addItem(2, 10, "十", "http://h/10"), 7);
        QCOMPARE(tree.addItem(2, 7, "七, after a higher number", "http://h/7"), 8);
        QCOMPARE(tree.addNode("Node  5", "Node  10", "clash", 1, "t"), 0);
        const qint64 huge = 1'000'000'000'000'000;  // beyond the numbers kept as such
        QCOMPARE(tree.addItem(0, huge, "", "http://h/h"), 9);
        QCOMPARE(tree.addNode("", "Node  1000000000000000", "clash", 1, "t"), 0);
        QCOMPARE(tree.addItem(0, huge, "clash", "t"), 0);
        QCOMPARE((QList<qsizetype>{tree.indexOfKey("Node  10"), tree.indexOfKey("Node  7"),
                                   tree.indexOfKey("Node  1000000000000000")}),
                 (QList<qsizetype>{7, 8, 9}));
        QCOMPARE((QStringList{tree.key(7), tree.text(7), tree.tag(7), tree.key(9), tree.text(9)}),
                 (QStringList{"Node  10", "十", "http://h/10", "Node  1000000000000000", ""}));
        QCOMPARE((QList<qsizetype>{tree.parentIndex(7), tree.parentIndex(9), tree.image(7)}),
                 (QList<qsizetype>{2, 0, ImageRootOrItem}));
    }
};

QTEST_MAIN(tst_ScanBytes)
#include "tst_scanbytes.moc"
