// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The transfer's HTTP/1.1 against the loopback test server: the requests it
// sends, the body it holds back while unread, the redirects it follows and
// the credentials it gives. How the engine meets a faulty server is in tst_engine.
#include "common/core/version.h"
#include "net/bodybuffer.h"
#include "net/transfer.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>

using namespace velmora;
using velmora::net::Transfer;
using velmora::httpd::HttpServer;
using velmora::httpd::Rule;

namespace {

// Blocks on the transfer's wake() until done() holds; false after 20 s of nothing.
bool waitFor(Transfer &t, const std::function<bool()> &done)
{
    QSignalSpy woke(&t, &Transfer::wake);
    while (!done())
        if (!woke.wait(20000))
            return false;
    return true;
}

// Starts the request and waits until the transfer has its head or has ended.
bool runToHead(Transfer &t, const QString &url, const QByteArray &range = {}, bool lengthOnly = false,
               const QByteArray &ifRange = {})
{
    return t.execute(url, range, lengthOnly, ifRange) && waitFor(t, [&] { return !t.stillExecuting(); });
}

// The whole body, taken 4096 bytes at a time as the engine takes it; its sha256.
QByteArray bodySha256(Transfer &t)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (;;) {
        if (!waitFor(t, [&] { return t.chunkReady(4096); }))
            return "timed out";
        const QByteArray chunk = t.getChunk(4096);
        hash.addData(chunk);
        if (chunk.isEmpty() && t.bodyEnded())
            return hash.result().toHex();
    }
}

} // namespace

class tst_Transfer : public QObject
{
    Q_OBJECT

private:
    HttpServer server;

    // /hop0, /hop1, ... answered with these codes, each to the next (the
    // third by a relative address), the last to /end.bin.
    void addChain(const QList<int> &codes)
    {
        init();
        for (int i = 0; i < codes.size(); ++i) {
            const QString next = i + 1 < codes.size() ? QStringLiteral("/hop%1").arg(i + 1) : QStringLiteral("/end.bin");
            server.addRule({.path = QStringLiteral("/hop%1").arg(i), .status = codes[i],
                            .location = i == 2 ? next.toLatin1() : server.url(next).toLatin1(), .body = QByteArray(100, 'r'),
                            .extraHeaders = "X-Hop: " + QByteArray::number(i) + "\r\n"});
        }
    }

private slots:
    void initTestCase() { QVERIFY(server.start()); }
    void init()
    {
        server.clearRules();
        server.clearRequests();
    }

    void requestLines()
    {
        server.addGeneratedFile(QStringLiteral("/a b.bin"), 5000);
        Transfer t;
        QVERIFY(runToHead(t, server.url(QStringLiteral("/a b.bin?x=1")), "bytes=10-", false, "\"v1\""));
        QCOMPARE(server.requests().last().request.head,
                 "GET /a%20b.bin?x=1 HTTP/1.1\r\nHost: " + server.hostPort().toLatin1()
                     + "\r\nUser-Agent: Velmora/" + kVersion.toLatin1()
                     + "\r\nAccept: */*\r\nAccept-Encoding: identity\r\nRange: bytes=10-\r\n"
                       "If-Range: \"v1\"\r\n\r\n");
        // Another version than the server's: the whole file comes instead of the range.
        QVERIFY(t.headerText().startsWith(QStringLiteral("HTTP/1.1 200 OK\r\n")));
        QCOMPARE(bodySha256(t), HttpServer::GeneratedSha256(5000));

        // Addresses that cannot be asked for at all.
        QVERIFY(!t.execute(QStringLiteral("ftp://127.0.0.1/x"), QByteArray(), false));
        QVERIFY(!t.execute(QStringLiteral("/relative"), QByteArray(), false));
        QVERIFY(!t.execute(server.url(QStringLiteral("/x")), "bytes=0-\r\nX-Evil: 1", false));
    }

    void bodyHeldBackWhileUnread_data()
    {
        QTest::addColumn<bool>("chunked");
        QTest::newRow("Content-Length") << false;
        QTest::newRow("chunked") << true;
    }
    void bodyHeldBackWhileUnread()
    {
        // Nobody takes the body until the buffer is full: from then on the
        // server is held back, and everything still arrives intact.
        QFETCH(bool, chunked);
        const qint64 size = qint64(64) << 20;
        const QString path = QStringLiteral("/unread-%1.bin").arg(chunked);
        server.addGeneratedFile(path, size);
        server.addRule({.path = path, .chunked = chunked});
        Transfer t;
        QVERIFY(t.execute(server.url(path), QByteArray(), false));
        QVERIFY(waitFor(t, [&] { return t.bufferedBytes() >= Transfer::kBodyBuffer - Transfer::kCurlBuffer; }));
        QVERIFY2(t.bufferedBytes() <= 2 * Transfer::kBodyBuffer, QByteArray::number(t.bufferedBytes()));
        QVERIFY2(server.requests().last().bodyBytesSent < size / 2,
                 QByteArray::number(server.requests().last().bodyBytesSent));
        QCOMPARE(bodySha256(t), HttpServer::GeneratedSha256(size));
    }

    void ringKeepsTheStream_data()
    {
        QTest::addColumn<qint64>("writeSize");
        QTest::addColumn<qint64>("peekSize");
        // Sizes that do not divide the ring's, so that views cross its end at every offset.
        QTest::newRow("small writes, engine chunks") << qint64(1000) << qint64(4096);
        QTest::newRow("large writes, engine chunks") << qint64(7777) << qint64(4096);
        QTest::newRow("odd writes, odd reads") << qint64(333) << qint64(1031);
        QTest::newRow("reads larger than the ring") << qint64(5000) << qint64(20000);
    }
    void ringKeepsTheStream()
    {
        QFETCH(qint64, writeSize);
        QFETCH(qint64, peekSize);
        net::BodyBuffer ring(10000);
        const QByteArray stream = testing::GeneratedBytes(0, 300000);
        QByteArray out;
        qint64 written = 0;
        while (out.size() < stream.size()) {
            const qint64 n = qMin(writeSize, stream.size() - written);
            if (n > 0 && ring.room() >= n) {
                QVERIFY(ring.write(stream.constData() + written, n));
                written += n;
            }
            QVERIFY(!ring.write(stream.constData(), ring.room() + 1));  // never more than it holds
            const qint64 wanted = std::min({peekSize, ring.size(), net::BodyBuffer::kMaxPeek});
            const QByteArrayView view = ring.peek(peekSize);
            // Whole even where the bytes lie across the ring's end: a short view would read as the body's end.
            QCOMPARE(qint64(view.size()), wanted);
            const QByteArray copy = view.toByteArray();
            if (ring.room() > 0 && written < stream.size()) {
                // Later bytes arriving do not disturb a view not yet taken.
                const qint64 more = qMin(ring.room(), stream.size() - written);
                QVERIFY(ring.write(stream.constData() + written, more));
                written += more;
                QCOMPARE(view.toByteArray(), copy);
            }
            out += copy;
            ring.consume(view.size());
        }
        QCOMPARE(out, stream);
        QCOMPARE(ring.size(), qint64(0));
    }

    // A reader that keeps the block its bytes lie in (the disk's writer does)
    // finds them as they were while the stream runs on through the buffer
    // many times over.
    void sharedBlocksAreNotWrittenInto()
    {
        const qint64 capacity = 3 * net::BodyBuffer::kBlock;
        net::BodyBuffer ring(capacity);
        const QByteArray stream = testing::GeneratedBytes(0, 40 * net::BodyBuffer::kBlock + 777);
        struct Kept
        {
            net::SharedView view;
            QByteArray copy;
        };
        std::vector<Kept> kept;
        QByteArray out;
        qint64 written = 0;
        int taken = 0;
        while (out.size() < stream.size()) {
            const qint64 n = std::min({ring.room(), qint64(300001), stream.size() - written});
            QVERIFY(ring.write(stream.constData() + written, n));
            written += n;
            while (ring.size() > 0) {
                net::SharedView view = ring.peekShared(4096);
                out += view.bytes.toByteArray();
                // A chunk of most blocks is held on to, over many blocks, as a slow writer would.
                if (++taken % 200 == 0 && !view.owner.isNull())
                    kept.push_back(Kept{view, view.bytes.toByteArray()});
                if (kept.size() > 30)
                    kept.erase(kept.begin());
                ring.consume(view.bytes.size());
                for (const Kept &k : kept)
                    QVERIFY(k.view.bytes == QByteArrayView(k.copy));
            }
        }
        QCOMPARE(out, stream);
    }

    void redirectChains()
    {
        server.addGeneratedFile(QStringLiteral("/end.bin"), 20000);
        // 301, 302, 303, 307, 308, one of them relative; each hop's headers are its own.
        addChain({301, 302, 303, 307, 308});
        Transfer t;
        QVERIFY(runToHead(t, server.url(QStringLiteral("/hop0")), "bytes=0-"));
        QVERIFY(t.header("X-Hop").isEmpty() && t.header("Location").isEmpty());
        QCOMPARE(t.header("Content-Length"), QByteArray("20000"));
        QCOMPARE(bodySha256(t), HttpServer::GeneratedSha256(20000));
        QCOMPARE(server.requestsFor(QStringLiteral("/end.bin")).last().request.range, QByteArray("bytes=0-"));

        // Ten hops are followed; the eleventh answer is taken as it is.
        addChain(QList<int>(10, 302));
        QVERIFY(runToHead(t, server.url(QStringLiteral("/hop0")), {}, true));
        QCOMPARE(t.header("Content-Length"), QByteArray("20000"));
        addChain(QList<int>(11, 302));
        QVERIFY(runToHead(t, server.url(QStringLiteral("/hop0")), {}, true));
        QVERIFY(t.headerText().startsWith(QStringLiteral("HTTP/1.1 302 ")));
        QVERIFY(server.requestsFor(QStringLiteral("/end.bin")).isEmpty());
    }

    // Credentials answer their own server's 401, once, and go to no other
    // server a redirect names.
    void credentials()
    {
        const QByteArray challenge = "WWW-Authenticate: Basic realm=\"x\"\r\n";
        server.addGeneratedFile(QStringLiteral("/secret.bin"), 3000);
        server.addRule({.path = QStringLiteral("/secret.bin"), .count = 1, .status = 401, .extraHeaders = challenge});
        Transfer t;
        t.setCredentials(QStringLiteral("user"), QStringLiteral("pass"));
        QVERIFY(runToHead(t, server.url(QStringLiteral("/secret.bin"))));
        QCOMPARE(server.requests().size(), 2);
        QCOMPARE(server.requests().last().request.header("Authorization"), QByteArray("Basic dXNlcjpwYXNz"));
        QCOMPARE(bodySha256(t), HttpServer::GeneratedSha256(3000));

        server.clearRequests();
        server.addRule({.path = QStringLiteral("/refused.bin"), .status = 401, .extraHeaders = challenge});
        QVERIFY(runToHead(t, server.url(QStringLiteral("/refused.bin"))));
        QCOMPARE(t.status(), 401);
        QCOMPARE(server.requests().size(), 2);

        HttpServer other;
        QVERIFY(other.start());
        other.addRule({.path = QStringLiteral("/secret.bin"), .status = 401, .extraHeaders = challenge});
        server.addRule({.path = QStringLiteral("/away.bin"), .status = 301,
                        .location = other.url(QStringLiteral("/secret.bin")).toLatin1()});
        QVERIFY(runToHead(t, server.url(QStringLiteral("/away.bin"))));
        QCOMPARE(t.status(), 401);
        QCOMPARE(other.requests().size(), 1);
        QVERIFY(other.requests().first().request.header("Authorization").isEmpty());
    }

    void lengthRequestHangsUpEarly()
    {
        // The length request takes the headers and hangs up: the server gets
        // to send little of a large body.
        const qint64 size = qint64(256) << 20;
        server.addGeneratedFile(QStringLiteral("/large.bin"), size);
        Transfer t;
        QVERIFY(runToHead(t, server.url(QStringLiteral("/large.bin")), {}, true));
        QCOMPARE(t.header("Content-Length"), QByteArray::number(size));
        QVERIFY(t.bodyEnded());
        QVERIFY(server.waitForNoOpenRequests(10000));
        const auto log = server.requests().last();
        QVERIFY(!log.finished);
        QVERIFY2(log.bodyBytesSent < (qint64(8) << 20), QByteArray::number(log.bodyBytesSent));
    }
};

QTEST_GUILESS_MAIN(tst_Transfer)
#include "tst_transfer.moc"
