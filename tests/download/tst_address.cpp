// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Where a download comes from and where it goes: addresses, local paths, the
// Save-As start folder (never where the program was started), free space.
#include "download/core/address.h"
#include "download/core/diskspace.h"
#include "download/core/savelocation.h"
#include "testsupport.h"

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

    void analyseAddress()
    {
        // The address; the server and file name taken from it.
        const QStringList rows[] = {
            {"http://h:8080/dir/a b.mp3", "h:8080", "a b.mp3"},
            {"h/x.mp3", "h", "x.mp3"},
            {"http://h/dir/", "h", ""},  // the previous download's name must not survive
        };
        for (const QStringList &row : rows) {
            AddressParts st;
            AnalyseAddress(st, QStringLiteral("http://old.example/x/old.rar"));
            for (const QString &address : {row[0], QString()}) {  // an empty address changes nothing
                AnalyseAddress(st, address);
                const QStringList got = {st.strRequestURL, st.strServer, st.strFileName};
                QVERIFY2(got == row, testing::RowMismatch(got, row).constData());
            }
        }
    }

    void serverAndPort()
    {
        // The server part; the host and port taken from it (80 when there is none).
        const QStringList rows[] = {
            {"h:8080", "h", "8080"},
            {"h", "h", "80"},
            {"h:", "h", "80"},
            {"h:8080abc", "h", "8080"},  // the number the text starts with
            {"h:80.6", "h", "81"},       // rounded
            {"h:0", "h", "80"},
            {"[::1]:8080", "[::1]", "8080"},
            {"[fe80::1:2]", "[fe80::1:2]", "80"},
            {"u:pw@h", "u:pw@h", "80"},
            {"u:pw@h:81", "u:pw@h", "81"},
        };
        for (const QStringList &row : rows) {
            const QString &server = row[0];
            const QStringList got = {server, RemovePort(server), QString::number(GetPort(server))};
            QVERIFY2(got == row, testing::RowMismatch(got, row).constData());
            QVERIFY2(HasPort(server) == (row[1] != server), qPrintable(server));
        }
    }

    void pathParts()
    {
        // The path; SplitPath's folder and name of it as a local path;
        // its extension; FileNameOf it (either separator).
        const QStringList rows[] = {
            {"/home/u/m/a.b.mp3", "/home/u/m/", "a.b.mp3", "mp3", "a.b.mp3"},
            {"readme", "readme", "readme", "readme", "readme"},
            // A backslash is an ordinary character in a local name here.
            {"C:\\a/b\\c.txt", "C:\\a/", "b\\c.txt", "txt", "c.txt"},
            {"h/d\\e/f.mp3", "h/d\\e/", "f.mp3", "mp3", "f.mp3"},
        };
        for (const QStringList &row : rows) {
            const QString &path = row[0];
            const QStringList got = {path, SplitPath(path, false, false), SplitPath(path, true, false),
                                     GetExtension(path), FileNameOf(path)};
            QVERIFY2(got == row, testing::RowMismatch(got, row).constData());
            QCOMPARE(SplitPath(QStringLiteral("http://h/d/") + path, true, true), path.mid(path.lastIndexOf('/') + 1));
        }
    }

    void fileExistsAndLength()
    {
        const QString file = tmp.filePath(QStringLiteral("a.bin"));
        QVERIFY(testing::WriteFile(file, QByteArray(10000, 'x')));
        QVERIFY(FileExists(file));
        QCOMPARE(FileLength(file), qint64(10000));
        // Missing files, folders and nonsense give false / 0 without complaint.
        for (const QString &bad : {tmp.filePath(QStringLiteral("missing")), tmp.path(), QString(),
                                   file + QStringLiteral("/inside")}) {
            QVERIFY2(!FileExists(bad), qPrintable(bad));
            QCOMPARE(FileLength(bad), qint64(0));
        }
    }

    void saveDialogStartFolder()
    {
        const QString missing = tmp.filePath(QStringLiteral("app/My Music"));
        // No music folder of the user's: home.
        QVERIFY(testing::WriteFile(tmp.filePath(QStringLiteral("config/user-dirs.dirs")),
                                   "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n"));
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
