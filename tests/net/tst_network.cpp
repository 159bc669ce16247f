// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The network layer against loopback servers and proxies: https with good
// and bad certificates, redirects that would drop TLS, proxies chosen from
// the environment, time limits, IPv6 literals, the User-Agent, connection reuse.
#include "catalogue/core/inet.h"
#include "doubles.h"
#include "httpserver.h"
#include "net/connection.h"
#include "net/proxy.h"
#include "net/route.h"
#include "net/transfer.h"
#include "proxies.h"
#include "testcerts.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmora;
using namespace velmora::httpd;
using namespace velmora::net;
using namespace velmora::testing;

Q_DECLARE_METATYPE(velmora::httpd::Rule)
Q_DECLARE_METATYPE(velmora::testing::CertificatePair)

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

// Starts a GET and blocks on the transfer's wake() until it has its head or has ended.
bool RunToHead(Transfer &t, const QString &url)
{
    QSignalSpy woke(&t, &Transfer::wake);
    bool running = t.execute(url, QByteArray(), false);
    while (running && t.stillExecuting())
        running = woke.wait(20000);
    return running;
}

QString LocalhostUrl(const HttpServer &server, const QString &path)
{
    return server.url(path).replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
}

// An https server with the given certificate, serving /f.bin.
std::unique_ptr<HttpServer> TlsServer(const CertificatePair &pair, qint64 size = 70000)
{
    auto server = std::make_unique<HttpServer>();
    if (!server->setTls(pair.certificate, pair.key) || !server->start())
        return nullptr;
    server->addGeneratedFile(QStringLiteral("/f.bin"), size);
    return server;
}

struct Download
{
    EngineHarness h;
    bool ok = false;
    Download(const QString &url, const QString &savePath, const QList<int> &fileAnswers = {})
    {
        h.dialog.path = savePath;
        h.answerer.setFileAnswers(fileAnswers);
        h.engine.setNetSettings(QuickSettings());
        ok = h.run(url);
    }
    QString asked() const { return h.answerer.asked.join(QLatin1Char(',')); }
};

} // namespace

class tst_Network : public QObject
{
    Q_OBJECT
    HttpServer plain;
    QTemporaryDir dir;
    int m_saved = 0;

    QString nextPath() { return dir.filePath(QStringLiteral("f%1.bin").arg(++m_saved)); }

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

    // Each refusal is named alike by the engine, the transfer and the
    // catalogue's fetches (a downgrade as refused, the others as failed), and
    // nothing goes out in clear text.
    void refusedHttps_data()
    {
        QTest::addColumn<CertificatePair>("pair");
        QTest::addColumn<QString>("text");
        QTest::addColumn<NetFailure>("failure");
        QTest::addColumn<CertificateProblem>("problem");
        using F = NetFailure;
        using P = CertificateProblem;
        const QString untrusted = QStringLiteral("证书不受信任");
        const TestCertificates &c = TestCerts();
        QTest::newRow("self-signed") << c.selfSigned << untrusted << F::Certificate << P::Untrusted;
        QTest::newRow("unknown CA") << c.unknownCa << untrusted << F::Certificate << P::Untrusted;
        QTest::newRow("expired") << c.expired << QStringLiteral("证书不在有效期内") << F::Certificate << P::Expired;
        QTest::newRow("wrong name") << c.wrongName << QStringLiteral("证书与域名不符") << F::Certificate << P::WrongName;
        QTest::newRow("302 to http") << c.good << QStringLiteral("拒绝从 https 转向 http") << F::Downgrade << P::None;
    }
    void refusedHttps()
    {
        QFETCH(CertificatePair, pair);
        QFETCH(QString, text);
        QFETCH(NetFailure, failure);
        QFETCH(CertificateProblem, problem);
        auto server = TlsServer(pair);
        QVERIFY(server);
        server->addRule({.path = QStringLiteral("/f.bin"), .status = 302,
                         .location = plain.url(QStringLiteral("/plain.bin")).toLatin1()});
        const QString url = LocalhostUrl(*server, QStringLiteral("/f.bin"));
        Download d(url, nextPath());
        QVERIFY(!d.ok);
        QCOMPARE(d.h.answerer.asked, QStringList({text, QStringLiteral("下载未完成")}));
        QVERIFY(!QFile::exists(d.h.dialog.path));

        Transfer t;
        t.setSettings(QuickSettings());
        QVERIFY(RunToHead(t, url));
        QCOMPARE(t.failure(), failure);
        QVERIFY2(t.certificateProblem() == problem, qPrintable(t.errorString()));
        Inet inet;
        inet.setNetSettings(QuickSettings());
        QCOMPARE(inet.Fetch(url).status, failure == NetFailure::Downgrade ? FetchStatus::Refused : FetchStatus::Failed);
        QVERIFY(plain.requests().isEmpty());
        if (failure == NetFailure::Certificate)
            QVERIFY(server->requests().isEmpty());
    }

    void proxies_data()
    {
        QTest::addColumn<bool>("https");
        QTest::addColumn<QByteArray>("variable");  // "" = none set
        QTest::addColumn<QString>("proxyKind");    // "http", "socks5", "socks5h"
        QTest::addColumn<bool>("used");
        QTest::newRow("https, no proxy") << true << QByteArray() << "http" << false;
        QTest::newRow("http_proxy, http") << false << QByteArray("http_proxy") << "http" << true;
        QTest::newRow("HTTP_PROXY is not read") << false << QByteArray("HTTP_PROXY") << "http" << false;
        QTest::newRow("https_proxy, https") << true << QByteArray("https_proxy") << "http" << true;
        QTest::newRow("HTTPS_PROXY, https") << true << QByteArray("HTTPS_PROXY") << "http" << true;
        QTest::newRow("https_proxy, http") << false << QByteArray("https_proxy") << "http" << false;
        QTest::newRow("all_proxy socks5") << false << QByteArray("all_proxy") << "socks5" << true;
        QTest::newRow("ALL_PROXY socks5h, https") << true << QByteArray("ALL_PROXY") << "socks5h" << true;
        // A proxy reached over TLS: plain http goes to it as an ordinary request, https through CONNECT.
        QTest::newRow("https proxy, http") << false << QByteArray("http_proxy") << "https" << true;
        QTest::newRow("https proxy, https") << true << QByteArray("https_proxy") << "https" << true;
        QTest::newRow("all_proxy https proxy, https") << true << QByteArray("all_proxy") << "https" << true;
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
        const bool isHttp = proxyKind.startsWith(QLatin1String("http"));
        ProxyBase &proxy = isHttp ? static_cast<ProxyBase &>(httpProxy) : socks;
        if (proxyKind == QLatin1String("https"))
            QVERIFY(httpProxy.setTls(TestCerts().good.certificate, TestCerts().good.key));
        // Plain http to an HTTP proxy is an ordinary request, so a proxy that
        // tunnels only to 443 serves it.
        httpProxy.setConnectOnlyTo443(!https);
        proxy.setCredentials("pu", "pp");
        QVERIFY(proxy.start());
        if (!variable.isEmpty())
            qputenv(variable.constData(), (proxyKind + QStringLiteral("://pu:pp@") + proxy.hostPort()).toUtf8());

        Download d(LocalhostUrl(server, QStringLiteral("/f.bin")), nextPath());
        QVERIFY2(d.ok, qPrintable(d.asked()));
        QCOMPARE(Sha256OfFile(d.h.dialog.path), HttpServer::GeneratedSha256(70000));
        const auto log = proxy.requests();
        // The probe's connection is its own, so a proxy that was used saw it and the transfer's.
        QCOMPARE(log.size() >= 2, used);
        QCOMPARE(log.isEmpty(), !used);
        for (const auto &entry : log) {
            QCOMPARE(entry.tunnel, https || !isHttp);
            QCOMPARE(entry.byName, proxyKind == QLatin1String("socks5h"));
            if (!entry.tunnel)
                QVERIFY(entry.target.startsWith("http://localhost:"));  // absolute form
            // Every request, the probe's included, carried the proxy's credentials and was let through.
            QCOMPARE(isHttp ? entry.proxyAuthorization : entry.user + ':' + entry.password,
                     isHttp ? QByteArray("Basic cHU6cHA=") : QByteArray("pu:pp"));
            QVERIFY(entry.status != 407);
        }
        // The probe's own bytes reached the server, through the proxy when one was set.
        QCOMPARE(server.requests().value(0).request.header("User-Agent"),
                 QByteArray("Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)"));
        // Over TLS each request names the server; the proxy's credentials never reach it.
        for (const auto &entry : server.requests()) {
            QCOMPARE(entry.serverName, https ? QByteArray("localhost") : QByteArray());
            QVERIFY(entry.request.header("Proxy-Authorization").isEmpty());
        }
    }

    // A proxy that cannot be used as set is never gone round: a wrong password
    // is told as the proxy's refusal (a 407 is no answer of the server's), an
    // address we cannot use fails, an https proxy's certificate is refused
    // like a server's. The server hears nothing in any case.
    void refusedByProxy_data()
    {
        QTest::addColumn<QString>("proxyKind");  // "http", "https", "socks5"; "socks9": no proxy we know
        QTest::addColumn<bool>("https");
        QTest::addColumn<QString>("text");
        QTest::addColumn<NetFailure>("failure");
        const QString refused = QStringLiteral("代理服务器拒绝了用户名或密码");
        QTest::newRow("http proxy, http") << "http" << false << refused << NetFailure::ProxyCredentials;
        QTest::newRow("http proxy, CONNECT") << "http" << true << refused << NetFailure::ProxyCredentials;
        QTest::newRow("https proxy, http") << "https" << false << refused << NetFailure::ProxyCredentials;
        QTest::newRow("https proxy, CONNECT") << "https" << true << refused << NetFailure::ProxyCredentials;
        QTest::newRow("socks5") << "socks5" << false << refused << NetFailure::ProxyCredentials;
        QTest::newRow("unknown kind") << "socks9" << false << QStringLiteral("无法建立连接") << NetFailure::Proxy;
        // The right password, but a proxy whose certificate nobody vouches for.
        QTest::newRow("https proxy, self-signed") << "https-self" << true << QStringLiteral("证书不受信任")
                                                  << NetFailure::Certificate;
    }
    void refusedByProxy()
    {
        QFETCH(QString, proxyKind);
        QFETCH(bool, https);
        QFETCH(QString, text);
        QFETCH(NetFailure, failure);
        auto tls = https ? TlsServer(TestCerts().good) : nullptr;
        HttpServer &server = https ? *tls : plain;
        server.addGeneratedFile(QStringLiteral("/f.bin"), 70000);
        HttpProxy httpProxy;
        Socks5Proxy socks;
        ProxyBase &proxy = proxyKind.startsWith(QLatin1String("socks")) ? static_cast<ProxyBase &>(socks) : httpProxy;
        if (proxyKind.startsWith(QLatin1String("https"))) {
            const CertificatePair &pair = proxyKind == QLatin1String("https") ? TestCerts().good : TestCerts().selfSigned;
            QVERIFY(httpProxy.setTls(pair.certificate, pair.key));
        }
        proxy.setCredentials("pu", "pp");
        QVERIFY(proxy.start());
        const QString password = failure == NetFailure::ProxyCredentials ? QStringLiteral("wrong") : QStringLiteral("pp");
        qputenv("all_proxy",
                (proxyKind.section(QLatin1Char('-'), 0, 0) + QStringLiteral("://pu:") + password + QLatin1Char('@')
                 + proxy.hostPort()).toUtf8());
        const QString url = LocalhostUrl(server, QStringLiteral("/f.bin"));

        Download d(url, nextPath());
        QVERIFY(!d.ok);
        QCOMPARE(d.h.answerer.asked, QStringList({text, QStringLiteral("下载未完成")}));
        QCOMPARE(d.h.dialog.shown, 0);  // the probe met it
        Transfer t;
        t.setSettings(QuickSettings());
        QVERIFY(RunToHead(t, url));
        QCOMPARE(t.failure(), failure);
        QCOMPARE(t.status(), 0);
        if (failure == NetFailure::Certificate)
            QCOMPARE(t.certificateProblem(), CertificateProblem::Untrusted);
        Inet inet;
        inet.setNetSettings(QuickSettings());
        QCOMPARE(inet.Fetch(url).status, FetchStatus::Failed);
        QVERIFY(server.requests().isEmpty());
    }

    // TLS that cannot be agreed: a server that offers only TLS 1.0 and 1.1,
    // which our OpenSSL refuses. Told as no secure connection, never as a
    // name not found, and nothing is asked of the server.
    void noSecureConnection()
    {
        HttpServer server;
        QVERIFY(server.setTls(TestCerts().good.certificate, TestCerts().good.key, TlsVersions::OldOnly));
        QVERIFY(server.start());
        server.addGeneratedFile(QStringLiteral("/f.bin"), 70000);
        const QString url = LocalhostUrl(server, QStringLiteral("/f.bin"));
        Download d(url, nextPath());
        QVERIFY(!d.ok);
        QCOMPARE(d.h.answerer.asked, QStringList({QStringLiteral("无法建立安全连接"), QStringLiteral("下载未完成")}));
        Transfer t;
        t.setSettings(QuickSettings());
        QVERIFY(RunToHead(t, url));
        QVERIFY2(t.failure() == NetFailure::NoSecureConnection, qPrintable(t.errorString()));
        QVERIFY(server.requests().isEmpty());
    }

    void noProxyAndSystemFallback()
    {
        qputenv("http_proxy", "http://127.0.0.1:9");
        qputenv("NO_PROXY", "example.org, localhost");
        const QUrl url(LocalhostUrl(plain, QStringLiteral("/x")));
        QVERIFY(ProxyFor(url).direct());
        QVERIFY(!ProxyFor(QUrl(QStringLiteral("http://notexample.org/"))).direct());  // a name, not a text suffix
        QVERIFY(ProxyFor(QUrl(QStringLiteral("http://www.example.org/"))).direct());
        qputenv("NO_PROXY", "127.0.0.0/8");
        QVERIFY(ProxyFor(QUrl(QStringLiteral("http://127.0.0.5/"))).direct());
        init();  // nothing set: the desktop's settings, here none
        QVERIFY(ProxyFor(url).direct());
        const ProxyChoice p = ParseProxyAddress(QStringLiteral("u%40x:p@[::1]"));
        QCOMPARE(p.userName, QStringLiteral("u@x"));
        QCOMPARE(p.curlAddress(), QByteArray("http://[::1]:1080"));
    }

    // A hostile or slow server and what the engine makes of it: the whole
    // file, or the problems it names.
    void serverFaults_data()
    {
        QTest::addColumn<Rule>("rule");
        QTest::addColumn<QStringList>("asked");  // empty: saved whole
        const QString unfinished = QStringLiteral("下载未完成");
        QTest::newRow("3 interim 103, identity coding")
            << Rule {.interimCount = 3, .interimStatus = 103, .identityEncoding = true} << QStringList();
        // Slow but never silent for the limit: the body's whole time is several limits long.
        QTest::newRow("body slow, steady") << Rule {.when = Rule::When::WithRange, .rate = 30000} << QStringList();
        // The probe's answer comes whole; the length request's drips past its limit: a
        // connection that could not deliver, not a file of no length.
        QTest::newRow("head dripped") << Rule {.when = Rule::When::WithoutRange, .dripMs = 100}
                                      << QStringList {QStringLiteral("无法建立连接"), unfinished};
        QTest::newRow("body stalls") << Rule {.when = Rule::When::WithRange, .stallAfter = 30000}
                                     << QStringList {QStringLiteral("服务器连接重置"), unfinished};
    }
    void serverFaults()
    {
        QFETCH(Rule, rule);
        QFETCH(QStringList, asked);
        rule.path = QStringLiteral("/f.bin");
        plain.addGeneratedFile(rule.path, 100000);
        plain.addRule(rule);
        Download d(plain.url(rule.path), nextPath(), {2});  // no resume after the drop
        QCOMPARE(d.h.answerer.asked, asked);
        QCOMPARE(d.ok, asked.isEmpty());
        const qint64 kept = rule.stallAfter > 0 ? rule.stallAfter : 100000;
        if (d.ok || rule.stallAfter > 0)
            QCOMPARE(Sha256OfFile(d.h.dialog.path), HttpServer::GeneratedSha256(kept));
    }

    // The probe's connection reads no more than it is asked for: a server
    // that has sent a whole file after the head (here, all of it waiting in
    // the sockets' buffers) is not read into memory at once, and what is
    // read comes whole and in order.
    void connectionHoldsLittle()
    {
        HttpServer server;
        QVERIFY(server.start());
        const qint64 size = 1024 * 1024;
        server.addGeneratedFile(QStringLiteral("/big.bin"), size);
        Connection connection;
        QSignalSpy opened(&connection, &Connection::opened);
        QSignalSpy arrived(&connection, &Connection::readyRead);
        connection.open(Endpoint::of(QUrl(server.url(QStringLiteral("/big.bin")))), QuickSettings());
        QVERIFY(opened.wait());
        connection.send("GET /big.bin HTTP/1.1\r\nHost: " + server.hostPort().toLatin1() + "\r\n\r\n");
        // The server runs on its own thread: the whole answer leaves it while nothing here reads.
        QVERIFY(server.waitForNoOpenRequests(20000));
        QByteArray answer;
        while (answer.size() < size) {
            QVERIFY(arrived.wait());
            const QByteArray part = connection.readAll();
            QVERIFY2(part.size() <= Connection::kHeldAtMost, qPrintable(QString::number(part.size())));
            answer += part;
        }
        const qsizetype body = answer.indexOf("\r\n\r\n") + 4;
        QVERIFY(body > 4);
        while (answer.size() - body < size) {
            QVERIFY(arrived.wait());
            answer += connection.readAll();
        }
        QCOMPARE(Sha256(answer.mid(body)), HttpServer::GeneratedSha256(size));
    }

    // [::1] with a port; a relative Location from the probe; a server that
    // wants a User-Agent from the engine and the catalogue alike; one
    // connection for the length and range requests.
    void addressesAndRequests()
    {
        HttpServer six;
        QVERIFY(six.start(0, QHostAddress::LocalHostIPv6));
        six.addGeneratedFile(QStringLiteral("/moved/f.bin"), 50000);
        six.addRule({.path = QStringLiteral("/f.bin"), .count = 1, .status = 302, .location = "/moved/f.bin"});
        six.addRule({.path = QStringLiteral("/moved/f.bin"), .requireUserAgent = true});
        Download d(six.url(QStringLiteral("/f.bin")), nextPath());
        QVERIFY2(d.ok, qPrintable(d.asked()));
        QCOMPARE(Sha256OfFile(d.h.dialog.path), HttpServer::GeneratedSha256(50000));
        const auto log = six.requestsFor(QStringLiteral("/moved/f.bin"));
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0].connectionId, log[1].connectionId);
        QVERIFY(six.requestsFor(QStringLiteral("/f.bin")).first().connectionId != log[0].connectionId);  // the probe's own

        Inet inet;
        inet.setNetSettings(QuickSettings());
        const FetchResult fetched = inet.Fetch(six.url(QStringLiteral("/moved/f.bin")));
        QCOMPARE(fetched.status, FetchStatus::Ok);
        QCOMPARE(Sha256(fetched.body), HttpServer::GeneratedSha256(50000));
    }
};

QTEST_GUILESS_MAIN(tst_Network)
#include "tst_network.moc"
