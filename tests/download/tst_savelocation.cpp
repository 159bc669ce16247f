// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Where downloads are proposed and the Save-As dialog opens: the user's
// music folder or home, never beside the program nor where it was started.
// How much room the target's file system has, asked of that file system.
#include "download/core/diskspace.h"
#include "download/core/savelocation.h"
#include "download/ui/savedialog.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <limits>

using namespace velmora;

class TestSaveLocation : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    QString home;
    QString config;

    void setMusicDir(const QString &line)
    {
        QFile dirs(QDir(config).filePath(QStringLiteral("user-dirs.dirs")));
        QVERIFY(dirs.open(QIODevice::WriteOnly | QIODevice::Truncate));
        dirs.write(line.toUtf8());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        home = tmp.filePath(QStringLiteral("home"));
        config = tmp.filePath(QStringLiteral("config"));
        QVERIFY(QDir().mkpath(home));
        QVERIFY(QDir().mkpath(config));
        QVERIFY(QDir().mkpath(tmp.filePath(QStringLiteral("started-here"))));
        qputenv("HOME", home.toUtf8());
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        QVERIFY(QDir::setCurrent(tmp.filePath(QStringLiteral("started-here"))));
    }

    void fallsBackToMusicThenHome()
    {
        const QString missing = tmp.filePath(QStringLiteral("app/My Music"));
        const QString preferred = tmp.filePath(QStringLiteral("present/My Music"));
        QVERIFY(QDir().mkpath(preferred));
        QCOMPARE(SaveDialogStartFolder(preferred), preferred);

        // No music folder of the user's: home, not where the program was
        // started nor beside it.
        setMusicDir(QStringLiteral("XDG_MUSIC_DIR=\"$HOME/Tunes\"\n"));
        QCOMPARE(SaveDialogStartFolder(missing), home);
        QCOMPARE(SaveDialogStartFolder(QString()), home);
        QCOMPARE(InitialSaveFolder(), QDir(home).filePath(QStringLiteral("My Music")));

        QVERIFY(QDir(home).mkdir(QStringLiteral("Tunes")));
        const QString tunes = QDir(home).filePath(QStringLiteral("Tunes"));
        QCOMPARE(SaveDialogStartFolder(missing), tunes);
        QCOMPARE(InitialSaveFolder(), QDir(tunes).filePath(QStringLiteral("My Music")));
        QVERIFY(QDir(home).rmdir(QStringLiteral("Tunes")));
    }

    void dialogOpensThere()
    {
        // The real dialog, with "My Music" missing in the music folder.
        setMusicDir(QStringLiteral("XDG_MUSIC_DIR=\"$HOME/Music\"\n"));
        QVERIFY(QDir(home).mkdir(QStringLiteral("Music")));
        QString opened;
        QTimer::singleShot(0, qApp, [&] {
            auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(d);
            opened = QDir(d->directory()).absolutePath();
            d->reject();
        });
        FileSaveDialog dialog;
        QCOMPARE(dialog.ShowSaveDialog(QStringLiteral("Song.mp3"), QStringLiteral("mp3")), QString());
        QCOMPARE(opened, QDir(home).filePath(QStringLiteral("Music")));
    }

    // Every place a download may go is asked on the file system that holds
    // it, through its nearest existing folder.
    void freeSpaceOfTheTargetsFolder_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("the folder") << QString();
        QTest::newRow("a file to be made in it") << QStringLiteral("ep03.mkv");
        QTest::newRow("folders not made yet") << QStringLiteral("not/made/yet/ep03.mkv");
        QTest::newRow("relative to the current folder") << QStringLiteral("../started-here/x/ep03.mkv");
    }
    void freeSpaceOfTheTargetsFolder()
    {
        QFETCH(QString, path);
        const QString folder = tmp.filePath(QStringLiteral("started-here"));
        const std::optional<qint64> there = FreeSpaceOf(folder);
        QVERIFY(there.has_value());
        QVERIFY(*there > 0);
        const QString target = path.startsWith(QLatin1String("..")) ? path : QDir(folder).filePath(path);
        const std::optional<qint64> free = FreeSpaceOf(target);
        QVERIFY(free.has_value());
        // The same file system: other programs may write meanwhile, so the
        // two figures agree only roughly.
        QVERIFY2(qAbs(*free - *there) < (qint64(64) << 20), qPrintable(QString::number(*free - *there)));
    }

    void freeSpaceOnATmpfs()
    {
        const QString shm = QStringLiteral("/dev/shm");
        if (QStorageInfo(shm).fileSystemType() != "tmpfs")
            QSKIP("no tmpfs at /dev/shm here");
        QVERIFY(FreeSpaceOf(shm + QStringLiteral("/velmora-missing/ep03.mkv")).value_or(0) > 0);
    }

    // A file system that keeps no count of its blocks, or no path at all:
    // no answer, and the download is not taken to be short of room.
    void noAnswerDoesNotBlock_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("/proc") << QStringLiteral("/proc/self/velmora/ep03.mkv");
        QTest::newRow("no path") << QString();
    }
    void noAnswerDoesNotBlock()
    {
        QFETCH(QString, path);
        QVERIFY(!FreeSpaceOf(path).has_value());
        QCOMPARE(DiskFreeSpace(path), std::numeric_limits<qint64>::max());
    }
};

QTEST_MAIN(TestSaveLocation)
#include "tst_savelocation.moc"
