// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Where the Download button sends an address, and which addresses the
// browser component may pass on to the desktop.
#include "catalogue/core/handoff.h"
#include "catalogue/ui/webbrowser.h"

#include <QDesktopServices>
#include <QUrl>
#include <QtTest>

using namespace velmora;

// Receives the addresses the desktop would open.
class DesktopCatcher : public QObject
{
    Q_OBJECT
public:
    QStringList urls;
public slots:
    void open(const QUrl &url) { urls << url.toString(); }
};

class tst_HandOff : public QObject
{
    Q_OBJECT
private slots:
    void route_data();
    void route();
    void desktop_data();
    void desktop();
    void browserWithholdsButStaysBusy();
    void browserSaysWhenNothingOpensIt();
};

void tst_HandOff::route_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("download");
    QTest::newRow("http") << "http://h/a.mp3" << true;
    QTest::newRow("HTTP capitals") << "HTTP://h/a.mp3" << true;
    QTest::newRow("https") << "https://h/a.mp3" << false;
    QTest::newRow("ftp") << "ftp://h/a.mp3" << false;
    QTest::newRow("relative") << "a.mp3" << false;
    QTest::newRow("blank before the scheme") << " http://h/a.mp3" << false;
    QTest::newRow("scheme and colon only") << "http:a.mp3" << false;
}

void tst_HandOff::route()
{
    QFETCH(QString, address);
    QFETCH(bool, download);
    QCOMPARE(HandOffFor(address) == HandOff::DownloadWindow, download);
}

void tst_HandOff::desktop_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("https") << "https://example.org/a.mp3" << true;
    QTest::newRow("HTTPS capitals") << "HTTPS://example.org/a.mp3" << true;
    QTest::newRow("ftp with port and user") << "ftp://u@h.example:2121/x/a.mp3" << true;
    QTest::newRow("mms stream") << "mms://media.example/live" << true;
    QTest::newRow("rtsp stream") << "rtsp://media.example/live" << true;
    QTest::newRow("space in the path") << "ftp://h/My Song.mp3" << true;
    QTest::newRow("Chinese path") << "https://h/歌曲.mp3" << true;
    QTest::newRow("magnet") << "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=Ep01.mkv" << true;
    QTest::newRow("MAGNET capitals") << "MAGNET:?xt=urn:btih:0123456789abcdef" << true;
    QTest::newRow("ed2k") << "ed2k://|file|Ep01.mkv|367001600|0123456789ABCDEF0123456789ABCDEF|/" << true;

    QTest::newRow("file") << "file:///etc/passwd" << false;
    QTest::newRow("FILE capitals") << "FILE:///etc/passwd" << false;
    QTest::newRow("file with host") << "file://server/share/a.exe" << false;
    QTest::newRow("data") << "data:text/html,<script>alert(1)</script>" << false;
    QTest::newRow("javascript") << "javascript:alert(1)" << false;
    QTest::newRow("javascript with slashes") << "javascript://h/%0Aalert(1)" << false;
    QTest::newRow("mailto") << "mailto:a@example.org" << false;
    QTest::newRow("magnet without a query") << "magnet:" << false;
    QTest::newRow("magnet with nothing asked") << "magnet:?" << false;
    QTest::newRow("magnet with slashes") << "magnet://h/x" << false;
    QTest::newRow("ed2k without its fields") << "ed2k://h/x.mkv" << false;
    QTest::newRow("magnet with a zero-width space")
        << QStringLiteral("magnet:?xt=urn:btih:01") + QChar(0x200b) + QStringLiteral("23") << false;
    QTest::newRow("ed2k with a line break") << "ed2k://|file|a.mkv|1|AB|/\nfile:///etc/passwd" << false;
    QTest::newRow("smb share") << "smb://server/share/a.exe" << false;
    QTest::newRow("unknown scheme") << "velmora-open://h/a" << false;
    QTest::newRow("relative") << "a.mp3" << false;
    QTest::newRow("rooted path") << "/etc/passwd" << false;
    QTest::newRow("scheme-relative") << "//h/a.mp3" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("no host") << "https:///etc/passwd" << false;
    QTest::newRow("scheme without slashes") << "https:example.org" << false;
    QTest::newRow("blank in front") << " https://h/a.mp3" << false;
    QTest::newRow("newline inside") << "https://h/a\n.mp3" << false;
    QTest::newRow("carriage return at the end") << "https://h/a.mp3\r" << false;
    QTest::newRow("tab") << "https://h/\ta.mp3" << false;
    QTest::newRow("NUL") << QStringLiteral("https://h/a.mp3") + QChar(0) + QStringLiteral("x") << false;
    QTest::newRow("DEL") << "https://h/a\x7f.mp3" << false;
    QTest::newRow("C1 control") << QStringLiteral("https://h/a") + QChar(0x85) + QStringLiteral(".mp3") << false;
    QTest::newRow("right-to-left override") << QStringLiteral("https://h/") + QChar(0x202e) + QStringLiteral("3pm.exe")
                                            << false;
}

void tst_HandOff::desktop()
{
    QFETCH(QString, address);
    QFETCH(bool, allowed);
    QCOMPARE(MayOpenOnDesktop(address), allowed);
}

// The browser component hands on what the rule allows and nothing else; a
// withheld address still counts as a navigation, so the status line of the
// main window behaves the same either way.
void tst_HandOff::browserWithholdsButStaysBusy()
{
    DesktopCatcher catcher;
    const QStringList schemes = {"https", "file", "data", "javascript", "mailto", ""};
    for (const QString &scheme : schemes)
        QDesktopServices::setUrlHandler(scheme, &catcher, "open");

    WebBrowser browser;
    browser.setBusyDuration(60000);
    browser.Navigate(QStringLiteral("https://h/a.mp3"));
    QCOMPARE(catcher.urls, QStringList{QStringLiteral("https://h/a.mp3")});
    QVERIFY(browser.Busy());

    for (const QString &address : {QStringLiteral("file:///etc/passwd"), QStringLiteral("data:text/plain,x"),
                                   QStringLiteral("javascript:alert(1)"), QStringLiteral("mailto:a@b"),
                                   QStringLiteral("a.mp3"), QStringLiteral("https://h/a\r\n.mp3")}) {
        browser.Stop();
        QVERIFY(!browser.Busy());
        browser.Navigate(address);
        QVERIFY2(browser.Busy(), qPrintable(address));
        QCOMPARE(browser.lastAddress(), address);
    }
    QCOMPARE(catcher.urls.size(), 1);

    for (const QString &scheme : schemes)
        QDesktopServices::unsetUrlHandler(scheme);
}

// The desktop's answer comes back: taken, withheld, or no program for it
// (this test platform has no desktop services, so an address without a
// handler of our own finds none).
void tst_HandOff::browserSaysWhenNothingOpensIt()
{
    DesktopCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("magnet"), &catcher, "open");
    WebBrowser browser;
    const QString magnet = QStringLiteral("magnet:?xt=urn:btih:0123456789abcdef&dn=a.mkv");
    QCOMPARE(browser.Navigate(magnet), Navigation::Opened);
    QCOMPARE(catcher.urls, QStringList{magnet});
    QCOMPARE(browser.Navigate(QStringLiteral("javascript:alert(1)")), Navigation::Withheld);
    QDesktopServices::unsetUrlHandler(QStringLiteral("magnet"));
    QCOMPARE(browser.Navigate(magnet), Navigation::NoHandler);
    QVERIFY(browser.Busy());  // the status line follows it as for any navigation
    QCOMPARE(catcher.urls.size(), 1);
}

QTEST_MAIN(tst_HandOff)
#include "tst_handoff.moc"
