// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's proxy settings as the desktop keeps them: GNOME's in dconf,
// written with `gsettings` over a session bus of the test's own; Plasma's in
// kioslaverc files of temporary configuration folders. Then a fetch through
// a loopback proxy that only the desktop's settings name.
#include "catalogue/core/inet.h"
#include "httpserver.h"
#include "net/desktopproxy.h"
#include "proxies.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <utility>

#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

using namespace velmora;
using namespace velmora::httpd;
using namespace velmora::net;
using namespace velmora::testing;

namespace {

const char *const kClearedVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                                         "ALL_PROXY",  "no_proxy",   "NO_PROXY",    "XDG_CURRENT_DESKTOP",
                                         "DESKTOP_SESSION"};

// "Qt" (left to Qt's query), "direct", "unusable", or the proxy as curl takes it and " user:password".
QString Describe(const std::optional<ProxyChoice> &choice)
{
    if (!choice || choice->direct() || choice->kind == ProxyChoice::Kind::Unusable)
        return QLatin1String(!choice ? "Qt" : choice->direct() ? "direct" : "unusable");
    const QString credentials = choice->userName + QLatin1Char(':') + choice->password;
    return QString::fromLatin1(choice->curlAddress()) + (choice->userName.isEmpty() ? QString() : ' ' + credentials);
}

bool Gsettings(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("gsettings"), args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// GNOME's proxy settings reset, then "KEY=VALUE; CHILD/KEY=VALUE" set as
// GNOME's own tools do, into dconf (CHILD: http, https, socks).
bool SetGnomeProxy(const QString &settings)
{
    bool ok = Gsettings({QStringLiteral("reset-recursively"), QStringLiteral("org.gnome.system.proxy")});
    for (const QString &item : settings.split(QLatin1String("; "), Qt::SkipEmptyParts)) {
        const QString key = item.section(QLatin1Char('='), 0, 0), value = item.section(QLatin1Char('='), 1);
        const QString child = key.contains(QLatin1Char('/')) ? '.' + key.section(QLatin1Char('/'), 0, 0) : QString();
        ok = ok && Gsettings({QStringLiteral("set"), "org.gnome.system.proxy" + child, key.section('/', -1), value});
    }
    return ok;
}

// A session bus of the test's own; it starts dconf's writer for gsettings
// with the folders this process set before.
class PrivateSessionBus
{
public:
    bool start()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        while (m_daemon.waitForReadyRead(10000) && !m_daemon.canReadLine()) {
        }
        const QByteArray address = m_daemon.readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        // GSettings shares GIO's connection to the bus, which by default ends
        // the process when the bus goes: here the bus goes first.
        m_connection = address.isEmpty() ? nullptr : g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        if (m_connection)
            g_dbus_connection_set_exit_on_close(m_connection, FALSE);
        return m_connection != nullptr;
    }
    ~PrivateSessionBus()
    {
        if (m_connection)
            g_object_unref(m_connection);
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }

private:
    QProcess m_daemon;
    GDBusConnection *m_connection = nullptr;
};

} // namespace

class tst_DesktopProxy : public QObject
{
    Q_OBJECT
    QTemporaryDir root;
    PrivateSessionBus bus;

    QString kioslaverc(const char *folder) const { return root.filePath(QLatin1String(folder) + "/kioslaverc"); }

private slots:
    void initTestCase()
    {
        // GLib keeps the folders it first sees, so they are set before anything asks.
        const QDir dir(root.path());
        QVERIFY(dir.mkpath(QStringLiteral("config")) && dir.mkpath(QStringLiteral("system")));
        QVERIFY(dir.mkdir(QStringLiteral("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const auto point = [this](const char *variable, const char *folder) {
            qputenv(variable, QFile::encodeName(root.filePath(QLatin1String(folder))));
        };
        point("XDG_CONFIG_HOME", "config");
        point("XDG_CONFIG_DIRS", "system");
        point("XDG_RUNTIME_DIR", "runtime");
        point("XDG_CACHE_HOME", "cache");
        qunsetenv("GSETTINGS_BACKEND");
        QVERIFY(bus.start());
        QVERIFY2(Gsettings({QStringLiteral("list-keys"), QStringLiteral("org.gnome.system.proxy")}),
                 "needs gsettings (libglib2.0-bin), gsettings-desktop-schemas and dconf-gsettings-backend");
    }
    void init()
    {
        for (const char *name : kClearedVariables)
            qunsetenv(name);
        QFile::remove(kioslaverc("config"));
        QFile::remove(kioslaverc("system"));
    }

    void gnome_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");
        const QString http = QStringLiteral("http://files.example.net/a.mkv"), https = "https://files.example.net/";
        const QString manual = QStringLiteral("mode='manual'; http/host='proxy.example'; http/port=3128; ");
        QTest::newRow("defaults: none") << QString() << http << "direct";
        QTest::newRow("auto: a script") << "mode='auto'; autoconfig-url='http://wpad/wpad.dat'" << http << "Qt";
        QTest::newRow("manual, http") << manual << http << "http://proxy.example:3128";
        QTest::newRow("http proxy serves https") << manual << https << "http://proxy.example:3128";
        QTest::newRow("https proxy of its own") << manual + "https/host='secure.example'; https/port=8443" << https
                                                << "http://secure.example:8443";
        QTest::newRow("port 0 unsets, SOCKS serves")
            << "mode='manual'; http/host='proxy.example'; http/port=0; socks/host='sock.example'; socks/port=1080"
            << http << "socks5h://sock.example:1080";
        QTest::newRow("credentials") << manual + "http/use-authentication=true; http/authentication-user='u@x'; "
                                                 "http/authentication-password='p w'"
                                     << https << "http://proxy.example:3128 u@x:p w";
        QTest::newRow("credentials unused") << manual + "http/authentication-user='u'" << http
                                            << "http://proxy.example:3128";
        QTest::newRow("ignored by default: loopback") << manual << "http://127.0.0.5:8417/x" << "direct";
        QTest::newRow("ignored: wildcard") << manual + "ignore-hosts=['*.example.net']" << http << "direct";
        QTest::newRow("address typed as host") << "mode='manual'; http/host='http://[::1]/'; http/port=3128" << http
                                               << "http://[::1]:3128";
    }
    void gnome()
    {
        QFETCH(QString, settings);
        QFETCH(QString, url);
        QVERIFY(SetGnomeProxy(settings));
        qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
        QTEST(Describe(DesktopProxyFor(QUrl(url))), "expected");
    }

    // Entries of [Proxy Settings] separated by "|"; a system file under the user's.
    void plasma_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");
        const QString http = QStringLiteral("http://files.example.net/a.mkv"), https = "https://files.example.net/";
        const QString manual = QStringLiteral("ProxyType=1|httpProxy=http://proxy.example 3128|");
        const QString proxy = QStringLiteral("http://proxy.example:3128");
        QTest::newRow("no file: none") << QString() << QString() << http << "direct";
        QTest::newRow("type 0") << "ProxyType=0|httpProxy=http://proxy.example 3128" << QString() << http << "direct";
        QTest::newRow("\"host port\"") << manual << QString() << http << proxy;
        QTest::newRow("\"host:port\", https") << manual + "httpsProxy=http://secure.example:8443" << QString() << https
                                               << "http://secure.example:8443";
        QTest::newRow("no https proxy: SOCKS") << manual + "socksProxy=socks://sock.example 1080" << QString() << https
                                               << "socks5h://sock.example:1080";
        QTest::newRow("no scheme, credentials, IPv6") << "ProxyType = 1|httpProxy = u:p%40w@[::1] 3128" << QString()
                                                      << http << "http://[::1]:3128 u:p@w";
        QTest::newRow("port no number")
            << "ProxyType=1|httpProxy=proxy.example eighty" << QString() << http << "unusable";
        QTest::newRow("exception wildcard") << manual + "NoProxyFor=localhost, *.example.net" << QString() << http
                                            << "direct";
        QTest::newRow("exceptions reversed") << manual + "NoProxyFor=.example.net|ReversedException=true" << QString()
                                             << "http://example.com/" << "direct";
        QTest::newRow("script") << "ProxyType=2|Proxy Config Script=http://wpad/wpad.dat" << QString() << http << "Qt";
        QTest::newRow("detection") << "ProxyType=3" << QString() << http << "Qt";
        QTest::newRow("variables named") << "ProxyType=4|httpProxy=VELMORA_UNSET,VELMORA_TEST_PROXY" << QString()
                                         << http << "http://env.example:3129";
        QTest::newRow("other groups, translations")
            << "ProxyType=1|[Other]|httpProxy=http://wrong.example 1|"
               "[Proxy Settings]|httpProxy[de]=x 2|httpProxy=proxy.example:3128"
            << QString() << http << proxy;
        QTest::newRow("system file") << QString() << manual << http << proxy;
        QTest::newRow("user's entry over it") << "httpProxy=http://mine.example 8080" << manual << http
                                              << "http://mine.example:8080";
    }
    void plasma()
    {
        QFETCH(QString, user);
        QFETCH(QString, system);
        QFETCH(QString, url);
        for (const auto &[text, folder] : {std::pair(user, "config"), std::pair(system, "system")}) {
            if (!text.isEmpty())
                QVERIFY(WriteFile(kioslaverc(folder),
                                  "[Proxy Settings]\n" + QString(text).replace('|', '\n').toUtf8()));
        }
        qputenv("VELMORA_TEST_PROXY", "env.example:3129");
        qputenv("XDG_CURRENT_DESKTOP", "KDE");
        QTEST(Describe(DesktopProxyFor(QUrl(url))), "expected");
    }

    // A fetch goes through the proxy only the desktop names, with the
    // desktop's credentials, and brings the whole file.
    void fetchThroughDesktopProxy_data()
    {
        QTest::addColumn<Desktop>("desktop");
        QTest::newRow("GNOME, HTTP proxy with credentials") << Desktop::Gnome;
        QTest::newRow("Plasma, SOCKS") << Desktop::Plasma;
    }
    void fetchThroughDesktopProxy()
    {
        QFETCH(Desktop, desktop);
        HttpServer server;
        QVERIFY(server.start());
        server.addGeneratedFile(QStringLiteral("/f.bin"), 50000);
        HttpProxy httpProxy;
        Socks5Proxy socks;
        const bool gnome = desktop == Desktop::Gnome;
        ProxyBase &proxy = gnome ? static_cast<ProxyBase &>(httpProxy) : socks;
        proxy.setCredentials(gnome ? "du" : "", gnome ? "dp" : "");
        QVERIFY(proxy.start());
        const QString port = QString::number(proxy.port());
        if (gnome)
            QVERIFY(SetGnomeProxy("mode='manual'; http/host='127.0.0.1'; http/port=" + port + "; ignore-hosts=@as []; "
                                  "http/use-authentication=true; http/authentication-user='du'; "
                                  "http/authentication-password='dp'"));
        else
            QVERIFY(WriteFile(kioslaverc("config"), "[Proxy Settings]\nProxyType=1\nsocksProxy=socks://127.0.0.1 "
                                                        + port.toLatin1()));
        // GNOME on Xorg as older display managers name it, without XDG_CURRENT_DESKTOP.
        qputenv(gnome ? "DESKTOP_SESSION" : "XDG_CURRENT_DESKTOP", gnome ? "gnome-xorg" : "KDE");
        const FetchResult result = Inet().Fetch(server.url(QStringLiteral("/f.bin")));
        QCOMPARE(result.status, FetchStatus::Ok);
        QCOMPARE(Sha256(result.body), Sha256(GeneratedBytes(0, 50000)));
        const QList<ProxyLog> log = proxy.requests();
        QVERIFY(!log.isEmpty());
        if (gnome)
            QCOMPARE(log.last().proxyAuthorization, "Basic " + QByteArray("du:dp").toBase64());
        else
            QCOMPARE(log.last().target, server.hostPort().toLatin1());
    }
};

QTEST_GUILESS_MAIN(tst_DesktopProxy)
#include "tst_desktopproxy.moc"
