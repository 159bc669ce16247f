// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// What the user has and what is new: marks from real files in a temporary
// download folder, the seen state of lists across loads, velmora-scan
// --marks as a child process, the remembered Save-As folder, and the marks
// as the main window shows them.
#include "catalogue/core/catalogueload.h"
#include "catalogue/core/inet.h"
#include "catalogue/core/librarymarks.h"
#include "catalogue/core/seenstore.h"
#include "catalogue/ui/artwork.h"
#include "catalogue/ui/frmmain.h"
#include "common/core/globals.h"
#include "common/core/settings.h"
#include "download/core/origin.h"
#include "download/core/savelocation.h"
#include "download/ui/savedialog.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QAccessible>
#include <QFileDialog>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <numeric>

#include <sys/xattr.h>

using namespace velmora;
using velmora::httpd::HttpServer;

namespace {

bool SetAttribute(const QString &path, const char *name, const QByteArray &value)
{
    return setxattr(QFile::encodeName(path).constData(), name, value.constData(), size_t(value.size()), 0) == 0;
}

struct Load
{
    MemoryTree tree;
    Inet inet;
    CatalogueState state;
    CatalogueLoader loader{tree, inet, state};
};

// "text=mark" of every item after loading listUrl and marking it against folder.
QStringList MarksAfterLoad(const QString &listUrl, const QString &folder)
{
    Load l;
    const bool finished = l.loader.LoadCatalogue(listUrl, {});
    const QList<LibraryMark> marks =
        MarkLoad(l.tree, l.loader.scannedPages(), listUrl, finished && l.loader.listRead(), folder);
    QStringList out;
    for (qsizetype i = 1; i <= l.tree.nodeCount(); ++i) {
        if (!l.tree.tag(i).isEmpty())
            out << l.tree.text(i) + '=' + MarkText(marks.value(i));
    }
    return out;
}

QByteArray Links(const QStringList &names, const HttpServer &server)
{
    QByteArray page;
    for (const QString &n : names)
        page += ("<a href=\"" + server.url("/f/" + n + ".mp3") + "\">" + n + "</a>\n").toUtf8();
    return page;
}

QString RunScan(const QStringList &arguments)
{
    QProcess p;
    p.start(testing::BinDir() + "/velmora-scan", arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<failed>");
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class tst_LibraryMarks : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        qputenv("VELMORA_CATALOGUE_SERVER", m_server.hostPort().toUtf8());
        QVERIFY(m_folder.isValid());
        // The folder must keep user attributes, as the download folder does.
        const QString probe = m_folder.filePath("probe");
        QVERIFY(testing::WriteFile(probe, "x"));
        m_attributes = SetAttribute(probe, kOriginAttribute, "x");
        QFile::remove(probe);
    }

    void init() { ResetGlobals(); }

    void cleanup()
    {
        m_server.clearRules();
        m_server.clearRequests();
    }

    void marksFromFiles_data()
    {
        QTest::addColumn<QString>("file");     // made in the folder ("dir:" makes a folder)
        QTest::addColumn<QByteArray>("origin");
        QTest::addColumn<QByteArray>("verdict");
        QTest::addColumn<int>("expected");
        const QByteArray from = "http://example.org/d/Song.mp3";
        QTest::newRow("the proposed name") << "Song.mp3" << QByteArray() << QByteArray() << int(LibraryMark::OnDisk);
        QTest::newRow("another name, fetched from the address")
            << "renamed.mp3" << from << QByteArray() << int(LibraryMark::OnDisk);
        QTest::newRow("another name, fetched from elsewhere")
            << "renamed.mp3" << QByteArray("http://example.org/d/Other.mp3") << QByteArray() << int(LibraryMark::None);
        QTest::newRow("the name in other letter case")
            << "song.MP3" << QByteArray() << QByteArray() << int(LibraryMark::None);
        QTest::newRow("checked and failing") << "Song.mp3" << QByteArray() << QByteArray("mismatch sha256 0f3a")
                                             << int(LibraryMark::OnDiskMismatch);
        QTest::newRow("fetched from the address, failing")
            << "renamed.mp3" << from << QByteArray("mismatch") << int(LibraryMark::OnDiskMismatch);
        QTest::newRow("checked and matching")
            << "Song.mp3" << QByteArray() << QByteArray("match sha256 0f3a") << int(LibraryMark::OnDisk);
        QTest::newRow("a folder of that name") << "dir:Song.mp3" << QByteArray() << QByteArray() << int(LibraryMark::None);
        QTest::newRow("nothing for it") << "Other.mp3" << QByteArray() << QByteArray() << int(LibraryMark::None);
    }

    void marksFromFiles()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, origin);
        QFETCH(QByteArray, verdict);
        QFETCH(int, expected);
        if ((!origin.isEmpty() || !verdict.isEmpty()) && !m_attributes)
            QSKIP("the temporary folder keeps no user attributes");
        QTemporaryDir folder;
        const QString path = folder.filePath(file.startsWith("dir:") ? file.mid(4) : file);
        QVERIFY(file.startsWith("dir:") ? QDir().mkpath(path) : testing::WriteFile(path, "bytes"));
        if (!origin.isEmpty())
            QVERIFY(SetAttribute(path, kOriginAttribute, origin));
        if (!verdict.isEmpty())
            QVERIFY(SetAttribute(path, kVerifyAttribute, verdict));
        const LibraryFolder library(folder.path());
        QCOMPARE(int(library.presenceOf(QStringLiteral("http://example.org/d/Song.mp3"))), expected);
        // A folder that is not there holds nothing.
        QCOMPARE(LibraryFolder(folder.filePath("missing")).presenceOf("http://example.org/d/Song.mp3"), LibraryMark::None);
    }

    // Two lists share a page; what one list saw says nothing about the
    // other. A page that fails keeps what it listed before.
    void newSinceLastLoad()
    {
        testing::TemporaryUserFolders user;
        const QString none = m_folder.filePath("empty");
        m_server.addFile("/n/p1.html", Links({"a1", "a2"}, m_server));
        m_server.addFile("/n/p2.html", Links({"b1"}, m_server));
        m_server.addFile("/n/one.txt", (m_server.url("/n/p1.html") + "::=.mp3::=A\r\n" + m_server.url("/n/p2.html")
                                        + "::=.mp3::=B\r\n").toUtf8());
        m_server.addFile("/n/two.txt", (m_server.url("/n/p1.html") + "::=.mp3::=A\r\n").toUtf8());
        const QString one = m_server.url("/n/one.txt"), two = m_server.url("/n/two.txt");

        QCOMPARE(MarksAfterLoad(one, none), (QStringList{"a1=", "a2=", "b1="}));  // the first visit marks nothing
        m_server.addFile("/n/p1.html", Links({"a3", "a1", "a2"}, m_server));
        QCOMPARE(MarksAfterLoad(one, none), (QStringList{"a3=新", "a1=", "a2=", "b1="}));
        QCOMPARE(MarksAfterLoad(one, none), (QStringList{"a3=", "a1=", "a2=", "b1="}));  // seen now
        QCOMPARE(MarksAfterLoad(two, none), (QStringList{"a3=", "a1=", "a2="}));         // another list's first visit

        // p2 does not come (an error page), then comes with one more item:
        // b1 is still known, only b2 is new.
        m_server.addRule({.path = "/n/p2.html", .status = 503, .body = "busy"});
        QCOMPARE(MarksAfterLoad(one, none), (QStringList{"a3=", "a1=", "a2="}));
        m_server.clearRules();
        m_server.addFile("/n/p2.html", Links({"b1", "b2"}, m_server));
        QCOMPARE(MarksAfterLoad(one, none), (QStringList{"a3=", "a1=", "a2=", "b1=", "b2=新"}));

        // The list itself does not come: nothing of it is forgotten.
        m_server.addRule({.path = "/n/one.txt", .status = 500});
        QCOMPARE(MarksAfterLoad(one, none), QStringList());
        m_server.clearRules();
        QCOMPARE(MarksAfterLoad(one, none), (QStringList{"a3=", "a1=", "a2=", "b1=", "b2="}));

        // A file on disk is what the user has, new or not.
        QTemporaryDir folder;
        QVERIFY(testing::WriteFile(folder.filePath("a4.mp3"), "x"));
        m_server.addFile("/n/p1.html", Links({"a4", "a5"}, m_server));
        QCOMPARE(MarksAfterLoad(one, folder.path()), (QStringList{"a4=已下载", "a5=新", "b1=", "b2="}));

        // One page named by two entries, each with its own key: what both
        // found is kept, and the next visit finds nothing new.
        m_server.addFile("/n/p3.html", Links({"x1", "y1"}, m_server));
        m_server.addFile("/n/three.txt", (m_server.url("/n/p3.html") + "::=/f/x::=X\r\n" + m_server.url("/n/p3.html")
                                          + "::=/f/y::=Y\r\n").toUtf8());
        const QString three = m_server.url("/n/three.txt");
        QCOMPARE(MarksAfterLoad(three, none), (QStringList{"x1=", "y1="}));
        QCOMPARE(MarksAfterLoad(three, none), (QStringList{"x1=", "y1="}));
        m_server.addFile("/n/p3.html", Links({"x1", "y1", "x2"}, m_server));
        QCOMPARE(MarksAfterLoad(three, none), (QStringList{"x1=", "x2=新", "y1="}));
    }

    void seenStateBounded()
    {
        testing::TemporaryUserFolders user;
        // A damaged state, or one of another list, is a list never seen.
        const QString list = QStringLiteral("http://example.org/list.txt");
        SeenList seen;
        seen.updatePage("http://example.org/p.html", {1, 2, 3}, true);
        QVERIFY(SaveSeen(list, seen));
        QVERIFY(LoadSeen(list).known());
        QVERIFY(LoadSeen(list).contains(2));
        QFile file(SeenFile(list));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(file.size() - 3));
        file.close();
        QVERIFY(!LoadSeen(list).known());

        // Items beyond the bound are not kept.
        QList<AddressDigest> many(kMaxSeenItems + 10);
        std::iota(many.begin(), many.end(), AddressDigest(1));
        seen.updatePage("http://example.org/big.html", many, true);
        QVERIFY(SaveSeen(list, seen));
        QCOMPARE(LoadSeen(list).itemCount(), kMaxSeenItems);

        // Lists beyond the bound: those loaded longest ago go, never the one just written.
        const QDateTime past = QDateTime::currentDateTimeUtc().addDays(-1);
        for (int i = 0; i < kMaxSeenLists + 5; ++i) {
            const QString other = "http://example.org/" + QString::number(i);
            QVERIFY(SaveSeen(other, seen));
            QFile f(SeenFile(other));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(past.addSecs(i), QFileDevice::FileModificationTime));
        }
        QVERIFY(SaveSeen(list, seen));
        const QStringList states = QDir(QFileInfo(SeenFile(list)).path()).entryList(QDir::Files);
        QCOMPARE(states.size(), kMaxSeenLists);
        QVERIFY(QFile::exists(SeenFile(list)));
        QVERIFY(QFile::exists(SeenFile("http://example.org/" + QString::number(kMaxSeenLists + 4))));
        QVERIFY(!QFile::exists(SeenFile("http://example.org/0")));
    }

    // The third column appears only with --marks, and the state lives in
    // the cache folder from one run to the next.
    void scanMarks()
    {
        testing::TemporaryUserFolders user;
        QTemporaryDir folder;
        QVERIFY(testing::WriteFile(folder.filePath("s2.mp3"), "x"));
        m_server.addFile("/s/p.html", Links({"s1", "s2"}, m_server));
        m_server.addFile("/s/list.txt", (m_server.url("/s/p.html") + "::=.mp3::=S\r\n").toUtf8());
        const QString list = m_server.url("/s/list.txt");
        const QString plain = "Quillon\t\n  S\t\n    s1\t" + m_server.url("/f/s1.mp3") + "\n    s2\t" + m_server.url("/f/s2.mp3") + "\n";

        QCOMPARE(RunScan({list}), plain);
        const QString marked = "Quillon\t\n  S\t\n    s1\t" + m_server.url("/f/s1.mp3") + "\t%1\n    s2\t"
            + m_server.url("/f/s2.mp3") + "\t已下载\n";
        QCOMPARE(RunScan({list, "--marks", folder.path()}), marked.arg(QString()));
        m_server.addFile("/s/p.html", Links({"s1", "s2", "s3"}, m_server));
        QCOMPARE(RunScan({list, "--marks", folder.path()}),
                 marked.arg(QString()) + "    s3\t" + m_server.url("/f/s3.mp3") + "\t新\n");
        QCOMPARE(RunScan({list}), plain + "    s3\t" + m_server.url("/f/s3.mp3") + "\n");
    }

    // Save-As opens where the user last saved for this catalogue kind, in
    // every later dialog (each one reads the settings afresh, as after a new
    // start), and in "My Music" until then or once that folder is gone.
    void rememberedSaveFolder()
    {
        testing::TemporaryUserFolders user;
        const QString myMusic = QDir(user.music()).filePath("My Music");
        QVERIFY(QDir().mkpath(myMusic));
        QTemporaryDir elsewhere;
        const QString chosenFolder = elsewhere.filePath("picked");
        QVERIFY(QDir().mkpath(chosenFolder));

        const auto openedIn = [](const QString &choose) {
            QString folder;
            QObject context;
            testing::WhenModal<QFileDialog>(&context, [&](QFileDialog *d) {
                folder = QDir(d->directory()).absolutePath();
                if (choose.isEmpty()) {
                    d->reject();
                    return;
                }
                d->selectFile(choose);
                QMetaObject::invokeMethod(d, "accept");
            });
            FileSaveDialog dialog;
            const QString chosen = dialog.ShowSaveDialog("x.mp3", "mp3");
            return QStringList{folder, chosen};
        };
        blnAnimeMode = false;
        const QString target = QDir(chosenFolder).filePath("x.mp3");
        QCOMPARE(openedIn(target), (QStringList{QDir(myMusic).absolutePath(), target}));
        QCOMPARE(openedIn(QString()), (QStringList{QDir(chosenFolder).absolutePath(), QString()}));
        QCOMPARE(StoredSaveFolder(CatalogueKind::Music), QDir(chosenFolder).absolutePath());
        QCOMPARE(SaveFolderFor(CatalogueKind::Music), QDir(chosenFolder).absolutePath());
        // The other kind has a folder of its own.
        blnAnimeMode = true;
        QCOMPARE(openedIn(QString()).value(0), QDir(myMusic).absolutePath());
        // A cancelled dialog changes nothing; a folder since removed is not used.
        blnAnimeMode = false;
        QVERIFY(QDir(chosenFolder).removeRecursively());
        QCOMPARE(SaveFolderFor(CatalogueKind::Music), InitialSaveFolder());
        QCOMPARE(openedIn(QString()).value(0), QDir(myMusic).absolutePath());
    }

    // The window shows marks as the third icon, the tooltip and the
    // accessible description; text, Tag and order stay as the page gave them.
    void windowShowsMarks()
    {
        testing::TemporaryUserFolders user;
        const QString myMusic = QDir(user.music()).filePath("My Music");
        QVERIFY(QDir().mkpath(myMusic));
        QVERIFY(testing::WriteFile(QDir(myMusic).filePath("w1.mp3"), "x"));
        QVERIFY(testing::WriteFile(QDir(myMusic).filePath("w2.mp3"), "x"));
        const bool checked = m_attributes && SetAttribute(QDir(myMusic).filePath("w2.mp3"), kVerifyAttribute, "mismatch");
        m_server.addFile("/w/p.html", Links({"w1", "w2", "w3"}, m_server));
        m_server.addFile("/quillon/albums.txt", (m_server.url("/w/p.html") + "::=.mp3::=W\r\n").toUtf8());

        const auto load = [] {
            auto *w = new frmMain;
            w->show();
            w->setEnabled(true);
            w->cmdLoad()->click();
            return w;
        };
        delete load();  // the first visit
        m_server.addFile("/w/p.html", Links({"w1", "w2", "w3", "w4"}, m_server));
        std::unique_ptr<frmMain> w(load());
        QTreeWidgetItem *group = w->tvSingle()->topLevelItem(0)->child(0);
        QCOMPARE(group->childCount(), 4);
        const QStringList expected = {"", "已下载", checked ? "已下载（校验不符）" : "已下载", "", "新"};
        const QImage plain = TreeIcon(ImageRootOrItem).pixmap(16, 16).toImage();
        for (int i = 0; i < 4; ++i) {
            QTreeWidgetItem *item = group->child(i);
            const QString name = "w" + QString::number(i + 1);
            QCOMPARE(item->text(0), name);
            QCOMPARE(item->data(0, TreeWidgetAdapter::TagRole).toString(), m_server.url("/f/" + name + ".mp3"));
            QCOMPARE(item->data(0, Qt::ToolTipRole).toString(), expected.at(i + 1));
            QCOMPARE(item->data(0, Qt::AccessibleDescriptionRole).toString(), expected.at(i + 1));
            QCOMPARE(item->icon(0).pixmap(16, 16).toImage() == plain, expected.at(i + 1).isEmpty());
        }
        testing::SaveScreenshot(w.get(), "frmmain-marks");

        // What a screen reader is given for the item.
        w->tvSingle()->expandAll();
        QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(w->tvSingle());
        QVERIFY(tree);
        QString described;
        for (int i = 0; i < tree->childCount(); ++i) {
            QAccessibleInterface *cell = tree->child(i);
            if (cell && cell->text(QAccessible::Name) == QLatin1String("w4"))
                described = cell->text(QAccessible::Description);
        }
        QCOMPARE(described, QStringLiteral("新"));
    }

private:
    HttpServer m_server;
    QTemporaryDir m_folder;
    bool m_attributes = false;
};

QTEST_MAIN(tst_LibraryMarks)
#include "tst_librarymarks.moc"
