// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The Folder button's request to the file manager, answered by one living in
// the test on a private peer-to-peer D-Bus connection (nothing real is asked
// or started); and the way back to opening the folder when none answers.
#include "download/ui/showinfolder.h"
#include "testsupport.h"

#include <QDBusContext>
#include <QDBusServer>
#include <QtTest>

using namespace velmora;

namespace {

// org.freedesktop.FileManager1 as file managers offer it; only ShowItems is used.
class FakeFileManager : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> shown;
    bool silent = false;  // takes the call and never answers

public slots:
    void ShowItems(const QStringList &uris, const QString &)
    {
        if (silent)
            setDelayedReply(true);
        else
            shown << uris;
    }
};

} // namespace

class tst_ShowInFolder : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    testing::DesktopUrlCatcher catcher;
    QString file;
    QUrl folder;

    // ShowInFolder's answer, once it comes.
    std::shared_ptr<std::optional<FolderShown>> show(const QDBusConnection &bus, int timeoutMs = 60000)
    {
        auto result = std::make_shared<std::optional<FolderShown>>();
        ShowInFolderOptions options;
        options.bus = bus;
        options.timeoutMs = timeoutMs;
        options.done = [result](FolderShown shown) { *result = shown; };
        ShowInFolder(file, options);
        return result;
    }

    void expectShown(const QDBusConnection &bus, FolderShown expected, int timeoutMs = 60000)
    {
        const auto shown = show(bus, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(shown->has_value(), 30000);
        QCOMPARE(**shown, expected);
    }

private slots:
    void initTestCase()
    {
        // A name a URI must encode.
        file = dir.filePath(QStringLiteral("星空 回廊#1.mkv"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        folder = QUrl::fromLocalFile(dir.path() + QLatin1Char('/'));
    }
    void init() { catcher.urls.clear(); }

    void noBusOpensTheFolderAtOnce()
    {
        const auto shown = show(QDBusConnection(QStringLiteral("never connected")));
        QCOMPARE(*shown, std::optional<FolderShown>(FolderShown::FolderOpened));  // before returning
        QCOMPARE(catcher.urls, QList<QUrl>({folder}));
    }

    void fileManagerSelectsTheFile()
    {
        QDBusServer server(QStringLiteral("unix:dir=") + dir.path());
        QVERIFY(server.isConnected());
        FakeFileManager manager;
        const QString path = QStringLiteral("/org/freedesktop/FileManager1");
        QString peer;
        connect(&server, &QDBusServer::newConnection, this, [&](QDBusConnection connection) {
            peer = connection.name();
            connection.registerObject(path, &manager, QDBusConnection::ExportAllSlots);
        });
        QSignalSpy joined(&server, &QDBusServer::newConnection);
        QDBusConnection caller = QDBusConnection::connectToPeer(server.address(), QStringLiteral("caller"));
        QVERIFY(caller.isConnected());
        QVERIFY(!peer.isEmpty() || joined.wait(30000));

        expectShown(caller, FolderShown::FileSelected);
        QCOMPARE(manager.shown, QList<QStringList>({{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)}}));
        QVERIFY(manager.shown[0][0].endsWith(QStringLiteral("/%E6%98%9F%E7%A9%BA%20%E5%9B%9E%E5%BB%8A%231.mkv")));
        QVERIFY(catcher.urls.isEmpty());

        // A file manager that takes the call but never answers: the folder
        // is opened once the call has timed out.
        manager.silent = true;
        expectShown(caller, FolderShown::FolderOpened, 200);
        QCOMPARE(catcher.urls, QList<QUrl>({folder}));

        // None there: the peer says so at once, long before the call would time out.
        QDBusConnection(peer).unregisterObject(path);
        expectShown(caller, FolderShown::FolderOpened);
        QCOMPARE(catcher.urls.size(), 2);
        QDBusConnection::disconnectFromPeer(QStringLiteral("caller"));
    }
};

QTEST_MAIN(tst_ShowInFolder)
#include "tst_showinfolder.moc"
