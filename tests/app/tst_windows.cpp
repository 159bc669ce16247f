// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Which window owns which, and one download at a time, on real windows: the
// demo music catalogue from the loopback server, a real download, the real
// problem dialogs, message boxes, search dialog and About window.
#include "about/ui/frmabout.h"
#include "download/ui/alerts.h"
#include "download/ui/problemdialog.h"
#include "catalogue/ui/frmmain.h"
#include "catalogue/ui/frmsearch.h"
#include "catalogue/ui/treeadapter.h"
#include "common/core/globals.h"
#include "common/ui/msgbox.h"
#include "demo.h"
#include "download/core/engine.h"
#include "download/ui/frmdownload.h"
#include "doubles.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWindow>
#include <QtTest>
#include <QtTest/qtestspontaneevent.h>

using namespace velmora;

namespace {

// The owner of a top-level widget as the window system sees it.
QWindow *transientParentOf(QWidget *w)
{
    return w->windowHandle() ? w->windowHandle()->transientParent() : nullptr;
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT
    httpd::HttpServer server;
    QTemporaryDir dir;
    QPointer<frmMain> main;
    qsizetype item = 0;  // the first downloadable item of the loaded tree

    void pickItem()
    {
        QTreeWidgetItem *node = main->tree().item(item);
        main->tvSingle()->scrollToItem(node);
        QTest::mouseClick(main->tvSingle()->viewport(), Qt::LeftButton, {},
                          main->tvSingle()->visualItemRect(node).center());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server.start());
        demo::InstallDemoSite(server);
        qputenv("VELMORA_CATALOGUE_SERVER", server.hostPort().toUtf8());
        ResetGlobals();
        CatalogueChosen(false);
        main = new frmMain;
        main->show();
        main->setEnabled(true);
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        // Nothing looks selected before the user clicks.
        QVERIFY(!main->tvSingle()->currentItem());
        QVERIFY(main->tvSingle()->selectedItems().isEmpty());

        testing::MessageBoxAnswerer boxes;
        main->cmdLoad_Click();
        QVERIFY(boxes.texts.isEmpty());
        for (qsizetype i = 1; i <= main->tree().nodeCount() && !item; ++i)
            if (main->tree().tag(i).startsWith(QLatin1String("http://")))
                item = i;
        QVERIFY(item > 0);
    }

    void cleanupTestCase()
    {
        if (main)
            main->close();
        QTRY_VERIFY(!main);
    }

    void messageBoxSearchAndAboutBelongToTheMainWindow()
    {
        QWidget *boxParent = nullptr;
        const auto c = connect(MessageBoxes::instance(), &MessageBoxes::aboutToShow, this, [&](QMessageBox *box) {
            boxParent = box->parentWidget();
            QTimer::singleShot(0, box, [box] { box->button(QMessageBox::Ok)->click(); });
        });
        main->tvSingle()->clearSelection();
        QTest::mouseClick(main->tvSingle()->viewport(), Qt::LeftButton, {},
                          main->tvSingle()->visualItemRect(main->tree().item(1)).center());  // the root
        main->cmdDownload_Click();
        disconnect(c);
        QCOMPARE(boxParent, main.data());

        QWidget *searchParent = nullptr;
        QWindow *searchOwner = nullptr;
        testing::WhenModal<frmSearch>(this, [&](frmSearch *d) {
            searchParent = d->parentWidget();
            searchOwner = transientParentOf(d);
            d->cmdCancel->click();
        });
        main->cmdSearch_Click();
        QCOMPARE(searchParent, main.data());
        QCOMPARE(searchOwner, main->windowHandle());

        QWidget *aboutParent = nullptr;
        bool aboutModal = false;
        testing::WhenModal<frmAbout>(this, [&](frmAbout *d) {
            aboutParent = d->parentWidget();
            aboutModal = d->isModal();
            d->close();
        });
        main->cmdAbout_Click();
        QCOMPARE(aboutParent, main.data());
        QVERIFY(aboutModal);
    }

    void oneDownloadOwnedByTheMainWindow()
    {
        pickItem();
        const QString address = main->tree().tag(item);
        server.setDefaultRate(1024 * 1024);
        testing::FixedSavePath save;
        save.path = dir.filePath(QStringLiteral("owned.mp3"));
        QPointer<frmDownload> first;
        int opened = 0;
        bool closeIgnored = false, secondRefused = false, ownedWhileRunning = false;
        const auto c = connect(main, &frmMain::downloadWindowOpened, this, [&](frmDownload *w) {
            ++opened;
            if (first)
                return;
            first = w;
            w->setSaveDialog(&save);
            connect(w->engine(), &DownloadEngine::bodyProgress, w, [&, w](qint64 received, qint64 total) {
                if (closeIgnored || received * 4 < total)
                    return;
                ownedWhileRunning = w->parentWidget() == main && transientParentOf(w) == main->windowHandle()
                                    && w->isEnabled() && !main->isEnabled();
                // The window manager asks the greyed main window to close (a
                // spontaneous close event, as from its close box).
                QCloseEvent request;
                QSpontaneKeyEvent::setSpontaneous(&request);
                qApp->notify(main, &request);
                closeIgnored = !request.isAccepted() && main->isVisible();
                // And a second download is asked for behind the user's back.
                main->cmdDownload_Click();
                secondRefused = opened == 1 && main->findChildren<frmDownload *>().size() == 1;
            });
        });

        main->cmdDownload_Click();  // returns once the download has ended
        disconnect(c);
        QVERIFY(closeIgnored);
        QVERIFY(secondRefused);
        QVERIFY(ownedWhileRunning);
        QVERIFY(first && first->isVisible());
        QCOMPARE(testing::Control<QLabel>(first, "EstimatedTimeLeft")->text(), QStringLiteral("下载完毕:"));
        const qint64 size = QFileInfo(save.path).size();
        QCOMPARE(testing::Sha256OfFile(save.path), httpd::HttpServer::GeneratedSha256(size));
        QCOMPARE(first->state().strSavePath, save.path);
        testing::Control<QPushButton>(first, "CancelButton")->click();
        QVERIFY(main->isEnabled());
        QTRY_VERIFY(!first);
        QVERIFY(!main->downloadWindow());
        QVERIFY(main->isVisible());
        server.setDefaultRate(0);
    }

    void problemDialogsBelongToTheDownloadWindow()
    {
        pickItem();
        testing::FixedSavePath save;
        save.path = dir.filePath(QStringLiteral("existing.mp3"));
        QFile existing(save.path);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write(QByteArray(1000, 'x'));
        existing.close();
        QPointer<frmDownload> window;
        const auto c = connect(main, &frmMain::downloadWindowOpened, this, [&](frmDownload *w) {
            window = w;
            w->setSaveDialog(&save);
        });
        QStringList problems;
        QList<bool> ownedByTheDownloadWindow;
        QList<bool> modal;
        const auto d = connect(AlertDialogs::instance(), &AlertDialogs::aboutToShow, this, [&](QDialog *dialog) {
            auto *p = qobject_cast<ProblemDialog *>(dialog);
            problems << p->lblAbend()->text();
            QTimer::singleShot(0, p, [&, p] {
                // Shown, so the window system knows its owner too.
                ownedByTheDownloadWindow << (window && p->parentWidget() == window.data()
                                             && transientParentOf(p) == window->windowHandle());
                modal << p->isModal();
                p->comOperation()->setCurrentIndex(p->comOperation()->count() - 1);  // give up
                p->cmdNext()->click();
            });
        });
        main->cmdDownload_Click();
        disconnect(c);
        disconnect(d);
        // "文件已存在", given up; then "下载未完成".
        QCOMPARE(problems, QStringList({QStringLiteral("文件已存在"), QStringLiteral("下载未完成")}));
        QCOMPARE(ownedByTheDownloadWindow, QList<bool>({true, true}));
        QCOMPARE(modal, QList<bool>({true, true}));
        QTRY_VERIFY(main->isEnabled());
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
