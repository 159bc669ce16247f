// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Where a download comes from and where it goes: address splitting, local
// paths, the Save-As start folder (the user's music folder or home, never
// where the program was started) and the free space of the target's file system.
#include "download/core/address.h"
#include "download/core/diskspace.h"
#include "download/core/savelocation.h"

#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

using namespace velmora;

class TestAddress : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    QString home;

private slots:
    void initTestCase()
    {
        home = tmp.filePath(QStringLiteral("home"));
        const QString config = tmp.filePath(QStringLiteral("config"));
        QVERIFY(QDir().mkpath(home) && QDir().mkpath(config) && QDir(tmp.path()).mkdir(QStringLiteral("started-here")));
        qputenv("HOME", home.toUtf8());
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        QVERIFY(QDir::setCurrent(tmp.filePath(QStringLiteral("started-here"))));
    }

    void analyseAddress_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("deep path") << "http://h/x/y/z.rar" << "h" << "z.rar";
        QTest::newRow("port kept") << "http://h:8080/dir/a b.mp3" << "h:8080" << "a b.mp3";
        QTest::newRow("no scheme") << "h/x.mp3" << "h" << "x.mp3";
        QTest::newRow("trailing slash") << "http://h/dir/" << "h" << "";
        // No path after the host: the previous download's values must not survive.
        QTest::newRow("no path") << "http://h:8080" << "h:8080" << "";
    }
    void analyseAddress()
    {
        QFETCH(QString, url);
        QFETCH(QString, server);
        QFETCH(QString, fileName);
        AddressParts st;
        AnalyseAddress(st, QStringLiteral("http://old.example/x/old.rar"));
        AnalyseAddress(st, url);
        QCOMPARE(QStringList({st.strRequestURL, st.strServer, st.strFileName}), QStringList({url, server, fileName}));
        AnalyseAddress(st, QString());  // an empty address changes nothing
        QCOMPARE(QStringList({st.strRequestURL, st.strServer}), QStringList({url, server}));
    }

    void serverAndPort_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("port") << "h:8080" << "h" << 8080;
        QTest::newRow("no colon") << "h" << "h" << 80;
        QTest::newRow("empty port") << "h:" << "h" << 80;
        QTest::newRow("trailing junk") << "h:8080abc" << "h" << 8080;
        QTest::newRow("rounded") << "h:80.6" << "h" << 81;
        QTest::newRow("zero") << "h:0" << "h" << 80;
        QTest::newRow("IPv6 with port") << "[::1]:8080" << "[::1]" << 8080;
        QTest::newRow("IPv6 alone") << "[fe80::1:2]" << "[fe80::1:2]" << 80;
        QTest::newRow("user info, no port") << "u:pw@h" << "u:pw@h" << 80;
        QTest::newRow("user info and port") << "u:pw@h:81" << "u:pw@h" << 81;
    }
    void serverAndPort()
    {
        QFETCH(QString, server);
        QFETCH(QString, host);
        QFETCH(int, port);
        QCOMPARE(RemovePort(server), host);
        QCOMPARE(GetPort(server), port);
        QCOMPARE(HasPort(server), host != server);
    }

    void pathParts_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");     // SplitPath, local, folder part
        QTest::addColumn<QString>("name");       // SplitPath, local, name part
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("fileName");   // FileNameOf: either separator
        QTest::newRow("local path") << "/home/u/m/a.b.mp3" << "/home/u/m/" << "a.b.mp3" << "mp3" << "a.b.mp3";
        QTest::newRow("bare name") << "readme" << "readme" << "readme" << "readme" << "readme";
        // A backslash is an ordinary character in a local name here.
        QTest::newRow("mixed, backslash last") << "C:\\a/b\\c.txt" << "C:\\a/" << "b\\c.txt" << "txt" << "c.txt";
        QTest::newRow("mixed, slash last") << "h/d\\e/f.mp3" << "h/d\\e/" << "f.mp3" << "mp3" << "f.mp3";
    }
    void pathParts()
    {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, extension);
        QFETCH(QString, fileName);
        QCOMPARE(SplitPath(path, false, false), folder);
        QCOMPARE(SplitPath(path, true, false), name);
        QCOMPARE(GetExtension(path), extension);
        QCOMPARE(FileNameOf(path), fileName);
        QCOMPARE(SplitPath(QStringLiteral("http://h/d/") + path, true, true), path.mid(path.lastIndexOf('/') + 1));
    }

    void fileExistsAndLength()
    {
        QFile f(tmp.filePath(QStringLiteral("a.bin")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(10000, 'x'));
        f.close();
        QVERIFY(FileExists(f.fileName()));
        QCOMPARE(FileLength(f.fileName()), qint64(10000));
        // Missing files, folders and nonsense give false / 0 without complaint.
        for (const QString &bad : {tmp.filePath(QStringLiteral("missing")), tmp.path(), QString(),
                                   f.fileName() + QStringLiteral("/inside")}) {
            QVERIFY2(!FileExists(bad), qPrintable(bad));
            QCOMPARE(FileLength(bad), qint64(0));
        }
        // Lengths beyond 32 bits: a sparse 5 GiB file.
        QFile big(tmp.filePath(QStringLiteral("big.bin")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        if (!big.resize(qint64(5) << 30))
            QSKIP("the file system here cannot hold a sparse 5 GiB file");
        big.close();
        QCOMPARE(FileLength(big.fileName()), qint64(5) << 30);
    }

    void saveDialogStartFolder()
    {
        const QString missing = tmp.filePath(QStringLiteral("app/My Music"));
        const QString preferred = tmp.filePath(QStringLiteral("present/My Music"));
        QVERIFY(QDir().mkpath(preferred));
        QCOMPARE(SaveDialogStartFolder(preferred), preferred);

        // No music folder of the user's: home.
        QFile dirs(tmp.filePath(QStringLiteral("config/user-dirs.dirs")));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
        dirs.close();
        QCOMPARE(SaveDialogStartFolder(missing), home);
        QCOMPARE(SaveDialogStartFolder(QString()), home);
        QCOMPARE(InitialSaveFolder(), QDir(home).filePath(QStringLiteral("My Music")));

        const QString tunes = QDir(home).filePath(QStringLiteral("Tunes"));
        QVERIFY(QDir().mkdir(tunes));
        QCOMPARE(SaveDialogStartFolder(missing), tunes);
        QCOMPARE(InitialSaveFolder(), QDir(tunes).filePath(QStringLiteral("My Music")));
    }

    // Every place a download may go is asked on the file system that holds
    // it, through its nearest existing folder.
    void freeSpaceOfTheTargetsFileSystem()
    {
        const QString folder = tmp.filePath(QStringLiteral("started-here"));
        const qint64 there = FreeSpaceOf(folder).value_or(0);
        QVERIFY(there > 0);
        for (const QString &target : {QDir(folder).filePath(QStringLiteral("ep03.mkv")),
                                      QDir(folder).filePath(QStringLiteral("not/made/yet/ep03.mkv")),
                                      QStringLiteral("../started-here/x/ep03.mkv")}) {
            // The same file system: other programs may write meanwhile, so
            // the two figures agree only roughly.
            const qint64 free = FreeSpaceOf(target).value_or(-1);
            QVERIFY2(free > 0 && qAbs(free - there) < (qint64(64) << 20), qPrintable(target));
        }
        if (QStorageInfo(QStringLiteral("/dev/shm")).fileSystemType() == "tmpfs")
            QVERIFY(FreeSpaceOf(QStringLiteral("/dev/shm/velmora-missing/ep03.mkv")).value_or(0) > 0);

        // A file system that keeps no count of its blocks, or no path at all:
        // no answer, and the download is not taken to be short of room.
        for (const QString &none : {QStringLiteral("/proc/self/velmora/ep03.mkv"), QString()}) {
            QVERIFY(!FreeSpaceOf(none).has_value());
            QCOMPARE(DiskFreeSpace(none), std::numeric_limits<qint64>::max());
        }
    }
};

QTEST_GUILESS_MAIN(TestAddress)
#include "tst_address.moc"
