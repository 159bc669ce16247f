// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's proxy settings as the user's desktop keeps them: GNOME's in
// dconf, written with `gsettings` over a session bus of the test's own;
// Plasma's in kioslaverc files of temporary configuration folders. Then a
// fetch through a loopback proxy that only the desktop's settings name.
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

// "Qt" when the desktop leaves the choice to Qt's query, "direct", or the
// proxy as curl takes it, with " user:password" when there are credentials.
QString Describe(const std::optional<ProxyChoice> &choice)
{
    if (!choice)
        return QStringLiteral("Qt");
    if (choice->direct())
        return QStringLiteral("direct");
    QString text = QString::fromLatin1(choice->curlAddress());
    if (!choice->userName.isEmpty())
        text += QLatin1Char(' ') + choice->userName + QLatin1Char(':') + choice->password;
    return text;
}

// Runs `gsettings ARGS` as the user's settings tools do; true when it succeeded.
bool Gsettings(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("gsettings"), args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Each line "KEY=VALUE" or "CHILD/KEY=VALUE" (child: http, https, socks),
// the value as `gsettings set` takes it.
bool SetGnomeProxy(const QStringList &lines)
{
    if (!Gsettings({QStringLiteral("reset-recursively"), QStringLiteral("org.gnome.system.proxy")}))
        return false;
    for (const QString &line : lines) {
        const QString key = line.section(QLatin1Char('='), 0, 0);
        QString schema = QStringLiteral("org.gnome.system.proxy");
        if (key.contains(QLatin1Char('/')))
            schema += QLatin1Char('.') + key.section(QLatin1Char('/'), 0, 0);
        if (!Gsettings({QStringLiteral("set"), schema, key.section(QLatin1Char('/'), -1), line.section(QLatin1Char('='), 1)}))
            return false;
    }
    return true;
}

// A session bus of the test's own. The bus starts dconf's writer for
// `gsettings`, with the folders this process set before.
class PrivateSessionBus
{
public:
    bool start()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        while (m_daemon.waitForReadyRead(10000) && !m_daemon.canReadLine()) {
        }
        const QByteArray address = m_daemon.readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        // GSettings shares GIO's connection to the bus, which by default ends
        // the process when the bus goes: here the bus ends first.
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

    QString userConfig() const { return root.filePath(QStringLiteral("config")); }
    QString systemConfig() const { return root.filePath(QStringLiteral("system")); }

private slots:
    void initTestCase()
    {
        QVERIFY(root.isValid());
        // GLib keeps the folders it first sees, so they are set before anything asks.
        for (const QString &folder : {userConfig(), systemConfig(), root.filePath(QStringLiteral("runtime"))})
            QVERIFY(QDir().mkpath(folder));
        QFile::setPermissions(root.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(userConfig()));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(systemConfig()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root.filePath(QStringLiteral("runtime"))));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(root.filePath(QStringLiteral("cache"))));
        qunsetenv("GSETTINGS_BACKEND");
        QVERIFY(bus.start());
        QVERIFY2(Gsettings({QStringLiteral("list-keys"), QStringLiteral("org.gnome.system.proxy")}),
                 "needs gsettings (libglib2.0-bin), gsettings-desktop-schemas and dconf-gsettings-backend");
    }
    void init()
    {
        for (const char *name : kClearedVariables)
            qunsetenv(name);
        QFile::remove(userConfig() + QLatin1String("/kioslaverc"));
        QFile::remove(systemConfig() + QLatin1String("/kioslaverc"));
    }

    // The desktop is named by XDG_CURRENT_DESKTOP, a list; DESKTOP_SESSION
    // only where that is not set. GNOME on Xorg counts as GNOME.
    void whichDesktop_data()
    {
        QTest::addColumn<QByteArray>("current");
        QTest::addColumn<QByteArray>("session");
        QTest::addColumn<Desktop>("desktop");
        QTest::newRow("GNOME, Xorg") << QByteArray("GNOME") << QByteArray("gnome-xorg") << Desktop::Gnome;
        QTest::newRow("GNOME in a list") << QByteArray("ubuntu:GNOME") << QByteArray("ubuntu") << Desktop::Gnome;
        QTest::newRow("GNOME Classic") << QByteArray("GNOME-Classic:GNOME") << QByteArray() << Desktop::Gnome;
        QTest::newRow("Plasma") << QByteArray("KDE") << QByteArray("plasmawayland") << Desktop::Plasma;
        QTest::newRow("another desktop wins over the session")
            << QByteArray("XFCE") << QByteArray("gnome") << Desktop::Other;
        QTest::newRow("session alone") << QByteArray() << QByteArray("gnome-wayland") << Desktop::Gnome;
        QTest::newRow("session as a path") << QByteArray() << QByteArray("/usr/share/xsessions/plasma")
                                           << Desktop::Plasma;
        QTest::newRow("nothing") << QByteArray() << QByteArray() << Desktop::Other;
    }
    void whichDesktop()
    {
        QFETCH(QByteArray, current);
        QFETCH(QByteArray, session);
        QFETCH(Desktop, desktop);
        qputenv("XDG_CURRENT_DESKTOP", current);
        qputenv("DESKTOP_SESSION", session);
        QCOMPARE(CurrentDesktop(), desktop);
    }

    void gnome_data()
    {
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");
        const QString http = QStringLiteral("http://files.example.net/a.mkv");
        const QString https = QStringLiteral("https://files.example.net/a.mkv");
        const QStringList manual = {QStringLiteral("mode='manual'"), QStringLiteral("http/host='proxy.example'"),
                                    QStringLiteral("http/port=3128")};
        QTest::newRow("defaults: none") << QStringList() << http << "direct";
        QTest::newRow("none, hosts kept") << QStringList(manual).replaceInStrings("manual", "none") << http
                                          << "direct";
        QTest::newRow("auto: a script") << QStringList({"mode='auto'", "autoconfig-url='http://wpad/wpad.dat'"})
                                        << http << "Qt";
        QTest::newRow("manual, http") << manual << http << "http://proxy.example:3128";
        QTest::newRow("http/proxy=serves https") << manual << https << "http://proxy.example:3128";
        QTest::newRow("https/proxy=of its own")
            << (manual + QStringList({"https/host='secure.example'", "https/port=8443"})) << https
            << "http://secure.example:8443";
        QTest::newRow("port 0: unset, SOCKS serves")
            << QStringList({"mode='manual'", "http/host='proxy.example'", "http/port=0", "socks/host='sock.example'",
                            "socks/port=1080"})
            << http << "socks5h://sock.example:1080";
        QTest::newRow("credentials") << (manual + QStringList({"http/use-authentication=true",
                                                               "http/authentication-user='u@x'",
                                                               "http/authentication-password='p w'"}))
                                     << https << "http://proxy.example:3128 u@x:p w";
        QTest::newRow("credentials not in use")
            << (manual + QStringList({"http/authentication-user='u'", "http/authentication-password='p'"})) << http
            << "http://proxy.example:3128";
        QTest::newRow("ignore-hosts default: loopback") << manual << "http://127.0.0.5:8417/x" << "direct";
        QTest::newRow("ignore-hosts wildcard")
            << (manual + QStringList({"ignore-hosts=['localhost','*.example.net']"})) << http << "direct";
        QTest::newRow("ignore-hosts, another host")
            << (manual + QStringList({"ignore-hosts=['*.example.net']"})) << "http://example.com/" << "http://proxy.example:3128";
        QTest::newRow("IPv6 host, address typed as host")
            << QStringList({"mode='manual'", "http/host='http://[::1]/'", "http/port=3128"}) << http
            << "http://[::1]:3128";
    }
    void gnome()
    {
        QFETCH(QStringList, settings);
        QFETCH(QString, url);
        QFETCH(QString, expected);
        QVERIFY(SetGnomeProxy(settings));
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        QCOMPARE(Describe(DesktopProxyFor(QUrl(url))), expected);
        qputenv("XDG_CURRENT_DESKTOP", "XFCE");  // another desktop's user: none of GNOME's settings
        QCOMPARE(Describe(DesktopProxyFor(QUrl(url))), QStringLiteral("Qt"));
    }

    void plasma_data()
    {
        QTest::addColumn<QByteArray>("user");    // the user's kioslaverc; "" = none
        QTest::addColumn<QByteArray>("system");  // the one in XDG_CONFIG_DIRS
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");
        const QString http = QStringLiteral("http://files.example.net/a.mkv");
        const QString https = QStringLiteral("https://files.example.net/a.mkv");
        const QByteArray group = "[Proxy Settings]\n";
        const QByteArray manual = group + "ProxyType=1\nhttpProxy=http://proxy.example 3128\n";
        QTest::newRow("no file: none") << QByteArray() << QByteArray() << http << "direct";
        QTest::newRow("type 0, proxies kept") << group + "ProxyType=0\nhttpProxy=http://proxy.example 3128\n"
                                              << QByteArray() << http << "direct";
        QTest::newRow("manual, \"host port\"") << manual << QByteArray() << http << "http://proxy.example:3128";
        QTest::newRow("manual, \"host:port\", https")
            << manual + "httpsProxy=http://secure.example:8443\n" << QByteArray() << https
            << "http://secure.example:8443";
        QTest::newRow("no https proxy: SOCKS")
            << manual + "socksProxy=socks://sock.example 1080\n" << QByteArray() << https
            << "socks5h://sock.example:1080";
        QTest::newRow("no scheme, spaces, credentials, IPv6")
            << group + "ProxyType = 1\nhttpProxy = u:p%40w@[::1] 3128\n" << QByteArray() << http
            << "http://[::1]:3128 u:p@w";
        QTest::newRow("port not a number") << group + "ProxyType=1\nhttpProxy=http://proxy.example eighty\n"
                                           << QByteArray() << http << "direct";
        QTest::newRow("NoProxyFor wildcard") << manual + "NoProxyFor=localhost, *.example.net\n" << QByteArray()
                                             << http << "direct";
        QTest::newRow("NoProxyFor, another host")
            << manual + "NoProxyFor=localhost,.example.net\n" << QByteArray() << "http://example.com/"
            << "http://proxy.example:3128";
        QTest::newRow("reversed: listed host proxied")
            << manual + "NoProxyFor=.example.net\nReversedException=true\n" << QByteArray() << http
            << "http://proxy.example:3128";
        QTest::newRow("reversed: others direct")
            << manual + "NoProxyFor=.example.net\nReversedException=true\n" << QByteArray() << "http://example.com/"
            << "direct";
        QTest::newRow("script") << group + "ProxyType=2\nProxy Config Script=http://wpad/wpad.dat\n" << QByteArray()
                                << http << "Qt";
        QTest::newRow("detection") << group + "ProxyType=3\n" << QByteArray() << http << "Qt";
        QTest::newRow("environment names") << group + "ProxyType=4\nhttpProxy=VELMORA_UNSET,VELMORA_TEST_PROXY\n"
                                           << QByteArray() << http << "http://env.example:3129";
        QTest::newRow("environment names, none set") << group + "ProxyType=4\nhttpProxy=VELMORA_UNSET\n"
                                                     << QByteArray() << http << "direct";
        QTest::newRow("other groups ignored")
            << "[Other]\nProxyType=1\nhttpProxy=http://wrong.example 1\n" + manual + "[Next]\nhttpProxy=x 2\n"
            << QByteArray() << http << "http://proxy.example:3128";
        QTest::newRow("translated entry ignored")
            << manual + "httpProxy[de]=http://wrong.example 1\n" << QByteArray() << http << "http://proxy.example:3128";
        QTest::newRow("system file alone") << QByteArray() << manual << http << "http://proxy.example:3128";
        QTest::newRow("user's entry over the system's")
            << group + "httpProxy=http://mine.example 8080\n" << manual << http << "http://mine.example:8080";
    }
    void plasma()
    {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, system);
        QFETCH(QString, url);
        QFETCH(QString, expected);
        if (!user.isEmpty())
            QVERIFY(WriteFile(userConfig() + QLatin1String("/kioslaverc"), user));
        if (!system.isEmpty())
            QVERIFY(WriteFile(systemConfig() + QLatin1String("/kioslaverc"), system));
        qputenv("VELMORA_TEST_PROXY", "env.example:3129");
        qputenv("XDG_CURRENT_DESKTOP", "KDE");
        QCOMPARE(Describe(DesktopProxyFor(QUrl(url))), expected);
    }

    // A fetch goes through the proxy that only the desktop's settings name,
    // with the desktop's credentials, and brings the whole file.
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
        ProxyBase &proxy = desktop == Desktop::Gnome ? static_cast<ProxyBase &>(httpProxy) : socks;
        if (desktop == Desktop::Gnome)
            proxy.setCredentials("du", "dp");
        QVERIFY(proxy.start());
        const QString port = QString::number(proxy.port());
        if (desktop == Desktop::Gnome) {
            QVERIFY(SetGnomeProxy({"mode='manual'", "http/host='127.0.0.1'", "http/port=" + port,
                                   "http/use-authentication=true", "http/authentication-user='du'",
                                   "http/authentication-password='dp'", "ignore-hosts=@as []"}));
            qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        } else {
            QVERIFY(WriteFile(userConfig() + QLatin1String("/kioslaverc"),
                              "[Proxy Settings]\nProxyType=1\nsocksProxy=socks://127.0.0.1 " + port.toLatin1() + '\n'));
            qputenv("XDG_CURRENT_DESKTOP", "KDE");
        }
        Inet inet;
        const FetchResult result = inet.Fetch(server.url(QStringLiteral("/f.bin")));
        QCOMPARE(result.status, FetchStatus::Ok);
        QCOMPARE(Sha256(result.body), Sha256(GeneratedBytes(0, 50000)));
        const QList<ProxyLog> log = proxy.requests();
        QVERIFY(!log.isEmpty());
        if (desktop == Desktop::Gnome)
            QCOMPARE(log.last().proxyAuthorization, "Basic " + QByteArray("du:dp").toBase64());
        else
            QCOMPARE(log.last().target, server.hostPort().toLatin1());
    }
};

QTEST_GUILESS_MAIN(tst_DesktopProxy)
#include "tst_desktopproxy.moc"
