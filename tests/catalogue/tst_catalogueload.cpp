// Loading a catalogue headless: list fetch, temporary file, page scan into
// a tree, fetch failures, cancelling, and decoding of fetched text.
#include "catalogue/core/catalogueload.h"
#include "catalogue/core/inet.h"
#include "catalogue/core/textdecode.h"
#include "httpserver.h"

#include <QtTest>

using namespace velmora;
using velmora::httpd::HttpServer;

namespace {

QByteArray Gbk(const QString &s)
{
    QStringEncoder enc("GB18030");
    return enc.encode(s);
}

struct Load
{
    MemoryTree tree;
    Inet inet;
    CatalogueState state;
    CatalogueLoader loader{tree, inet, state};
    int badEntries = 0;
    bool run(const QString &url)
    {
        return loader.LoadCatalogue(url, [this] { ++badEntries; });
    }
};

} // namespace

class tst_CatalogueLoad : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fullLoad();
    void groupExpansionFollowsTheFirstItem();
    void failingFetches();
    void notACatalogue();
    void tempFileLocation();
    void inetFailuresAndCancel();
    void decoding_data();
    void decoding();

private:
    HttpServer m_server;
};

void tst_CatalogueLoad::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_server.start());
}

void tst_CatalogueLoad::fullLoad()
{
    m_server.addFile("/p1.html", "<a href=\"x1.MP3\">One &amp; only</a><a href=\"skip.txt\">no</a>"
                                 "<A HREF=\"x2.mp3\">Two    2</A>");
    m_server.addFile("/p2.html", "<a href=\"y1.mp3\">Y</a>");
    m_server.addFile("/p3.html", "<a href=\"z.mp3?a=1&amp;b=2\">Z</a>");
    const QString list = m_server.url("/p1.html") + "::=.mp3::=A\r\n"
        + "\r\n"
        + "bad line\r\n"
        + m_server.url("/p2.html") + "::=.mp3::=B::=more\r\n"
        + "::=.mp3::=C\r\n"
        + m_server.url("/p3.html") + "::=.mp3::=A\r\n";
    m_server.addFile("/list.txt", list.toUtf8());

    Load l;
    QVERIFY(l.run(m_server.url("/list.txt")));
    QCOMPARE(l.badEntries, 2);

    // root, A, two items of p1, B with one item, then p3's item under A
    QCOMPARE(FormatTree(l.tree),
             QStringLiteral("Quillon\t\n"
                            "  A\t\n"
                            "    One & only\tx1.MP3\n"
                            "    Two2\tx2.mp3\n"
                            "    Z\tz.mp3?a=1&amp;b=2\n"
                            "  B::=more\t\n"
                            "    Y\ty1.mp3\n"));
    // keys and images in insertion order; items are numbered from 2 and
    // their keys carry two spaces
    QStringList keys;
    for (qsizetype i = 1; i <= l.tree.nodeCount(); ++i)
        keys << l.tree.key(i) + '/' + QString::number(l.tree.image(i)) + (l.tree.isExpanded(i) ? "+" : "");
    QCOMPARE(keys, (QStringList{"Node 1/1+", "Node A/2+", "Node  2/1", "Node  3/1", "Node B::=more/2", "Node  4/1",
                                "Node  5/1"}));
    QCOMPARE(l.state.intNodeCount, 5);
    QVERIFY(!QFile::exists(TempListPath()));

    // a second load rebuilds the tree from scratch
    QVERIFY(l.run(m_server.url("/list.txt")));
    QCOMPARE(l.tree.nodeCount(), 7);
    QCOMPARE(l.tree.key(7), QStringLiteral("Node  5"));
}

void tst_CatalogueLoad::groupExpansionFollowsTheFirstItem()
{
    // The first page cannot be fetched: no item exists when the second group
    // is made, so it is expanded too; the third comes after an item.
    m_server.addFile("/e2.html", "<a href=\"e.mp3\">E</a>");
    const QString list = m_server.url("/missing.html") + "::=.mp3::=G1\r\n" + m_server.url("/e2.html")
        + "::=.mp3::=G2\r\n" + m_server.url("/e2.html") + "::=.mp3::=G3\r\n";
    m_server.addFile("/elist.txt", list.toUtf8());
    Load l;
    QVERIFY(l.run(m_server.url("/elist.txt")));
    QCOMPARE(l.tree.text(2), QStringLiteral("G1"));
    QVERIFY(l.tree.isExpanded(2));
    QCOMPARE(l.tree.text(3), QStringLiteral("G2"));
    QVERIFY(l.tree.isExpanded(3));
    QCOMPARE(l.tree.text(5), QStringLiteral("G3"));
    QVERIFY(!l.tree.isExpanded(5));
}

void tst_CatalogueLoad::failingFetches()
{
    Load l;
    // unreachable list: a port nobody listens on
    HttpServer gone;
    QVERIFY(gone.start());
    const QString deadUrl = gone.url("/list.txt");
    gone.stop();
    QVERIFY(l.run(deadUrl));
    QCOMPARE(l.tree.nodeCount(), 1);
    QCOMPARE(l.badEntries, 0);

    // a list answered with 404: its error page is not read as a list
    QVERIFY(l.run(m_server.url("/no-such-list.txt")));
    QCOMPARE(l.tree.nodeCount(), 1);
    QCOMPARE(l.badEntries, 0);

    // an empty list
    m_server.addFile("/empty.txt", "");
    QVERIFY(l.run(m_server.url("/empty.txt")));
    QCOMPARE(l.tree.nodeCount(), 1);
    QVERIFY(!QFile::exists(TempListPath()));
}

void tst_CatalogueLoad::notACatalogue()
{
    m_server.addFile("/html.txt", "<html>\r\n<body>Moved</body>\r\n\r\n</html>\n\r\n");
    Load l;
    QVERIFY(l.run(m_server.url("/html.txt")));
    QCOMPARE(l.badEntries, 3);  // "</html>\n" is one line: a lone LF does not end it
    QCOMPARE(l.tree.nodeCount(), 1);
}

void tst_CatalogueLoad::tempFileLocation()
{
    const QString here = QCoreApplication::applicationDirPath();
    QCOMPARE(TempListPath(here), QDir(here).filePath("temp.dat"));
    // a program folder that cannot be written: the per-user cache folder
    const QString fallback = TempListPath("/nonexistent-folder/velmora");
    QCOMPARE(QFileInfo(fallback).fileName(), QStringLiteral("temp.dat"));
    QCOMPARE(QFileInfo(fallback).absolutePath(), QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
    QVERIFY(QFileInfo(QFileInfo(fallback).absolutePath()).isDir());
}

void tst_CatalogueLoad::inetFailuresAndCancel()
{
    Inet inet;
    m_server.addFile("/ok.txt", "body");
    QCOMPARE(inet.OpenURLBytes(m_server.url("/ok.txt")), QByteArray("body"));
    m_server.addRule({.path = "/err.txt", .status = 500, .body = "server error"});
    QVERIFY(inet.OpenURLBytes(m_server.url("/err.txt")).isEmpty());
    QVERIFY(inet.OpenURLBytes(QStringLiteral("not an address")).isEmpty());

    // a stalled fetch: Cancel makes the blocked call return empty; a second
    // call made meanwhile returns empty at once
    m_server.addRule({.path = "/stall.txt", .stall = true});
    QByteArray nested = "unset";
    bool wasExecuting = false;
    QTimer::singleShot(50, &inet, [&] {
        wasExecuting = inet.StillExecuting();
        nested = inet.OpenURLBytes(m_server.url("/ok.txt"));
        inet.Cancel();
    });
    QVERIFY(inet.OpenURLBytes(m_server.url("/stall.txt")).isEmpty());
    QVERIFY(wasExecuting);
    QVERIFY(nested.isEmpty());
    QVERIFY(!inet.StillExecuting());
    // and the component is usable again
    QCOMPARE(inet.OpenURLBytes(m_server.url("/ok.txt")), QByteArray("body"));
    m_server.clearRules();
}

void tst_CatalogueLoad::decoding_data()
{
    const QString chinese = QStringLiteral("星空回廊 第01话");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("text");
    QTest::newRow("charset header gbk") << Gbk(chinese) << QByteArray("text/html; charset=GBK") << chinese;
    QTest::newRow("quoted charset header") << Gbk(chinese) << QByteArray("text/html;charset=\"gb2312\"") << chinese;
    const QByteArray metaPage = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
                                "</head><body>" + Gbk(chinese) + "</body></html>";
    QTest::newRow("meta content charset") << metaPage << QByteArray("text/html") << QString::fromUtf8(metaPage.left(metaPage.indexOf("<body>") + 6)) + chinese + "</body></html>";
    const QByteArray meta5 = "<meta charset='gb18030'>" + Gbk(chinese);
    QTest::newRow("meta charset") << meta5 << QByteArray() << "<meta charset='gb18030'>" + chinese;
    QTest::newRow("header beats meta") << QByteArray("<meta charset=gbk>") + chinese.toUtf8()
                                       << QByteArray("text/html; charset=utf-8") << "<meta charset=gbk>" + chinese;
    QTest::newRow("valid utf-8 without declaration") << chinese.toUtf8() << QByteArray() << chinese;
    QTest::newRow("otherwise the Chinese code page") << Gbk(chinese) << QByteArray("text/plain") << chinese;
    QTest::newRow("unknown charset falls through") << chinese.toUtf8() << QByteArray("text/html; charset=x-nonsense") << chinese;
}

void tst_CatalogueLoad::decoding()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, text);
    QCOMPARE(DecodeFetchedText(body, contentType), text);
}

QTEST_GUILESS_MAIN(tst_CatalogueLoad)
#include "tst_catalogueload.moc"
