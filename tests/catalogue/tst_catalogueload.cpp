// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Loading a catalogue headless: list fetch, temporary file, page scan into
// a tree, pages fetched side by side, fetch failures and limits, cancelling,
// and decoding of fetched text.
#include "catalogue/core/catalogueload.h"
#include "catalogue/core/inet.h"
#include "catalogue/core/textdecode.h"
#include "catalogue/core/listformat.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QtTest>

#include <memory>
#include <vector>

using namespace velmora;
using velmora::httpd::HttpServer;

namespace {

QByteArray Gbk(const QString &s)
{
    QStringEncoder enc("GB18030");
    return enc.encode(s);
}

// No load has left its folder (and its "temp.dat") behind.
bool NoLoadFolderLeft()
{
    return QDir(TempListFolder()).entryList({kLoadFolderPrefix + "*"}, QDir::AllEntries | QDir::Hidden).isEmpty();
}

// Each node's key, image and expanded state, in index order.
QStringList Shape(const CatalogueTree &tree)
{
    QStringList out;
    for (qsizetype i = 1; i <= tree.nodeCount(); ++i)
        out << tree.key(i) + '/' + QString::number(tree.image(i)) + (tree.isExpanded(i) ? "+" : "");
    return out;
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

namespace {

// Runs the event loop (the fetches run in it) until the server has logged
// count requests; false when they do not come within a test's patience.
bool Arrived(const HttpServer &server, qsizetype count)
{
    return QTest::qWaitFor([&] { return server.requests().size() >= count; }, 5000);
}

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
    void sideBySideGivesTheSequentialTree();
    void forcedQuitStopsEveryFetch();
    void twoLoadsAtOnce();
    void inetResults();
    void inetLimits();
    void inetCutsAt64MiB();
    void decoding_data();
    void decoding();

private:
    testing::TemporaryUserFolders m_user;  // the loads' folders go to its cache
    HttpServer m_server;
};

void tst_CatalogueLoad::initTestCase()
{
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
    QCOMPARE(Shape(l.tree), (QStringList{"Node 1/1+", "Node A/2+", "Node  2/1", "Node  3/1", "Node B::=more/2", "Node  4/1",
                                "Node  5/1"}));
    QCOMPARE(l.state.intNodeCount, 5);
    QVERIFY(NoLoadFolderLeft());

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

    // a list answered with 404: its error page is read as a list, each line
    // a bad entry with its message
    m_server.addRule({.path = "/no-such-list.txt", .status = 404,
                      .body = "<html><title>404</title>\r\n<h1>Not Found</h1>\r\n</html>\r\n"});
    QVERIFY(l.run(m_server.url("/no-such-list.txt")));
    QCOMPARE(l.tree.nodeCount(), 1);
    QCOMPARE(l.badEntries, 3);
    l.badEntries = 0;
    m_server.clearRules();

    // entries naming another scheme are fetches that fail: empty groups
    QTemporaryDir local;
    QFile secret(local.filePath("secret.html"));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("<a href=\"leak.mp3\">secret</a>");
    secret.close();
    const QString list = QUrl::fromLocalFile(secret.fileName()).toString() + "::=.mp3::=F\r\n"
        + "data:text/html,%3Ca%20href=%22d.mp3%22%3Ed%3C/a%3E::=.mp3::=D\r\n";
    m_server.addFile("/schemes.txt", list.toUtf8());
    QVERIFY(l.run(m_server.url("/schemes.txt")));
    QCOMPARE(FormatTree(l.tree), QStringLiteral("Quillon\t\n  F\t\n  D\t\n"));
    QCOMPARE(l.badEntries, 0);

    // an empty list
    m_server.addFile("/empty.txt", "");
    QVERIFY(l.run(m_server.url("/empty.txt")));
    QCOMPARE(l.tree.nodeCount(), 1);
    QVERIFY(NoLoadFolderLeft());
}

void tst_CatalogueLoad::notACatalogue()
{
    m_server.addFile("/html.txt", "<html>\r\n<body>Moved</body>\r\n\r\n</html>\n\r\n");
    Load l;
    QVERIFY(l.run(m_server.url("/html.txt")));
    QCOMPARE(l.badEntries, 3);  // "</html>\n" is one line: a lone LF does not end it
    QCOMPARE(l.tree.nodeCount(), 1);
}

// The list's copy goes to the user's cache folder, never beside the program,
// and nothing of the load stays there: not its folder, nor a folder of the
// program's own. Where no cache folder can be made, the list is still read.
void tst_CatalogueLoad::tempFileLocation()
{
    m_server.addFile("/t.html", "<a href=\"t.mp3\">T</a>");
    m_server.addFile("/t.txt", (m_server.url("/t.html") + "::=.mp3::=T\r\n").toUtf8());
    const QString expected = QStringLiteral("Quillon\t\n  T\t\n    T\tt.mp3\n");
    const auto everything = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;

    QCOMPARE(TempListFolder(), m_user.cache());
    QVERIFY(QDir(m_user.cache()).removeRecursively());
    Load fresh;
    QVERIFY(fresh.run(m_server.url("/t.txt")));
    QCOMPARE(FormatTree(fresh.tree), expected);
    QCOMPARE(QDir(m_user.cache()).entryList(everything), QStringList());
    QCOMPARE(int(QFileInfo(m_user.cache()).permissions() & 0x0077), 0);  // made for this user alone
    QCOMPARE(QDir(QCoreApplication::applicationDirPath()).entryList({kLoadFolderPrefix + "*"}, everything),
             QStringList());

    // A file stands where the cache folder would be.
    QVERIFY(QDir(m_user.cache()).removeRecursively());
    QFile blocker(m_user.cache());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Load blocked;
    QVERIFY(blocked.run(m_server.url("/t.txt")));
    QCOMPARE(FormatTree(blocked.tree), expected);
    QVERIFY(blocker.remove());
    m_server.clearRules();
}

// Pages answer in another order than the list's (later ones first, one
// never: a port nobody listens on). The tree, its item numbers, the expanded
// groups and the place of each bad-entry message are those of the
// one-at-a-time load through LoadTrackList.
void tst_CatalogueLoad::sideBySideGivesTheSequentialTree()
{
    HttpServer gone;
    QVERIFY(gone.start());
    const QString dead = gone.url("/dead.html");
    gone.stop();
    QString list = "bad first\r\n";
    for (int i = 0; i < 10; ++i) {
        const QString path = QStringLiteral("/side/p%1.html").arg(i);
        QByteArray page;
        for (int k = 0; k <= i % 3; ++k)
            page += QStringLiteral("<a href=\"s%1-%2.mp3\">曲 %1-%2</a>").arg(i).arg(k).toUtf8();
        m_server.addFile(path, page);
        m_server.addRule({.path = path, .delayMs = 20 * (10 - i)});  // the last answers first
        list += m_server.url(path) + QStringLiteral("::=.mp3::=G%1\r\n").arg(i % 4);  // categories repeat
        if (i == 3)
            list += "no separator\r\n\r\n";
        if (i == 5)
            list += dead + "::=.mp3::=Dead\r\n";
    }
    list += "::=.mp3::=no address\r\n";
    m_server.addFile("/side/list.txt", list.toUtf8());

    Load seq;
    QList<qsizetype> seqMessages;  // tree size when each message came
    seq.loader.InitNode();
    for (const QString &line : SplitListLines(list)) {
        ListEntry e;
        if (line.isEmpty())
            continue;
        if (CutListLine(line, e))
            seq.loader.LoadTrackList(e.URL, e.Key, e.Category);
        else
            seqMessages << seq.tree.nodeCount();
    }

    m_server.clearRequests();
    Load par;
    QList<qsizetype> parMessages;
    bool sixOnTheirWay = false;
    QVERIFY(par.loader.LoadCatalogue(m_server.url("/side/list.txt"), [&] {
        // at the first line, before any page is scanned: the list and as
        // many pages as one server is asked for at once
        if (parMessages.isEmpty())
            sixOnTheirWay = Arrived(m_server, 1 + kFetchesPerHost);
        parMessages << par.tree.nodeCount();
    }));
    QVERIFY(sixOnTheirWay);
    QCOMPARE(FormatTree(par.tree), FormatTree(seq.tree));
    QCOMPARE(Shape(par.tree), Shape(seq.tree));
    QCOMPARE(parMessages, seqMessages);
    QCOMPARE(parMessages.size(), 3);
    QVERIFY(par.tree.indexOfKey(GroupKey("Dead")) > 0);
    QVERIFY(NoLoadFolderLeft());
    m_server.clearRules();
}

// A forced quit while the pages are fetched: every fetch stops, nothing is
// added to the tree after it, no list file stays.
void tst_CatalogueLoad::forcedQuitStopsEveryFetch()
{
    QString list = "bad first\r\n";
    for (int i = 0; i < 8; ++i) {
        const QString path = QStringLiteral("/quit/p%1.html").arg(i);
        m_server.addFile(path, "<a href=\"q.mp3\">Q</a>");
        m_server.addRule({.path = path, .stall = true});
        list += m_server.url(path) + QStringLiteral("::=.mp3::=Q%1\r\n").arg(i);
    }
    m_server.addFile("/quit/list.txt", list.toUtf8());
    m_server.clearRequests();

    Load l;
    bool fetching = false;
    const bool finished = l.loader.LoadCatalogue(m_server.url("/quit/list.txt"), [&] {
        // runs once the scan waits for the first page, as the window's close does
        QTimer::singleShot(0, &l.inet, [&] {
            fetching = Arrived(m_server, 1 + kFetchesPerHost) && l.inet.StillExecuting();
            l.inet.Cancel();
            l.state.blnQuit = true;
        });
    });
    QVERIFY(!finished);
    QVERIFY(fetching);
    QVERIFY(!l.inet.StillExecuting());
    QVERIFY(m_server.waitForNoOpenRequests(5000));
    QCOMPARE(FormatTree(l.tree), QStringLiteral("Quillon\t\n  Q0\t\n"));
    QVERIFY(NoLoadFolderLeft());
    m_server.clearRules();
}

// A second load started while the first waits for its pages (two windows of
// one program): each gets its own tree.
void tst_CatalogueLoad::twoLoadsAtOnce()
{
    for (const char *name : {"one", "two"}) {
        const QString path = QStringLiteral("/two/%1.html").arg(name);
        m_server.addFile(path, QStringLiteral("<a href=\"%1.mp3\">%1</a>").arg(name).toUtf8());
        m_server.addRule({.path = path, .delayMs = 50});
        m_server.addFile(QStringLiteral("/two/%1.txt").arg(name),
                         ("bad\r\n" + m_server.url(path) + "::=.mp3::=" + name + "\r\n").toUtf8());
    }
    Load first, second;
    bool secondDone = false;
    QVERIFY(first.loader.LoadCatalogue(m_server.url("/two/one.txt"), [&] {
        QTimer::singleShot(0, &first.inet, [&] { secondDone = second.run(m_server.url("/two/two.txt")); });
    }));
    QVERIFY(secondDone);
    QCOMPARE(FormatTree(first.tree), QStringLiteral("Quillon\t\n  one\t\n    one\tone.mp3\n"));
    QCOMPARE(FormatTree(second.tree), QStringLiteral("Quillon\t\n  two\t\n    two\ttwo.mp3\n"));
    QCOMPARE(second.badEntries, 1);
    QVERIFY(NoLoadFolderLeft());
    m_server.clearRules();
}

void tst_CatalogueLoad::inetResults()
{
    Inet inet;
    m_server.addFile("/ok.txt", "body");
    FetchResult r = inet.Fetch(m_server.url("/ok.txt"));
    QCOMPARE(r.status, FetchStatus::Ok);
    QCOMPARE(r.httpStatus, 200);
    QCOMPARE(r.body, QByteArray("body"));

    // an error page is an answer: its body is the text
    m_server.addRule({.path = "/err.txt", .status = 500, .body = "server error"});
    r = inet.Fetch(m_server.url("/err.txt"));
    QCOMPARE(r.status, FetchStatus::ErrorAnswer);
    QCOMPARE(r.httpStatus, 500);
    QCOMPARE(r.text(), QStringLiteral("server error"));

    // no answer, or an address that is not fetched: no text
    HttpServer gone;
    QVERIFY(gone.start());
    const QString dead = gone.url("/x");
    gone.stop();
    QCOMPARE(inet.Fetch(dead).status, FetchStatus::Failed);
    QCOMPARE(inet.Fetch(QStringLiteral("not an address")).status, FetchStatus::Failed);
    QTemporaryDir local;
    QFile file(local.filePath("local.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("local") == 5);
    file.close();
    for (const QString &url : {QUrl::fromLocalFile(file.fileName()).toString(), QStringLiteral("data:text/plain,hello"),
                               QStringLiteral("ftp://127.0.0.1/x")}) {
        r = inet.Fetch(url);
        QCOMPARE(r.status, FetchStatus::Refused);
        QVERIFY(r.body.isEmpty() && r.text().isEmpty());
    }
    // a redirect is followed to http, not to a local file
    m_server.addRule({.path = "/to-ok", .status = 302, .location = m_server.url("/ok.txt").toUtf8()});
    QCOMPARE(inet.Fetch(m_server.url("/to-ok")).body, QByteArray("body"));
    m_server.addRule({.path = "/to-file", .status = 302, .location = QUrl::fromLocalFile(file.fileName()).toEncoded()});
    r = inet.Fetch(m_server.url("/to-file"));
    QCOMPARE(r.status, FetchStatus::Refused);
    QVERIFY(r.body.isEmpty());

    // a stalled fetch: another runs beside it, Cancel makes the blocked call
    // return Cancelled and leaves no request open
    m_server.addRule({.path = "/stall.txt", .stall = true});
    m_server.clearRequests();
    FetchResult beside;
    bool wasExecuting = false;
    QTimer::singleShot(0, &inet, [&] {
        wasExecuting = Arrived(m_server, 1) && inet.StillExecuting();
        beside = inet.Fetch(m_server.url("/ok.txt"));
        inet.Cancel();
    });
    QCOMPARE(inet.Fetch(m_server.url("/stall.txt")).status, FetchStatus::Cancelled);
    QVERIFY(wasExecuting);
    QCOMPARE(beside.body, QByteArray("body"));
    QVERIFY(!inet.StillExecuting());
    QVERIFY(m_server.waitForNoOpenRequests(5000));
    // and the component is usable again
    QCOMPARE(inet.OpenURL(m_server.url("/ok.txt")), QStringLiteral("body"));
    m_server.clearRules();
}

// Six fetches at once to one server, sixteen in all; the others wait in line.
void tst_CatalogueLoad::inetLimits()
{
    std::vector<std::unique_ptr<HttpServer>> servers;
    for (int s = 0; s < 5; ++s) {
        servers.push_back(std::make_unique<HttpServer>());
        QVERIFY(servers.back()->start());
        servers.back()->addRule({.path = "*", .stall = true});
    }
    Inet inet;
    for (int i = 0; i < kFetchesPerHost + 2; ++i)
        inet.Start(servers[0]->url(QStringLiteral("/a%1").arg(i)));
    QVERIFY(Arrived(*servers[0], kFetchesPerHost));
    // The others wait in line: a fetch to another server started after them goes first.
    inet.Start(servers[1]->url(QStringLiteral("/later")));
    QVERIFY(Arrived(*servers[1], 1));
    QCOMPARE(servers[0]->requests().size(), kFetchesPerHost);
    inet.Cancel();
    QVERIFY(!inet.StillExecuting());
    QVERIFY(servers[0]->waitForNoOpenRequests(5000));
    QVERIFY(servers[1]->waitForNoOpenRequests(5000));
    servers[0]->clearRequests();
    servers[1]->clearRequests();

    // four to each of five servers: the first four servers fill the sixteen
    QList<Inet::Ticket> tickets;
    for (int s = 0; s < 5; ++s)
        for (int i = 0; i < 4; ++i)
            tickets << inet.Start(servers[s]->url(QStringLiteral("/b%1").arg(i)));
    for (int s = 0; s < 4; ++s)
        QVERIFY(Arrived(*servers[s], 4));
    QVERIFY(servers[4]->requests().isEmpty());
    inet.Drop(tickets.first());  // a free connection: the next in line goes
    QVERIFY(Arrived(*servers[4], 1));
    inet.Cancel();
    for (auto &server : servers)
        QVERIFY(server->waitForNoOpenRequests(5000));
}

// A body is read up to 64 MiB; the rest is not fetched.
void tst_CatalogueLoad::inetCutsAt64MiB()
{
    const qint64 size = kMaxFetchBytes + 32 * 1024 * 1024;
    m_server.addGeneratedFile("/big.bin", size);
    m_server.clearRequests();
    Inet inet;
    const FetchResult r = inet.Fetch(m_server.url("/big.bin"));
    QCOMPARE(r.status, FetchStatus::Cut);
    QCOMPARE(r.body.size(), kMaxFetchBytes);
    QCOMPARE(testing::Sha256(r.body), HttpServer::GeneratedSha256(kMaxFetchBytes));
    QVERIFY(m_server.waitForNoOpenRequests(5000));
    QVERIFY(m_server.requestsFor("/big.bin").first().bodyBytesSent < size);
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
