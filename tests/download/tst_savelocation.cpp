// Where the Save-As dialog opens: "My Music" beside the program when it
// exists, else the user's music folder, else home; never the folder the
// program was started from.
#include "common/core/globals.h"
#include "download/core/savelocation.h"
#include "download/ui/savedialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace velmora;

class TestSaveLocation : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    QString home;

    void setMusicDir(const QString &line)
    {
        QFile dirs(tmp.filePath(QStringLiteral("config/user-dirs.dirs")));
        QVERIFY(dirs.open(QIODevice::WriteOnly | QIODevice::Truncate));
        dirs.write(line.toUtf8());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        home = tmp.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(home));
        QVERIFY(QDir().mkpath(tmp.filePath(QStringLiteral("config"))));
        QVERIFY(QDir().mkpath(tmp.filePath(QStringLiteral("started-here"))));
        qputenv("HOME", home.toUtf8());
        qputenv("XDG_CONFIG_HOME", tmp.filePath(QStringLiteral("config")).toUtf8());
        QVERIFY(QDir::setCurrent(tmp.filePath(QStringLiteral("started-here"))));
    }

    void fallsBackToMusicThenHome()
    {
        const QString missing = tmp.filePath(QStringLiteral("app/My Music"));
        const QString preferred = tmp.filePath(QStringLiteral("present/My Music"));
        QVERIFY(QDir().mkpath(preferred));
        QCOMPARE(SaveDialogStartFolder(preferred), preferred);

        // No music folder of the user's: home, not where the program was started.
        setMusicDir(QStringLiteral("XDG_MUSIC_DIR=\"$HOME/Tunes\"\n"));
        QCOMPARE(SaveDialogStartFolder(missing), home);
        QCOMPARE(SaveDialogStartFolder(QString()), home);

        QVERIFY(QDir(home).mkdir(QStringLiteral("Tunes")));
        QCOMPARE(SaveDialogStartFolder(missing), QDir(home).filePath(QStringLiteral("Tunes")));
        QVERIFY(QDir(home).rmdir(QStringLiteral("Tunes")));
    }

    void dialogOpensThere()
    {
        // The real dialog, with "My Music" beside the program missing.
        const QString beside = InitialSaveFolder();
        if (QFileInfo::exists(beside))
            QSKIP("a \"My Music\" folder exists beside the test program");
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
};

QTEST_MAIN(TestSaveLocation)
#include "tst_savelocation.moc"
