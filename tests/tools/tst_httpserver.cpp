// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The loopback server every other test relies on. What those tests drive
// and check through the program is not repeated here: only answers and log
// entries whose fault would let them pass for nothing, seen from the wire.
#include "httpserver.h"
#include "testsupport.h"

#include <QTcpSocket>
#include <QtTest>

using velmora::httpd::HttpServer;

namespace {

// Reads off the connection until done(what came) holds, the server closes,
// or nothing more comes.
template<typename Done>
QByteArray ReadUntil(QAbstractSocket &s, Done done)
{
    QByteArray got;
    while (!done(got) && s.waitForReadyRead(5000))
        got += s.readAll();
    return got + s.readAll();
}

// A connection to port on loopback with `request` sent.
void Send(QTcpSocket &s, quint16 port, const QByteArray &request)
{
    s.connectToHost(QHostAddress::LocalHost, port);
    if (s.waitForConnected(5000)) {
        s.write(request);
        s.waitForBytesWritten(5000);
    }
}

// One GET on a connection of its own; the whole answer, head and body.
QByteArray RawGet(const HttpServer &server, const QByteArray &target, const QByteArray &extra = {})
{
    QTcpSocket s;
    Send(s, server.port(), "GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + extra + "\r\n");
    return ReadUntil(s, [](const QByteArray &) { return false; });
}

// What follows the first head ("" while it is not whole).
QByteArray Body(const QByteArray &answer)
{
    const qsizetype end = answer.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : answer.mid(end + 4);
}

QByteArray Header(const QByteArray &answer, const QByteArray &name)
{
    for (const QByteArray &line : answer.left(answer.indexOf("\r\n\r\n")).split('\n'))
        if (line.toLower().startsWith(name.toLower() + ':'))
            return line.mid(name.size() + 1).trimmed();
    return {};
}

} // namespace

class TestHttpServer : public QObject
{
    Q_OBJECT
    HttpServer server;
    QByteArray data;

private slots:
    void initTestCase()
    {
        data = velmora::testing::GeneratedBytes(0, 10000);
        server.addFile(QStringLiteral("/f.bin"), data);
        server.addGeneratedFile(QStringLiteral("/gen.bin"), 300000);
        QVERIFY(server.start());
    }
    void init()
    {
        server.clearRules();
        server.clearRequests();
        server.setDefaultDelay(0);
    }

    // A client that gives up on a held answer leaves a closed, unfinished
    // request in the log: the tests that prove a connection was dropped read it.
    void abandonedRequestIsClosedInTheLog()
    {
        server.setDefaultDelay(60000);
        QTcpSocket s;
        Send(s, server.port(), "GET /gen.bin HTTP/1.1\r\nHost: x\r\n\r\n");
        QVERIFY(server.waitForRequestCount(1, 5000));
        QCOMPARE(server.openRequests(), 1);
        s.abort();
        QVERIFY(server.waitForNoOpenRequests(5000));
        const auto held = server.requests().first();
        QVERIFY(held.closed && !held.finished);
        QCOMPARE(held.status, 0);
    }

    // Hostile answers the network tests take for granted: interim answers
    // before the real one, 403 without a User-Agent, identity coding.
    void hostileAnswers()
    {
        server.addRule({.path = QStringLiteral("/f.bin"), .count = 1, .interimCount = 3, .interimStatus = 103});
        const QByteArray few = RawGet(server, "/f.bin");
        QCOMPARE(few.count("HTTP/1.1 103 Early Hints\r\nLink: "), 3);
        QCOMPARE(few.count("HTTP/1.1 200 OK\r\n"), 1);
        QVERIFY(few.endsWith(data));

        server.addRule({.path = QStringLiteral("/f.bin"), .requireUserAgent = true, .identityEncoding = true});
        QVERIFY(RawGet(server, "/f.bin").startsWith("HTTP/1.1 403 "));
        const QByteArray a = RawGet(server, "/f.bin", "User-Agent: Velmora/test\r\n");
        QVERIFY(a.startsWith("HTTP/1.1 200 "));
        QCOMPARE(Header(a, "Transfer-Encoding"), QByteArray("identity"));
        QCOMPARE(Header(a, "Content-Length").toInt(), data.size());
        QCOMPARE(Body(a), data);
    }

    // The body stops short and the connection stays open; the log says so.
    void bodyStallsWithTheConnectionOpen()
    {
        server.addRule({.path = QStringLiteral("/gen.bin"), .stallAfter = 150000});
        QTcpSocket s;
        Send(s, server.port(), "GET /gen.bin HTTP/1.1\r\nHost: x\r\n\r\n");
        const QByteArray got = ReadUntil(s, [](const QByteArray &g) { return Body(g).size() >= 150000; });
        QCOMPARE(Body(got).size(), 150000);
        QCOMPARE(Header(got, "Content-Length"), QByteArray("300000"));
        QCOMPARE(s.state(), QAbstractSocket::ConnectedState);
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(server.requests()[0].bodyBytesSent, 150000);
        QVERIFY(server.requests()[0].open());
    }
};

QTEST_GUILESS_MAIN(TestHttpServer)
#include "tst_httpserver.moc"
