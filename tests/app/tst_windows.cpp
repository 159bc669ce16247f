// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The windows together, as one user meets them: the demo music catalogue
// loaded from the loopback server, an item picked and downloaded in a window
// the main window owns, one download at a time, the real "文件已存在"
// dialog, and which window owns each message box, dialog and problem dialog.
#include "download/ui/alerts.h"
#include "download/ui/problemdialog.h"
#include "catalogue/ui/frmmain.h"
#include "catalogue/ui/treeadapter.h"
#include "common/core/globals.h"
#include "common/core/settings.h"
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

void clickItem(frmMain *main, qsizetype node)
{
    QTreeWidgetItem *item = main->tree().item(node);
    main->tvSingle()->scrollToItem(item);
    QTest::mouseClick(main->tvSingle()->viewport(), Qt::LeftButton, {},
                      main->tvSingle()->visualItemRect(item).center());
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT
    httpd::HttpServer server;
    QTemporaryDir dir;
    QPointer<frmMain> main;
    qsizetype item = 0;  // the first downloadable item of the loaded tree
    testing::FixedSavePath save;

    // Each download window that opens saves to save.path.
    void answerSaveAs(QPointer<frmDownload> &window)
    {
        connect(main, &frmMain::downloadWindowOpened, this, [&window, this](frmDownload *w) {
            window = w;
            w->setSaveDialog(&save);
        });
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
        main->setEnabled(true);
        QVERIFY(testing::ActivateWindow(main));

        testing::MessageBoxAnswerer boxes;
        main->cmdLoad_Click();
        QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1Char('|'))));
        // Nothing looks selected before the user clicks.
        QVERIFY(!main->tvSingle()->currentItem());
        QVERIFY(main->tvSingle()->selectedItems().isEmpty());
        for (qsizetype i = 1; i <= main->tree().nodeCount() && !item; ++i)
            if (main->tree().tag(i).startsWith(QLatin1String("http://")))
                item = i;
        QVERIFY(item > 0);
        clickItem(main, item);
        testing::SaveScreenshot(main, QStringLiteral("frmmain-loaded"));
    }

    void init()
    {
        server.setDefaultRate(0);
        save = testing::FixedSavePath();
        clickItem(main, item);
    }

    void cleanup() { disconnect(main, &frmMain::downloadWindowOpened, this, nullptr); }

    void cleanupTestCase()
    {
        if (main)
            main->close();
        QTRY_VERIFY(!main);
    }

    // The message box, the search dialog and the About window are modal and
    // owned by the main window, also as the window system sees it.
    void dialogsBelongToTheMainWindow()
    {
        QList<QWidget *> parents;
        QList<QWindow *> owners;
        const std::function<void()> openers[] = {
            [this] { clickItem(main, 1); main->cmdDownload_Click(); },  // the root: a message box
            [this] { main->cmdSearch_Click(); },
            [this] { main->cmdAbout_Click(); },
        };
        for (const auto &open : openers) {
            testing::WhenModal<QDialog>(this, [&](QDialog *d) {
                parents << d->parentWidget();
                owners << transientParentOf(d);
                d->reject();
            });
            open();
        }
        QCOMPARE(parents, QList<QWidget *>(3, main.data()));
        QCOMPARE(owners, QList<QWindow *>(3, main->windowHandle()));
    }

    // While the download runs, the window manager asks the greyed main
    // window to close and a second download is asked for: both refused.
    void oneDownloadOwnedByTheMainWindow()
    {
        const QUrl address(main->tree().tag(item));
        server.setDefaultRate(1024 * 1024);
        // One connection, so that the last answer is the whole body; the user's limits come back after.
        QVERIFY(StoreDownloadLimits({1, 0}) == StoreResult::Stored);
        const auto restore = qScopeGuard([] { StoreDownloadLimits(DownloadLimits{}); });
        save.path = dir.filePath(QStringLiteral("owned.mp3"));
        QPointer<frmDownload> first;
        answerSaveAs(first);
        bool closeIgnored = false, secondRefused = false, ownedWhileRunning = false;
        connect(main, &frmMain::downloadWindowOpened, this, [&](frmDownload *w) {
            connect(w->engine(), &DownloadEngine::bodyProgress, w, [&, w](qint64 received, qint64 total) {
                if (closeIgnored || received * 4 < total)
                    return;
                ownedWhileRunning = w->parentWidget() == main && transientParentOf(w) == main->windowHandle()
                                    && w->isEnabled() && !main->isEnabled();
                QCloseEvent request;  // spontaneous, as from the window's close box
                QSpontaneKeyEvent::setSpontaneous(&request);
                qApp->notify(main, &request);
                closeIgnored = !request.isAccepted() && main->isVisible();
                main->cmdDownload_Click();
                secondRefused = first == w && main->findChildren<frmDownload *>().size() == 1;
            });
        });

        main->cmdDownload_Click();  // returns once the download has ended
        QVERIFY(closeIgnored);
        QVERIFY(secondRefused);
        QVERIFY(ownedWhileRunning);
        QVERIFY(first && first->isVisible());
        QVERIFY(!main->isEnabled());  // the finished window is still open
        QCOMPARE(save.proposed, QStringList{address.fileName()});
        // Whole: as long as the last answer's body, which began at byte 0.
        const httpd::RequestLog last = server.requestsFor(address.path()).last();
        const qint64 size = QFileInfo(save.path).size();
        QVERIFY(size > 0);
        QCOMPARE(size, last.bodyBytesSent);
        QCOMPARE(last.request.range, QByteArray("bytes=0-"));
        QCOMPARE(testing::Sha256OfFile(save.path), httpd::HttpServer::GeneratedSha256(size));
        testing::Control<QPushButton>(first, "CancelButton")->click();  // now "关闭"
        QVERIFY(main->isEnabled());
        QTRY_VERIFY(!first);
        QVERIFY(!main->downloadWindow());
    }

    // The window manager activates the greyed main window during a download
    // (restored from the taskbar, or clicked): the activation and the
    // keyboard go on to the download window, or to the dialog above it.
    void activatingTheMainWindowHandsOn()
    {
        save.path = dir.filePath(QStringLiteral("handed.mp3"));
        QVERIFY(testing::WriteFile(save.path, QByteArray(10, 'x')));  // a problem dialog comes first
        server.setDefaultRate(256 * 1024);
        QPointer<frmDownload> window;
        answerSaveAs(window);
        QList<QWindow *> focused;
        const auto f = connect(qApp, &QGuiApplication::focusWindowChanged, this, [&](QWindow *w) { focused << w; });
        // The main window had the activation, and then `to` took it over.
        const auto handedTo = [&](QWidget *to) {
            const qsizetype m = focused.indexOf(main->windowHandle());
            return m >= 0 && focused.lastIndexOf(to->windowHandle()) > m && QApplication::activeWindow() == to;
        };
        bool toDialog = false, toWindow = false;
        const auto d = connect(AlertDialogs::instance(), &AlertDialogs::aboutToShow, this, [&](QDialog *dialog) {
            auto *p = qobject_cast<ProblemDialog *>(dialog);
            QTimer::singleShot(0, p, [&, p] {  // shown by now
                QVERIFY(testing::ActivateWindow(p));
                focused.clear();
                main->activateWindow();
                toDialog = QTest::qWaitFor([&] { return handedTo(p); });
                p->comOperation()->setCurrentIndex(1);  // download it again
                p->cmdNext()->click();
            });
        });
        enum class Step { Waiting, Asked, Handed } step = Step::Waiting;
        connect(main, &frmMain::downloadWindowOpened, this, [&](frmDownload *w) {
            connect(w->engine(), &DownloadEngine::bodyProgress, w, [&, w](qint64 received, qint64 total) {
                if (received * 4 < total || step == Step::Handed)
                    return;
                if (step == Step::Waiting) {
                    focused.clear();
                    main->activateWindow();
                    step = Step::Asked;
                } else if (handedTo(w)) {
                    toWindow = w->focusWidget() == testing::Control<QPushButton>(w, "CancelButton");
                    step = Step::Handed;
                }
            });
        });
        main->cmdDownload_Click();
        disconnect(f);
        disconnect(d);
        QVERIFY(toDialog);
        QVERIFY(toWindow);
        QVERIFY(window && window->isVisible());
        const qint64 size = QFileInfo(save.path).size();
        QCOMPARE(testing::Sha256OfFile(save.path), httpd::HttpServer::GeneratedSha256(size));
        testing::Control<QPushButton>(window, "CancelButton")->click();  // "关闭"
        QTRY_VERIFY(!window);
        QVERIFY(main->isEnabled());
    }

    // An existing file, left alone: the problem dialog is modal and owned by
    // the download window, also as the window system sees it, and the file
    // keeps its bytes.
    void problemDialogsBelongToTheDownloadWindow()
    {
        save.path = dir.filePath(QStringLiteral("existing.mp3"));
        const QByteArray existing(1000, 'x');
        QVERIFY(testing::WriteFile(save.path, existing));
        QPointer<frmDownload> window;
        answerSaveAs(window);
        QStringList problems;
        QList<bool> ownedAndModal;
        const auto d = connect(AlertDialogs::instance(), &AlertDialogs::aboutToShow, this, [&](QDialog *dialog) {
            auto *p = qobject_cast<ProblemDialog *>(dialog);
            problems << p->lblAbend()->text();
            QTimer::singleShot(0, p, [&, p] {  // shown by now, so the window system knows its owner
                ownedAndModal << (window && p->parentWidget() == window.data()
                                  && transientParentOf(p) == window->windowHandle() && p->isModal());
                p->comOperation()->setCurrentIndex(p->comOperation()->count() - 1);  // ignore, give up
                p->cmdNext()->click();
            });
        });
        main->cmdDownload_Click();
        disconnect(d);
        // Giving up is the user's choice, not a failure: no "下载未完成" after it.
        QCOMPARE(problems, QStringList({QStringLiteral("文件已存在")}));
        QCOMPARE(ownedAndModal, QList<bool>({true}));
        QCOMPARE(testing::Sha256OfFile(save.path), testing::Sha256(existing));
        QTRY_VERIFY(main->isEnabled());
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
