// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Loading a catalogue headless: list fetch, temporary file, page scan into
// a tree, pages fetched side by side, fetch failures and limits; velmora-scan
// run as a child process against the demo site. Cancelling a load is the
// main window's test.
#include "catalogue/core/catalogueload.h"
#include "catalogue/core/inet.h"
#include "catalogue/core/listformat.h"
#include "catalogue/core/pagescan.h"
#include "catalogue/core/search.h"
#include "catalogue/ui/frmmain.h"
#include "common/core/globals.h"
#include "demo.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QProcess>
#include <QtTest>


using namespace velmora;
using velmora::httpd::HttpServer;

namespace {

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

// Runs the event loop (the fetches run in it) until the server has logged
// count requests; false when they do not come within a test's patience.
bool Arrived(const HttpServer &server, qsizetype count)
{
    return QTest::qWaitFor([&] { return server.requests().size() >= count; }, 5000);
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

// velmora-scan's exit code, output and errors for one list.
struct ScanRun
{
    int code = -1;
    QString out, err;
};

ScanRun RunScan(const QString &url)
{
    QProcess p;
    p.start(testing::BinDir() + "/velmora-scan", {url});
    ScanRun run;
    if (p.waitForFinished(60000))
        run.code = p.exitCode();
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

} // namespace

class tst_CatalogueLoad : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        QVERIFY(m_local.isValid());
        QVERIFY(testing::WriteFile(m_local.filePath("secret.html"), "<a href=\"leak.mp3\">secret</a>"));
        m_secret = QUrl::fromLocalFile(m_local.filePath("secret.html")).toString();
        m_server.addFile("/y.html", "<a href=\"y1.mp3\">Y</a>");
        m_server.addFile("/y.txt", (m_server.url("/y.html") + "::=.mp3::=B\r\n").toUtf8());
        demo::InstallDemoSite(m_server);
        demo::InstallDemoSearch(m_server);
        qputenv("VELMORA_CATALOGUE_SERVER", m_server.hostPort().toUtf8());
    }

    void cleanup()
    {
        m_server.clearRules();
        m_server.clearRequests();
        QVERIFY(NoLoadFolderLeft());
    }

    // A group made before any item exists is expanded like the first one.
    void fullLoad()
    {
        m_server.addFile("/p1.html", "<a href=\"x1.mp3\">One</a><a href=\"skip.txt\">no</a>");
        m_server.addFile("/p3.html", "<a href=\"z.mp3\">Z</a>");
        const QString list = m_server.url("/missing.html") + "::=.mp3::=G\r\n" + m_server.url("/p1.html") + "::=.mp3::=A\r\n"
            + "\r\n" + "bad line\r\n" + m_server.url("/y.html") + "::=.mp3::=B\r\n" + "::=.mp3::=C\r\n"
            + m_server.url("/p3.html") + "::=.mp3::=A\r\n";
        m_server.addFile("/list.txt", list.toUtf8());

        Load l;
        QVERIFY(l.run(m_server.url("/list.txt")));
        QCOMPARE(l.badEntries, 2);
        // p3's item joins the group A made before
        QCOMPARE(FormatTree(l.tree), QStringLiteral("Quillon\t\n"
                                                    "  G\t\n"
                                                    "  A\t\n"
                                                    "    One\tx1.mp3\n"
                                                    "    Z\tz.mp3\n"
                                                    "  B\t\n"
                                                    "    Y\ty1.mp3\n"));
        // items are numbered from 2 and their keys carry two spaces
        QCOMPARE(Shape(l.tree), (QStringList{"Node 1/1+", "Node G/2+", "Node A/2+", "Node  2/1", "Node B/2",
                                             "Node  3/1", "Node  4/1"}));
        QCOMPARE(l.state.intNodeCount, 4);

        // a second load rebuilds the tree from scratch
        QVERIFY(l.run(m_server.url("/list.txt")));
        QCOMPARE(l.tree.nodeCount(), 7);
        QCOMPARE(l.tree.key(7), QStringLiteral("Node  4"));
    }

    // Only http and https are fetched, also after a redirect: the other
    // entries are empty groups and nothing local is read.
    void failingFetches()
    {
        Load l;
        m_server.addRule({.path = "/to-page", .status = 302, .location = m_server.url("/y.html").toUtf8()});
        m_server.addRule({.path = "/to-file", .status = 302, .location = m_secret.toUtf8()});
        const QString list = m_secret + "::=.mp3::=F\r\n" + "data:text/html,%3Ca%20href=%22d.mp3%22%3Ed%3C/a%3E::=.mp3::=D\r\n"
            + "ftp://127.0.0.1/x.html::=.mp3::=P\r\n" + m_server.url("/to-page") + "::=.mp3::=R\r\n" + m_server.url("/to-file")
            + "::=.mp3::=L\r\n";
        m_server.addFile("/schemes.txt", list.toUtf8());
        QVERIFY(l.run(m_server.url("/schemes.txt")));
        QCOMPARE(FormatTree(l.tree), QStringLiteral("Quillon\t\n  F\t\n  D\t\n  P\t\n  R\t\n    Y\ty1.mp3\n  L\t\n"));
    }

    // The list's copy goes to the user's own cache folder, never beside the
    // program; where no cache folder can be made, the list is still read.
    void tempFileLocation()
    {
        const QString expected = QStringLiteral("Quillon\t\n  B\t\n    Y\ty1.mp3\n");
        const auto everything = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;

        QCOMPARE(TempListFolder(), m_user.cache());
        QVERIFY(QDir(m_user.cache()).removeRecursively());
        Load fresh;
        QVERIFY(fresh.run(m_server.url("/y.txt")));
        QCOMPARE(FormatTree(fresh.tree), expected);
        QCOMPARE(QDir(m_user.cache()).entryList(everything), QStringList());
        QCOMPARE(int(QFileInfo(m_user.cache()).permissions() & 0x0077), 0);
        QCOMPARE(QDir(QCoreApplication::applicationDirPath()).entryList({kLoadFolderPrefix + "*"}, everything), QStringList());

        QVERIFY(QDir(m_user.cache()).removeRecursively());
        QVERIFY(testing::WriteFile(m_user.cache(), {}));  // a file where the folder would go
        Load blocked;
        QVERIFY(blocked.run(m_server.url("/y.txt")));
        QCOMPARE(FormatTree(blocked.tree), expected);
        QVERIFY(QFile::remove(m_user.cache()));
    }

    // Pages answering out of order (one never) give the one-at-a-time load's
    // tree, numbers, expanded groups and bad-entry messages in their places.
    void sideBySideGivesTheSequentialTree()
    {
        QString list = "bad first\r\n";
        for (int i = 0; i < 10; ++i) {
            const QString path = QStringLiteral("/side/p%1.html").arg(i);
            QByteArray page;
            for (int k = 0; k <= i % 3; ++k)
                page += QStringLiteral("<a href=\"s%1-%2.mp3\">曲 %1-%2</a>").arg(i).arg(k).toUtf8();
            m_server.addFile(path, page);
            m_server.addRule({.path = path, .delayMs = 20 * (10 - i)});
            list += m_server.url(path) + QStringLiteral("::=.mp3::=G%1\r\n").arg(i % 4);  // categories repeat
            if (i == 3)
                list += "no separator\r\n\r\n";
            if (i == 5)
                list += "http://" + testing::DeadHostPort() + "/dead.html::=.mp3::=Dead\r\n";
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
            // before any page is scanned: the list and as many pages as one server is asked for at once
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
    }

    // A second load (another window) while the first waits for its pages.
    void twoLoadsAtOnce()
    {
        for (const char *name : {"one", "two"}) {
            const QString path = QStringLiteral("/two/%1.html").arg(name);
            m_server.addFile(path, QStringLiteral("<a href=\"%1.mp3\">%1</a>").arg(name).toUtf8());
            m_server.addRule({.path = path, .delayMs = 50});
            m_server.addFile(QStringLiteral("/two/%1.txt").arg(name), ("bad\r\n" + m_server.url(path) + "::=.mp3::=" + name + "\r\n").toUtf8());
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
    }

    // Six fetches at once to one server, sixteen in all; the others wait in
    // line, in the order started. Cancel drops the waiting ones too, and the
    // component fetches again after it.
    void inetLimits()
    {
        HttpServer servers[5];
        for (HttpServer &server : servers) {
            QVERIFY(server.start());
            server.addRule({.path = "*", .stall = true});
        }
        Inet inet;
        for (int i = 0; i < kFetchesPerHost + 2; ++i)
            inet.Start(servers[0].url(QStringLiteral("/a%1").arg(i)));
        QVERIFY(Arrived(servers[0], kFetchesPerHost));
        // a fetch to another server started after the waiting ones goes first
        inet.Start(servers[1].url(QStringLiteral("/later")));
        QVERIFY(Arrived(servers[1], 1));
        QCOMPARE(servers[0].requests().size(), kFetchesPerHost);
        inet.Cancel();
        QVERIFY(!inet.StillExecuting());
        for (int s = 0; s < 2; ++s) {
            QVERIFY(servers[s].waitForNoOpenRequests(5000));
            servers[s].clearRequests();
        }

        // four to each of five servers: the first four servers fill the sixteen
        QList<Inet::Ticket> tickets;
        for (int s = 0; s < 5; ++s)
            for (int i = 0; i < 4; ++i)
                tickets << inet.Start(servers[s].url(QStringLiteral("/b%1").arg(i)));
        for (int s = 0; s < 4; ++s)
            QVERIFY(Arrived(servers[s], 4));
        QVERIFY(servers[4].requests().isEmpty());
        QVERIFY(servers[0].requestsFor("/a6").isEmpty());
        inet.Drop(tickets.first());  // a free connection: the next in line goes
        QVERIFY(Arrived(servers[4], 1));
        inet.Cancel();
        for (HttpServer &server : servers)
            QVERIFY(server.waitForNoOpenRequests(5000));
    }

    // A body is read up to 64 MiB; the rest is not fetched.
    void inetCutsAt64MiB()
    {
        const qint64 size = kMaxFetchBytes + 32 * 1024 * 1024;
        m_server.addGeneratedFile("/big.bin", size);
        Inet inet;
        const FetchResult r = inet.Fetch(m_server.url("/big.bin"));
        QCOMPARE(r.status, FetchStatus::Cut);
        QCOMPARE(r.body.size(), kMaxFetchBytes);
        QCOMPARE(testing::Sha256(r.body), HttpServer::GeneratedSha256(kMaxFetchBytes));
        QVERIFY(r.body.capacity() <= kMaxFetchBytes);  // its answer's true length gave it no more room
        QVERIFY(m_server.waitForNoOpenRequests(5000));
        QVERIFY(m_server.requestsFor("/big.bin").first().bodyBytesSent < size);
    }

    // A body gets its room at once from the length its answer names, but a
    // server's word never makes us hold more than is read of a body, and a
    // body shorter than it said gives the rest of that room back.
    void inetBodyRoom_data()
    {
        QTest::addColumn<qint64>("claimed");
        QTest::addColumn<qint64>("size");
        QTest::newRow("a terabyte claimed, 10 KiB sent") << (qint64(1) << 40) << qint64(10 * 1024);
        QTest::newRow("more than is read claimed, nothing sent") << kMaxFetchBytes + 1 << qint64(0);
        QTest::newRow("64 MiB claimed, 3 MiB sent") << kMaxFetchBytes << qint64(3 << 20);
        QTest::newRow("the length it sends") << qint64(1 << 20) << qint64(1 << 20);
    }

    void inetBodyRoom()
    {
        QFETCH(qint64, claimed);
        QFETCH(qint64, size);
        // A chunked answer is framed by its chunks: its Content-Length says nothing.
        m_server.addGeneratedFile("/claims.bin", size);
        m_server.addRule({.path = "/claims.bin",
                          .extraHeaders = "Content-Length: " + QByteArray::number(claimed) + "\r\n",
                          .chunked = true});
        Inet inet;
        const FetchResult r = inet.Fetch(m_server.url("/claims.bin"));
        QCOMPARE(r.status, FetchStatus::Ok);
        QCOMPARE(r.body.size(), size);
        QCOMPARE(testing::Sha256(r.body), HttpServer::GeneratedSha256(size));
        QVERIFY2(r.body.capacity() <= qMax(2 * size, qint64(4096)), QByteArray::number(r.body.capacity()));
    }

    void scanPrintsTheWindowsTree_data()
    {
        QTest::addColumn<bool>("anime");
        QTest::newRow("anime") << true;
        QTest::newRow("music") << false;
    }

    // The demo site's pages come in several encodings.
    void scanPrintsTheWindowsTree()
    {
        QFETCH(bool, anime);
        ResetGlobals();
        blnAnimeMode = anime;
        frmMain w;
        testing::MessageBoxAnswerer answerer(QMessageBox::Ok);
        w.cmdLoad_Click();
        QVERIFY(answerer.texts.isEmpty());

        const ScanRun scan = RunScan(strListURL);
        QCOMPARE(scan.code, 0);
        QCOMPARE(scan.out, FormatTree(w.tree()));
        QVERIFY(scan.out.count(QLatin1Char('\n')) > 10);
    }

    // Bad entries come before the tree; a page that brings no answer is told
    // on standard error.
    void scanOutput()
    {
        const QString dead = "http://" + testing::DeadHostPort() + "/dead.html";
        const QString list = "bad one\r\n" + m_server.url("/music/singles.html") + "::=.mp3::=单曲\r\n" + "::=x::=y\r\n\r\n"
            + m_server.url("/music/ost.html") + "::=.mp3::=原声\r\n" + dead + "::=.mp3::=End\r\n";
        m_server.addFile("/scan/list.txt", list.toUtf8());
        const ScanRun run = RunScan(m_server.url("/scan/list.txt"));
        QCOMPARE(run.code, 0);
        const QStringList lines = run.out.split(QLatin1Char('\n'));
        QCOMPARE(lines.mid(0, 4), (QStringList{"读取曲目列表时发生错误.", "读取曲目列表时发生错误.", "Quillon\t", "  单曲\t"}));
        QVERIFY(lines.contains(QStringLiteral("  原声\t")));
        QCOMPARE(lines.last(), QString());  // the output ends with a line break
        QVERIFY2(run.err.startsWith("velmora-scan: " + dead + ": no answer"), qPrintable(run.err));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);

        // a list answered with the server's one-line error page is one bad
        // entry; an unreachable list leaves the root alone
        const std::pair<QString, QString> lists[] = {
            {m_server.url("/scan/missing.txt"), kBadEntryText + QStringLiteral("\nQuillon\t\n")},
            {"http://" + testing::DeadHostPort() + "/list.txt", QStringLiteral("Quillon\t\n")}};
        for (const auto &[url, out] : lists) {
            const ScanRun scan = RunScan(url);
            QCOMPARE(scan.out, out);
            QCOMPARE(scan.code, 0);
        }
    }

    // The demo search service echoes the words escaped, never as markup, in
    // tracks on its own server that the program's page scan finds.
    void demoSearchAnswersWithTracks()
    {
        const QString words = QStringLiteral(" <b>Tom & Jerry</b> 主题曲 ");
        Inet inet;
        const FetchResult result = inet.Fetch(BuildSearchAddress(m_server.hostPort(), words));
        const QString page = QString::fromUtf8(result.body);
        QVERIFY2(page.contains(QStringLiteral("<font color=#e10900> &lt;b&gt;Tom &amp; Jerry&lt;/b&gt; 主题曲 </font>")),
                 qPrintable(page));
        QVERIFY(!page.contains(QStringLiteral("<b>Tom")));

        QStringList tracks;
        ScanPage(page, u".mp3", [&](const QString &address, const QString &text) {
            tracks << address;
            return text.startsWith(words) && address.startsWith("http://" + m_server.hostPort() + '/');
        });
        QCOMPARE(tracks.size(), 4);
    }

private:
    testing::TemporaryUserFolders m_user;  // the loads' folders go to its cache
    HttpServer m_server;
    QTemporaryDir m_local;
    QString m_secret;  // a local page no fetch may read
};

QTEST_MAIN(tst_CatalogueLoad)
#include "tst_catalogueload.moc"
