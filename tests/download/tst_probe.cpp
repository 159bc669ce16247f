// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The probe connection and the readers of its answer, against the loopback server.
#include "download/core/httpheaders.h"
#include "download/core/probe.h"
#include "httpserver.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

using namespace velmora;
using velmora::httpd::HttpServer;

class TestProbe : public QObject
{
    Q_OBJECT
    HttpServer server;

private slots:
    void initTestCase() { QVERIFY(server.start()); }

    void readersAndRequest()
    {
        const QString answer = QStringLiteral("HTTP/1.1 302 Found\r\nlOcAtIoN: http://h/x.mp3\r\nServer: t\r\n\r\n");
        QCOMPARE(StatusOf(answer), QStringLiteral("302"));
        QCOMPARE(GetDataHead(answer, QStringLiteral("Location:")), QStringLiteral("http://h/x.mp3"));
        // The value starts one character after the key, whatever that character is.
        QCOMPARE(GetDataHead(QStringLiteral("Location:http://h/x"), QStringLiteral("Location:")), QStringLiteral("ttp://h/x"));
        QCOMPARE(GetDataHead(QStringLiteral("Location: /end"), QStringLiteral("Location:")), QStringLiteral("/end"));
        QCOMPARE(GetDataHead(QString(), QStringLiteral("Location:")), QString());
        QCOMPARE(GetDataHead(answer, QStringLiteral("Refresh:")), QString());
        QCOMPARE(BuildProbeRequest(QStringLiteral("http://h/a b\t.mp3"), QStringLiteral("h")),
                 QByteArray("GET http://h/a%20b%09.mp3 HTTP/1.1\r\nHost: h\r\nAccept: *.*, */*\r\n"
                            "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n\r\n"));
        // An international host name reaches the Host line as punycode.
        QVERIFY(BuildProbeRequest(QStringLiteral("http://bücher.example/a"), QStringLiteral("bücher.example"))
                    .contains("\r\nHost: xn--bcher-kva.example\r\n"));
        // A relative Location is taken against the probed address.
        QCOMPARE(ResolveProbeLocation(QStringLiteral("http://[::1]:81/a/b.mp3"), QStringLiteral("/c/d.mp3")),
                 QStringLiteral("http://[::1]:81/c/d.mp3"));
        QCOMPARE(ResolveProbeLocation(QStringLiteral("https://h/a/b"), QStringLiteral("c?x=1")),
                 QStringLiteral("https://h/a/c?x=1"));
        QCOMPARE(ResolveProbeLocation(QStringLiteral("http://h/a"), QStringLiteral("http://o/x")),
                 QStringLiteral("http://o/x"));
    }

    void headerNumbers()
    {
        QCOMPARE(LeadingNumber("5000000000"), qint64(5000000000));  // lengths past 32 bits
        QCOMPARE(LeadingNumber(" 12abc"), qint64(12));
        QCOMPARE(LeadingNumber("99999999999999999999"), qint64(0));  // no file is that long
        QCOMPARE(ContentRangeStart("bytes 100-199/200"), qint64(100));
        QCOMPARE(ContentRangeStart("bytes -5/200"), qint64(-1));
        QCOMPARE(ContentRangeStart("items 1-2/3"), qint64(-1));
        QCOMPARE(ContentRangeStart("Bytes 7-9/10"), qint64(7));  // units are case-insensitive
    }

    void sendsExactlyItsRequestAndReadsTheAnswer()
    {
        server.addGeneratedFile(QStringLiteral("/p.bin"), 5000);
        const QString host = QStringLiteral("127.0.0.1");
        const QByteArray request = BuildProbeRequest(server.url(QStringLiteral("/p.bin")), host);
        Probe probe;
        QSignalSpy arrived(&probe, &Probe::dataArrived);
        probe.start(false, host, server.port(), request);
        QVERIFY(arrived.wait(5000));
        QCOMPARE(StatusOf(arrived.first().first().toString()), QStringLiteral("200"));
        QCOMPARE(server.requestsFor(QStringLiteral("/p.bin")).first().request.head, request);
        QVERIFY(!probe.failed());
        probe.close();
        probe.close();  // closing twice is harmless
    }

    void refusedConnectionFails()
    {
        // A port nobody listens on: taken and released again at once.
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost));
        const quint16 port = holder.serverPort();
        holder.close();
        Probe probe;
        QSignalSpy woke(&probe, &Probe::wake);
        probe.start(false, QStringLiteral("127.0.0.1"), port, "GET / HTTP/1.1\r\n\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(probe.failed(), 5000);
        QVERIFY(!woke.isEmpty());
        QVERIFY(!probe.errorString().isEmpty());
    }
};

QTEST_MAIN(TestProbe)
#include "tst_probe.moc"
