// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The Folder button's request to the file manager, on a private D-Bus session
// bus started for the test, with a file manager service living in the test;
// and the way back to opening the folder when none answers.
#include "download/ui/showinfolder.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
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
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        Q_UNUSED(startupId);
        if (silent) {
            setDelayedReply(true);
            return;
        }
        shown << uris;
    }
};

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

} // namespace

class tst_ShowInFolder : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QProcess busDaemon;
    QString busAddress;
    UrlCatcher catcher;
    QString file;

    // Runs ShowInFolder and waits for its answer. Nothing here waits for a
    // clock: the guard only turns a hang into a failure.
    FolderShown show(const QDBusConnection &bus, int timeoutMs = 60000)
    {
        struct Wait {
            std::optional<FolderShown> result;
            QEventLoop *loop = nullptr;
        };
        auto wait = std::make_shared<Wait>();
        ShowInFolderOptions options;
        options.bus = bus;
        options.timeoutMs = timeoutMs;
        options.done = [wait](FolderShown shown) {
            wait->result = shown;
            if (wait->loop)
                wait->loop->quit();
        };
        ShowInFolder(file, options);
        if (!wait->result) {
            QEventLoop loop;
            wait->loop = &loop;
            QTimer::singleShot(30000, &loop, &QEventLoop::quit);
            loop.exec();
            wait->loop = nullptr;
        }
        return wait->result.value_or(FolderShown::NothingOpened);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        // A name a URI must encode.
        file = dir.filePath(QStringLiteral("星空 回廊#1.mkv"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");

        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        // A bus of its own: no activatable services, so nothing real is started.
        const QString config = dir.filePath(QStringLiteral("bus.conf"));
        QFile c(config);
        QVERIFY(c.open(QIODevice::WriteOnly));
        c.write("<busconfig><type>session</type><listen>unix:dir=" + QFile::encodeName(dir.path())
                + "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                  "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/><allow own=\"*\"/>"
                  "</policy></busconfig>\n");
        c.close();
        busDaemon.start(daemon, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                                 QStringLiteral("--print-address=1")});
        QVERIFY(busDaemon.waitForStarted());
        while (!busDaemon.canReadLine() && busDaemon.waitForReadyRead(30000)) {}
        busAddress = QString::fromUtf8(busDaemon.readLine()).trimmed();
        QVERIFY2(!busAddress.isEmpty(), busDaemon.readAllStandardError().constData());
    }
    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        busDaemon.kill();
        busDaemon.waitForFinished();
    }
    void init() { catcher.urls.clear(); }

    void noBusOpensTheFolderAtOnce()
    {
        const QDBusConnection none =
            QDBusConnection::connectToBus(QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("no-bus")),
                                          QStringLiteral("none"));
        QVERIFY(!none.isConnected());
        std::optional<FolderShown> result;
        ShowInFolderOptions options;
        options.bus = none;
        options.done = [&](FolderShown shown) { result = shown; };
        ShowInFolder(file, options);
        QCOMPARE(result, std::optional<FolderShown>(FolderShown::FolderOpened));  // before returning
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl::fromLocalFile(dir.path() + QLatin1Char('/'))}));
    }

    void fileManagerSelectsTheFile()
    {
        if (busAddress.isEmpty())
            QSKIP("dbus-daemon is not installed (Debian package dbus-daemon)");
        QDBusConnection service = QDBusConnection::connectToBus(busAddress, QStringLiteral("file-manager"));
        QDBusConnection caller = QDBusConnection::connectToBus(busAddress, QStringLiteral("caller"));
        QVERIFY(service.isConnected() && caller.isConnected());
        FakeFileManager manager;
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));

        QCOMPARE(show(caller), FolderShown::FileSelected);
        QCOMPARE(manager.shown, QList<QStringList>({{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)}}));
        QVERIFY(manager.shown[0][0].endsWith(QStringLiteral("/%E6%98%9F%E7%A9%BA%20%E5%9B%9E%E5%BB%8A%231.mkv")));
        QVERIFY(catcher.urls.isEmpty());

        // A file manager that takes the call but never answers: the folder
        // is opened once the call has timed out.
        manager.silent = true;
        QCOMPARE(show(caller, 200), FolderShown::FolderOpened);
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl::fromLocalFile(dir.path() + QLatin1Char('/'))}));

        service.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        service.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
        QDBusConnection::disconnectFromBus(QStringLiteral("file-manager"));
        QDBusConnection::disconnectFromBus(QStringLiteral("caller"));
    }

    void busWithoutFileManagerOpensTheFolder()
    {
        if (busAddress.isEmpty())
            QSKIP("dbus-daemon is not installed (Debian package dbus-daemon)");
        QDBusConnection caller = QDBusConnection::connectToBus(busAddress, QStringLiteral("lonely"));
        QVERIFY(caller.isConnected());
        QVERIFY(!caller.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.FileManager1")));
        // The bus says at once that nobody has the name: no timeout is waited for.
        QCOMPARE(show(caller), FolderShown::FolderOpened);
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl::fromLocalFile(dir.path() + QLatin1Char('/'))}));
        QDBusConnection::disconnectFromBus(QStringLiteral("lonely"));
    }
};

QTEST_MAIN(tst_ShowInFolder)
#include "tst_showinfolder.moc"
