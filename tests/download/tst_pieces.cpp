// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One body over several connections, against the loopback test server: the
// bytes handed on are the file's, in order, whatever the piece answers say;
// a server that changes the file, lies about a piece or wants fewer
// connections ends with a true start of one version or with the whole file,
// never with two versions joined. Connections are counted by the server.
#include "net/piecestream.h"
#include "net/rategate.h"
#include "net/transfer.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

using namespace velmora;
using velmora::httpd::HttpServer;
using velmora::httpd::Rule;
using velmora::net::PieceStream;
using velmora::net::Transfer;
using velmora::testing::Sha256;

namespace {

constexpr qint64 kMiB = 1024 * 1024;

QByteArray RandomBytes(qint64 size, quint32 seed)
{
    QByteArray data(qsizetype(size), Qt::Uninitialized);
    QRandomGenerator gen(seed);
    gen.fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
    return data;
}

bool WaitFor(Transfer &t, const std::function<bool()> &done)
{
    QSignalSpy woke(&t, &Transfer::wake);
    while (!done())
        if (!woke.wait(20000))
            return false;
    return true;
}

// What a download of bytes from..end brings, taken 4096 bytes at a time as
// the engine takes them; the most piece connections seen at once.
struct Received
{
    QByteArray body;
    bool complete = false;
    bool timedOut = false;
    int mostPieceConnections = 0;
};

Received Fetch(const QString &url, int connections, qint64 from = 0, qint64 rate = 0)
{
    Received r;
    Transfer t;
    net::NetSettings settings;
    settings.connections = connections;
    settings.maxBytesPerSecond = rate;
    t.setSettings(settings);
    if (!t.execute(url, "bytes=" + QByteArray::number(from) + '-', false)
        || !WaitFor(t, [&] { return !t.stillExecuting(); })) {
        r.timedOut = true;
        return r;
    }
    for (;;) {
        if (!WaitFor(t, [&] { return t.chunkReady(4096); })) {
            r.timedOut = true;
            return r;
        }
        r.mostPieceConnections = std::max(r.mostPieceConnections, t.pieceConnections());
        const QByteArray chunk = t.getChunk(4096);
        r.body += chunk;
        if (chunk.isEmpty() && t.bodyEnded())
            break;
    }
    r.complete = t.complete();
    return r;
}

} // namespace

class tst_Pieces : public QObject
{
    Q_OBJECT

private:
    HttpServer server;
    const QByteArray file = RandomBytes(8 * kMiB + 12345, 7);
    const QByteArray other = RandomBytes(8 * kMiB + 12345, 8);  // the same file, changed

    qsizetype pieceRequests() const
    {
        const auto log = server.requestsFor(QStringLiteral("/f.bin"));
        return std::count_if(log.begin(), log.end(), [](const auto &e) { return !e.request.range.endsWith('-'); });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server.start());
        server.addFile(QStringLiteral("/v2.bin"), other);
    }

    void init()
    {
        server.clearRules();
        server.setDefaultRate(0);
        server.addFile(QStringLiteral("/f.bin"), file);
        server.clearRequests();
    }

    // When more connections are taken, and that the bytes stay the file's.
    void wholeFileInOrder_data()
    {
        QTest::addColumn<int>("connections");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<Rule>("rule");
        QTest::addColumn<bool>("pieces");
        const Rule none;
        const QString path = QStringLiteral("/f.bin");
        QTest::newRow("four connections") << 4 << qint64(0) << none << true;
        QTest::newRow("sixteen connections") << 16 << qint64(0) << none << true;
        QTest::newRow("resumed in the middle") << 4 << qint64(1500001) << none << true;
        QTest::newRow("one connection is one request") << 1 << qint64(0) << none << false;
        QTest::newRow("rest too short") << 4 << qint64(5 * kMiB) << none << false;
        QTest::newRow("no validator") << 4 << qint64(0) << Rule{.path = path, .noValidator = true} << false;
        QTest::newRow("weak ETag only")
            << 4 << qint64(0) << Rule{.path = path, .extraHeaders = "ETag: W/\"w1\"\r\n", .noValidator = true} << false;
        QTest::newRow("Last-Modified only")
            << 4 << qint64(0)
            << Rule{.path = path, .extraHeaders = "Last-Modified: Tue, 01 Dec 2026 10:00:00 GMT\r\n", .noValidator = true}
            << true;
    }
    void wholeFileInOrder()
    {
        QFETCH(int, connections);
        QFETCH(qint64, from);
        QFETCH(Rule, rule);
        QFETCH(bool, pieces);
        if (!rule.path.isEmpty())
            server.addRule(rule);
        // Each connection paced, as a file host paces them: the pieces overlap in time.
        server.setDefaultRate(2 * kMiB);
        const Received r = Fetch(server.url(QStringLiteral("/f.bin")), connections, from);
        QVERIFY(!r.timedOut);
        QVERIFY(r.complete);
        QCOMPARE(Sha256(r.body), Sha256(file.mid(from)));
        QVERIFY(server.waitForNoOpenRequests(5000));
        QCOMPARE(pieceRequests() > 0, pieces);
        QVERIFY(server.peakConnections() <= connections);
        if (pieces) {
            QVERIFY(server.peakConnections() >= 2);
            // Nothing fetched twice but a slow piece's rest.
            qint64 sent = 0;
            for (const auto &e : server.requestsFor(QStringLiteral("/f.bin")))
                sent += e.bodyBytesSent;
            QVERIFY(sent <= qint64((file.size() - from) * 1.25));
        } else {
            QCOMPARE(server.peakConnections(), 1);
        }
    }

    // A server that does not hold each connection back: one connection
    // brings it all, more would only cost.
    void fastServerKeepsOneConnection()
    {
        const QByteArray big = RandomBytes(Transfer::kFastAlone + 6 * kMiB, 9);
        server.addFile(QStringLiteral("/big.bin"), big);
        const Received r = Fetch(server.url(QStringLiteral("/big.bin")), 4);
        QVERIFY(!r.timedOut);
        QVERIFY(r.complete);
        QCOMPARE(Sha256(r.body), Sha256(big));
        // Unless the machine is so slow that the first bytes took longer than the pace is measured for.
        const auto log = server.requestsFor(QStringLiteral("/big.bin"));
        if (log.size() > 1)
            QSKIP("the first bytes came slower than a fast link brings them");
        QCOMPARE(server.peakConnections(), 1);
    }

    // Piece answers that are no use: the piece is asked for again, the file comes whole.
    void badPieceAnswersAreRetried_data()
    {
        QTest::addColumn<Rule>("rule");
        const QString path = QStringLiteral("/f.bin");
        const auto piece = Rule::When::ClosedRange;
        QTest::newRow("200 and the whole file") << Rule{.path = path, .when = piece, .count = 2, .ignoreRange = true};
        QTest::newRow("another range") << Rule{.path = path, .when = piece, .count = 2, .rangeShift = 4096};
        QTest::newRow("cut short") << Rule{.path = path, .when = piece, .count = 2, .dropAfter = 70000};
        QTest::newRow("body longer than the range") << Rule{.path = path, .when = piece, .count = 2, .extraBytes = 10};
        QTest::newRow("closed before an answer") << Rule{.path = path, .when = piece, .count = 2, .closeWithoutAnswer = true};
        QTest::newRow("404 for a piece") << Rule{.path = path, .when = piece, .count = 2, .status = 404};
        QTest::newRow("503 beyond two connections")
            << Rule{.path = path, .when = piece, .status = 503, .extraHeaders = "Retry-After: 1\r\n", .beyondConnections = 2};
        QTest::newRow("429 beyond two connections")
            << Rule{.path = path, .when = piece, .status = 429, .beyondConnections = 2};
    }
    void badPieceAnswersAreRetried()
    {
        QFETCH(Rule, rule);
        server.addRule(rule);
        server.setDefaultRate(2 * kMiB);
        const Received r = Fetch(server.url(QStringLiteral("/f.bin")), 4);
        QVERIFY(!r.timedOut);
        QVERIFY(r.complete);
        QCOMPARE(Sha256(r.body), Sha256(file));
        if (rule.beyondConnections) {
            // The busy answers are few: the resting connections do not ask in a loop.
            const auto log = server.requestsFor(QStringLiteral("/f.bin"));
            const auto busy = std::count_if(log.begin(), log.end(), [&](const auto &e) { return e.status == rule.status; });
            QVERIFY2(busy <= 3 * (PieceStream::kBusyTries + 1), qPrintable(QString::number(busy)));
        }
    }

    // The remote file changes while its pieces come, or a piece never comes
    // right: what is handed on is a true start of the first version, and it
    // is not called complete.
    void neverTwoVersions_data()
    {
        QTest::addColumn<Rule>("rule");
        const QString path = QStringLiteral("/f.bin");
        const auto piece = Rule::When::ClosedRange;
        QTest::newRow("changed, If-Range honoured") << Rule{.path = path, .when = piece, .servePath = QStringLiteral("/v2.bin")};
        QTest::newRow("changed, If-Range ignored")
            << Rule{.path = path, .when = piece, .servePath = QStringLiteral("/v2.bin"), .ignoreIfRange = true};
        QTest::newRow("changed, Last-Modified only")
            << Rule{.path = path, .when = piece,
                    .extraHeaders = "Last-Modified: Wed, 02 Dec 2026 10:00:00 GMT\r\n", .noValidator = true,
                    .servePath = QStringLiteral("/v2.bin"), .ignoreIfRange = true};
        QTest::newRow("every piece from another range") << Rule{.path = path, .when = piece, .rangeShift = 1};
    }
    void neverTwoVersions()
    {
        QFETCH(Rule, rule);
        if (rule.noValidator) {
            // The first answer names its version by date alone, as the changed one does.
            server.addRule({.path = QStringLiteral("/f.bin"), .when = Rule::When::ClosedRange,
                            .extraHeaders = rule.extraHeaders, .noValidator = true,
                            .servePath = rule.servePath, .ignoreIfRange = true});
            server.addRule({.path = QStringLiteral("/f.bin"),
                            .extraHeaders = "Last-Modified: Tue, 01 Dec 2026 10:00:00 GMT\r\n", .noValidator = true});
        } else {
            server.addRule(rule);
        }
        server.setDefaultRate(2 * kMiB);
        const Received r = Fetch(server.url(QStringLiteral("/f.bin")), 4);
        QVERIFY(!r.timedOut);
        QVERIFY(!r.complete);
        QVERIFY(r.body.size() < file.size());
        QVERIFY(r.body.size() >= PieceStream::kPieceSize);  // the first pieces are the first answer's own
        QCOMPARE(Sha256(r.body), Sha256(file.left(r.body.size())));
        QVERIFY(server.waitForNoOpenRequests(5000));
    }

    // A piece at the front that crawls does not hold the file back: its rest
    // is asked for again on a free connection, and the first answer whole counts.
    void slowFrontPieceAskedAgain()
    {
        server.addRule({.path = QStringLiteral("/f.bin"), .when = Rule::When::ClosedRange, .count = 1, .rate = 20000});
        server.setDefaultRate(2 * kMiB);
        const Received r = Fetch(server.url(QStringLiteral("/f.bin")), 3);
        QVERIFY(!r.timedOut);
        QVERIFY(r.complete);
        QCOMPARE(Sha256(r.body), Sha256(file));
        // The crawling request asked for a whole piece; another asked for its rest.
        const auto log = server.requestsFor(QStringLiteral("/f.bin"));
        const bool restAsked = std::any_of(log.begin(), log.end(), [](const auto &e) {
            const QByteArray range = e.request.range;
            const qint64 from = range.mid(6, range.indexOf('-') - 6).toLongLong();
            return !range.endsWith('-') && from % PieceStream::kPieceSize != 0;
        });
        QVERIFY(restAsked);
    }

    // The limit over all pieces: requests wait their turn, so that what was
    // asked for by any moment is at most what the rate allows by then and
    // one piece besides; a pause saves up room for one piece, no more.
    // libcurl's limit alone lets a piece through whole.
    void rateGateSpreadsRequests()
    {
        const qint64 rate = 2 * kMiB;
        const qint64 piece = PieceStream::kPieceSize;
        net::RateGate gate(rate, piece);
        qint64 asked = 0;
        qint64 nowMs = 0;
        for (int i = 0; i < 40; ++i) {
            if (i == 20)
                nowMs += 10000;  // nothing asked for a while
            const qint64 wait = gate.waitMs(nowMs, piece);
            nowMs += wait;
            QCOMPARE(gate.waitMs(nowMs, piece), qint64(0));  // its turn has come
            gate.take(nowMs, piece);
            asked += piece;
            const qint64 pausedMs = i >= 20 ? 10000 : 0;
            QVERIFY(asked <= rate * (nowMs - pausedMs) / 1000 + 2 * piece);
            QVERIFY(i == 0 || i == 20 || wait > 0);  // one piece at most goes without waiting
        }
        QCOMPARE(nowMs, qint64(10000 + 38 * 500));
        QCOMPARE(net::RateGate(0, 0).waitMs(0, qint64(1) << 40), qint64(0));  // no limit
    }

    // A limit shared by all connections still brings the file whole.
    void limitedRate()
    {
        server.setDefaultRate(2 * kMiB);
        const Received r = Fetch(server.url(QStringLiteral("/f.bin")), 4, 0, 6 * kMiB);
        QVERIFY(!r.timedOut);
        QVERIFY(r.complete);
        QCOMPARE(Sha256(r.body), Sha256(file));
    }
};

QTEST_GUILESS_MAIN(tst_Pieces)
#include "tst_pieces.moc"
