// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The network layer against loopback servers and proxies: https with good
// and bad certificates, redirects that would drop TLS or carry credentials
// away, proxies chosen from the environment, time limits, bounded heads,
// IPv6 literals, the User-Agent, connection reuse. Downloads run through the
// real engine and every saved file is compared by sha256.
#include "catalogue/core/inet.h"
#include "common/core/version.h"
#include "doubles.h"
#include "httpserver.h"
#include "net/proxy.h"
#include "net/transfer.h"
#include "proxies.h"
#include "testcerts.h"
#include "testsupport.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmora;
using velmora::httpd::HttpProxy;
using velmora::httpd::HttpServer;
using velmora::httpd::Rule;
using velmora::httpd::Socks5Proxy;
using velmora::net::CertificateProblem;
using velmora::net::NetFailure;
using velmora::net::NetSettings;
using velmora::net::Transfer;
using velmora::testing::CertificatePair;
using velmora::testing::TestCerts;

namespace {

const char *const kProxyVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                       "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY"};

// Short limits, so that a silent server is met within a test's patience.
NetSettings QuickSettings()
{
    NetSettings s;
    s.connectMs = 5000;
    s.headMs = s.idleMs = 700;
    s.caFile = TestCerts().caFile;
    return s;
}

// Blocks on the transfer's wake() until it has its head or has ended.
void waitForHead(Transfer &t)
{
    while (t.stillExecuting()) {
        QEventLoop loop;
        QObject::connect(&t, &Transfer::wake, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

QString LocalhostUrl(const HttpServer &server, const QString &path)
{
    return server.url(path).replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
}

struct Download
{
    testing::EngineHarness h;
    bool ok = false;
    Download(const QString &url, const QString &savePath, const QList<int> &fileAnswers = {})
    {
        h.dialog.path = savePath;
        h.answerer.setFileAnswers(fileAnswers);
        h.engine.setNetSettings(QuickSettings());
        ok = h.run(url);
    }
};

} // namespace

class tst_Network : public QObject
{
    Q_OBJECT
    HttpServer plain;
    QTemporaryDir dir;
    int m_saved = 0;

    QString nextPath() { return dir.filePath(QStringLiteral("f%1.bin").arg(++m_saved)); }

    // An https server with the given certificate, serving /f.bin.
    static std::unique_ptr<HttpServer> TlsServer(const CertificatePair &pair, qint64 size = 70000)
    {
        auto server = std::make_unique<HttpServer>();
        if (!server->setTls(pair.certificate, pair.key) || !server->start())
            return nullptr;
        server->addGeneratedFile(QStringLiteral("/f.bin"), size);
        return server;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY2(TestCerts().ok, qPrintable(TestCerts().error));
        QVERIFY(plain.start());
    }
    void init()
    {
        for (const char *name : kProxyVariables)
            qunsetenv(name);
        plain.clearRules();
        plain.clearRequests();
    }

    void httpsWithTheRightCertificate()
    {
        auto server = TlsServer(TestCerts().good);
        QVERIFY(server);
        const QString path = nextPath();
        Download d(LocalhostUrl(*server, QStringLiteral("/f.bin")), path);
        QVERIFY(d.ok);
        QCOMPARE(testing::Sha256OfFile(path), HttpServer::GeneratedSha256(70000));
        // Probe, length and range request, each over TLS naming the server.
        const auto log = server->requests();
        QCOMPARE(log.size(), 3);
        for (const auto &entry : log)
            QCOMPARE(entry.serverName, QByteArray("localhost"));
    }

    void refusedCertificates_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("problem");
        QTest::addColumn<QString>("text");
        QTest::newRow("self-signed") << 0 << int(CertificateProblem::Untrusted) << QStringLiteral("证书不受信任");
        QTest::newRow("unknown CA") << 1 << int(CertificateProblem::Untrusted) << QStringLiteral("证书不受信任");
        QTest::newRow("expired") << 2 << int(CertificateProblem::Expired) << QStringLiteral("证书不在有效期内");
        QTest::newRow("wrong name") << 3 << int(CertificateProblem::WrongName) << QStringLiteral("证书与域名不符");
    }
    void refusedCertificates()
    {
        QFETCH(int, which);
        QFETCH(int, problem);
        QFETCH(QString, text);
        const CertificatePair pairs[] = {TestCerts().selfSigned, TestCerts().unknownCa, TestCerts().expired,
                                         TestCerts().wrongName};
        auto server = TlsServer(pairs[which]);
        QVERIFY(server);
        const QString url = LocalhostUrl(*server, QStringLiteral("/f.bin"));
        // The probe meets it first and names it; nothing is saved, nothing asked in clear text.
        const QString path = nextPath();
        Download d(url, path);
        QVERIFY(!d.ok);
        QCOMPARE(d.h.answerer.asked, QStringList({text, QStringLiteral("下载未完成")}));
        QVERIFY(!QFile::exists(path));
        QVERIFY(server->requests().isEmpty());
        // The transfer names it the same way.
        Transfer t;
        t.setSettings(QuickSettings());
        QVERIFY(t.execute(url, QByteArray(), true));
        waitForHead(t);
        QCOMPARE(t.failure(), NetFailure::Certificate);
        QVERIFY2(int(t.certificateProblem()) == problem, qPrintable(t.errorString()));
    }

    void httpsIsNotDowngraded()
    {
        auto server = TlsServer(TestCerts().good);
        QVERIFY(server);
        plain.addGeneratedFile(QStringLiteral("/plain.bin"), 5000);
        Rule r;
        r.path = QStringLiteral("/f.bin");
        r.status = 302;
        r.location = plain.url(QStringLiteral("/plain.bin")).toLatin1();
        server->addRule(r);
        const QString url = LocalhostUrl(*server, QStringLiteral("/f.bin"));
        const QString path = nextPath();
        Download d(url, path);
        QVERIFY(!d.ok);
        QCOMPARE(d.h.answerer.asked.first(), QStringLiteral("拒绝从 https 转向 http"));
        // The transfer's own redirects are held to the same rule.
        r.status = 301;
        server->clearRules();
        server->addRule(r);
        Transfer t;
        t.setSettings(QuickSettings());
        QVERIFY(t.execute(url, QByteArray(), false));
        waitForHead(t);
        QCOMPARE(t.failure(), NetFailure::Downgrade);
        QVERIFY(plain.requests().isEmpty());
        QVERIFY(!QFile::exists(path));
    }

    void proxies_data()
    {
        QTest::addColumn<bool>("https");
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QString>("proxyKind");  // "http", "socks5", "socks5h"
        QTest::addColumn<bool>("used");
        QTest::newRow("http_proxy, http") << false << QByteArray("http_proxy") << "http" << true;
        QTest::newRow("HTTP_PROXY is not read") << false << QByteArray("HTTP_PROXY") << "http" << false;
        QTest::newRow("https_proxy, https") << true << QByteArray("https_proxy") << "http" << true;
        QTest::newRow("HTTPS_PROXY, https") << true << QByteArray("HTTPS_PROXY") << "http" << true;
        QTest::newRow("https_proxy, http") << false << QByteArray("https_proxy") << "http" << false;
        QTest::newRow("all_proxy socks5") << false << QByteArray("all_proxy") << "socks5" << true;
        QTest::newRow("ALL_PROXY socks5h, https") << true << QByteArray("ALL_PROXY") << "socks5h" << true;
    }
    void proxies()
    {
        QFETCH(bool, https);
        QFETCH(QByteArray, variable);
        QFETCH(QString, proxyKind);
        QFETCH(bool, used);
        auto tls = https ? TlsServer(TestCerts().good) : nullptr;
        HttpServer &server = https ? *tls : plain;
        server.addGeneratedFile(QStringLiteral("/f.bin"), 70000);
        HttpProxy httpProxy;
        Socks5Proxy socks;
        const bool isHttp = proxyKind == QLatin1String("http");
        httpd::ProxyBase &proxy = isHttp ? static_cast<httpd::ProxyBase &>(httpProxy) : socks;
        // Plain http to an HTTP proxy is an ordinary request, so a proxy that
        // tunnels only to 443 serves it.
        httpProxy.setConnectOnlyTo443(!https);
        proxy.setCredentials("pu", "pp");
        QVERIFY(proxy.start());
        const QString address = proxyKind + QStringLiteral("://pu:pp@") + proxy.hostPort();
        qputenv(variable.constData(), address.toUtf8());

        const QString path = nextPath();
        Download d(LocalhostUrl(server, QStringLiteral("/f.bin")), path);
        QVERIFY2(d.ok, qPrintable(d.h.answerer.asked.join(QLatin1Char(','))));
        QCOMPARE(testing::Sha256OfFile(path), HttpServer::GeneratedSha256(70000));
        const auto log = proxy.requests();
        QCOMPARE(!log.isEmpty(), used);
        for (const auto &entry : log) {
            QCOMPARE(entry.tunnel, https || !isHttp);
            QCOMPARE(entry.byName, proxyKind == QLatin1String("socks5h"));
            if (!entry.tunnel)
                QVERIFY(entry.target.startsWith("http://localhost:"));  // absolute form
        }
        // The proxy's credentials reach the proxy, never the server.
        for (const auto &entry : server.requests())
            QVERIFY(entry.request.header("Proxy-Authorization").isEmpty());
    }

    void noProxyAndSystemFallback()
    {
        qputenv("http_proxy", "http://127.0.0.1:9");
        qputenv("NO_PROXY", "example.org, localhost");
        const QUrl url(LocalhostUrl(plain, QStringLiteral("/x")));
        QVERIFY(net::ProxyFor(url).direct());
        QVERIFY(!net::ProxyFor(QUrl(QStringLiteral("http://notexample.org/"))).direct());  // a name, not a text suffix
        QVERIFY(net::ProxyFor(QUrl(QStringLiteral("http://www.example.org/"))).direct());
        qputenv("NO_PROXY", "127.0.0.0/8");
        QVERIFY(net::ProxyFor(QUrl(QStringLiteral("http://127.0.0.5/"))).direct());
        // Nothing set: the desktop's settings, here none.
        for (const char *name : kProxyVariables)
            qunsetenv(name);
        QVERIFY(net::ProxyFor(url).direct());
        const net::ProxyChoice p = net::ParseProxyAddress(QStringLiteral("u%40x:p@[::1]"));
        QCOMPARE(p.userName, QStringLiteral("u@x"));
        QCOMPARE(p.port, quint16(1080));
        QCOMPARE(p.curlAddress(), QByteArray("http://[::1]:1080"));
    }

    void timeLimits_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("asked");
        QTest::newRow("never answers") << "stall" << QStringList {QStringLiteral("无法建立连接"), QStringLiteral("下载未完成")};
        QTest::newRow("head dripped") << "drip" << QStringList {QStringLiteral("文件长度为零"), QStringLiteral("下载未完成")};
        QTest::newRow("body stalls") << "body"
                                     << QStringList {QStringLiteral("服务器连接重置"), QStringLiteral("下载未完成")};
        // Slow but never silent for the limit: the body's whole time is several limits long.
        QTest::newRow("body slow, steady") << "steady" << QStringList();
    }
    void timeLimits()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, asked);
        const QString file = QStringLiteral("/slow-") + fault;
        plain.addGeneratedFile(file, 100000);
        Rule r;
        r.path = file;
        if (fault == QLatin1String("stall")) {
            r.stall = true;
        } else if (fault == QLatin1String("drip")) {
            r.when = Rule::When::WithoutRange;  // the probe's answer comes whole; the length request's drips
            r.dripMs = 100;
        } else if (fault == QLatin1String("steady")) {
            r.when = Rule::When::WithRange;
            r.rate = 30000;
        } else {
            r.when = Rule::When::WithRange;
            r.stallAfter = 30000;
        }
        plain.addRule(r);
        const QString path = nextPath();
        if (fault == QLatin1String("steady")) {
            QVERIFY(Download(plain.url(file), path).ok);
            QCOMPARE(testing::Sha256OfFile(path), HttpServer::GeneratedSha256(100000));
            return;
        }
        Download d(plain.url(file), path, {2});  // no resume after the drop
        QVERIFY(!d.ok);
        QCOMPARE(d.h.answerer.asked, asked);
        if (fault == QLatin1String("body"))
            QCOMPARE(testing::Sha256OfFile(path), HttpServer::GeneratedSha256(30000));
    }

    void interimAnswers()
    {
        // A few interim answers go by; an endless stream of them is a bad answer, cut early.
        // Transfer-Encoding: identity is taken as no coding at all.
        plain.addGeneratedFile(QStringLiteral("/hints.bin"), 9000);
        Rule few;
        few.path = QStringLiteral("/hints.bin");
        few.interimCount = 3;
        few.interimStatus = 103;
        few.identityEncoding = true;  // and a transfer-coding that changes nothing
        plain.addRule(few);
        const QString path = nextPath();
        QVERIFY(Download(plain.url(QStringLiteral("/hints.bin")), path).ok);
        QCOMPARE(testing::Sha256OfFile(path), HttpServer::GeneratedSha256(9000));

        Rule flood = few;
        flood.interimCount = -1;
        flood.interimStatus = 100;
        plain.clearRules();
        plain.clearRequests();
        plain.addRule(flood);
        Transfer t;
        t.setSettings(NetSettings());  // the ordinary limits: the header bound ends it first
        QVERIFY(t.execute(plain.url(QStringLiteral("/hints.bin")), QByteArray(), false));
        waitForHead(t);
        QCOMPARE(t.failure(), NetFailure::BadAnswer);
        QVERIFY(plain.waitForNoOpenRequests(10000));
        // Cut off near the bound, not after the server's own 256 MiB (sockets hold a few MiB between).
        QVERIFY2(plain.requests().last().bodyBytesSent < (qint64(16) << 20),
                 QByteArray::number(plain.requests().last().bodyBytesSent));
    }

    void addressesAndRequests()
    {
        // [::1] with a port; a relative Location from the probe; a server
        // that wants a User-Agent; one connection for the length and range requests.
        HttpServer six;
        QVERIFY(six.start(0, QHostAddress::LocalHostIPv6));
        six.addGeneratedFile(QStringLiteral("/moved/f.bin"), 50000);
        Rule moved;
        moved.path = QStringLiteral("/f.bin");
        moved.count = 1;
        moved.status = 302;
        moved.location = "/moved/f.bin";
        six.addRule(moved);
        Rule strict;
        strict.path = QStringLiteral("/moved/f.bin");
        strict.requireUserAgent = true;
        six.addRule(strict);
        const QString path = nextPath();
        Download d(six.url(QStringLiteral("/f.bin")), path);
        QVERIFY2(d.ok, qPrintable(d.h.answerer.asked.join(QLatin1Char(','))));
        QCOMPARE(testing::Sha256OfFile(path), HttpServer::GeneratedSha256(50000));
        const auto log = six.requestsFor(QStringLiteral("/moved/f.bin"));
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0].request.header("User-Agent"), "Velmora/" + kVersion.toLatin1());
        QCOMPARE(log[0].connectionId, log[1].connectionId);
    }

    void credentialsStayWithTheirOrigin()
    {
        HttpServer other;
        QVERIFY(other.start());
        Rule ask;
        ask.path = QStringLiteral("/secret.bin");
        ask.status = 401;
        ask.extraHeaders = "WWW-Authenticate: Basic realm=\"x\"\r\n";
        other.addRule(ask);
        Rule away;
        away.path = QStringLiteral("/secret.bin");
        away.status = 301;
        away.location = other.url(QStringLiteral("/secret.bin")).toLatin1();
        plain.addRule(away);
        Transfer t;
        t.setCredentials(QStringLiteral("user"), QStringLiteral("pw-123"));
        QVERIFY(t.execute(plain.url(QStringLiteral("/secret.bin")), QByteArray(), false));
        waitForHead(t);
        QCOMPARE(t.status(), 401);
        QCOMPARE(other.requests().size(), 1);
        for (const auto &entry : other.requests() + plain.requests())
            QVERIFY(entry.request.header("Authorization").isEmpty());

        // A password written into the address is not shown in any alert.
        plain.clearRules();
        QString url = plain.url(QStringLiteral("/missing.bin"));
        url.replace(QStringLiteral("http://"), QStringLiteral("http://user:pw-123@"));
        Download d(url, nextPath());
        QVERIFY(!d.ok);
        QVERIFY(!d.h.answerer.questions.isEmpty());
        for (const auto &q : d.h.answerer.questions)
            QVERIFY2(!q.file.contains(QStringLiteral("pw-123")), qPrintable(q.file));
    }

    void catalogueFetches()
    {
        // The catalogue's fetches take the same road: a User-Agent, https
        // checked, no way down to http.
        plain.addFile(QStringLiteral("/list.txt"), "a::=b::=c\r\n");
        Rule strict;
        strict.path = QStringLiteral("/list.txt");
        strict.requireUserAgent = true;
        plain.addRule(strict);
        Inet inet;
        inet.setNetSettings(QuickSettings());
        const FetchResult ok = inet.Fetch(plain.url(QStringLiteral("/list.txt")));
        QCOMPARE(ok.status, FetchStatus::Ok);
        QCOMPARE(ok.body, QByteArray("a::=b::=c\r\n"));

        auto bad = TlsServer(TestCerts().selfSigned);
        QVERIFY(bad);
        QCOMPARE(inet.Fetch(LocalhostUrl(*bad, QStringLiteral("/f.bin"))).status, FetchStatus::Failed);
        auto good = TlsServer(TestCerts().good);
        Rule down;
        down.path = QStringLiteral("/f.bin");
        down.status = 302;
        down.location = plain.url(QStringLiteral("/list.txt")).toLatin1();
        good->addRule(down);
        QCOMPARE(inet.Fetch(LocalhostUrl(*good, QStringLiteral("/f.bin"))).status, FetchStatus::Refused);
    }
};

QTEST_GUILESS_MAIN(tst_Network)
#include "tst_network.moc"
