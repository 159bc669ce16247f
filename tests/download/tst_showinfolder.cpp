// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The Folder button's request to the file manager, answered by one living in
// the test on a private peer-to-peer D-Bus connection (nothing real is asked
// or started); and the way back to opening the folder when it does not answer.
// (Without a bus the folder opens at once: the download window's test.)
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

    // Runs ShowInFolder and checks how the file was shown, once that is known.
    void expectShown(const QString &file, const QDBusConnection &bus, int timeoutMs, FolderShown expected)
    {
        auto result = std::make_shared<std::optional<FolderShown>>();
        ShowInFolderOptions options;
        options.bus = bus;
        options.timeoutMs = timeoutMs;
        options.done = [result](FolderShown shown) { *result = shown; };
        ShowInFolder(file, options);
        QTRY_VERIFY_WITH_TIMEOUT(result->has_value(), 30000);
        QCOMPARE(**result, expected);
    }

private slots:
    void fileManagerSelectsTheFile()
    {
        const QString file = dir.filePath(QStringLiteral("星空 回廊#1.mkv"));  // a name a URI must encode
        QVERIFY(testing::WriteFile(file, QByteArray()));
        testing::DesktopUrlCatcher catcher;
        QDBusServer server(QStringLiteral("unix:dir=") + dir.path());
        QVERIFY(server.isConnected());
        FakeFileManager manager;
        bool joined = false;
        connect(&server, &QDBusServer::newConnection, this, [&](QDBusConnection connection) {
            joined = connection.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                               QDBusConnection::ExportAllSlots);
        });
        QDBusConnection caller = QDBusConnection::connectToPeer(server.address(), QStringLiteral("caller"));
        QVERIFY(caller.isConnected());
        QTRY_VERIFY_WITH_TIMEOUT(joined, 30000);

        expectShown(file, caller, 60000, FolderShown::FileSelected);
        QCOMPARE(manager.shown, QList<QStringList>({{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)}}));
        QVERIFY(manager.shown[0][0].endsWith(QStringLiteral("/%E6%98%9F%E7%A9%BA%20%E5%9B%9E%E5%BB%8A%231.mkv")));
        QVERIFY(catcher.urls.isEmpty());

        // A file manager that takes the call but never answers: the folder
        // is opened once the call has timed out.
        manager.silent = true;
        expectShown(file, caller, 200, FolderShown::FolderOpened);
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl::fromLocalFile(dir.path() + QLatin1Char('/'))}));
        QDBusConnection::disconnectFromPeer(QStringLiteral("caller"));
    }
};

QTEST_MAIN(tst_ShowInFolder)
#include "tst_showinfolder.moc"
