// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// One user's path through the program, on real windows: load the demo music
// catalogue, pick an item, download it, close the download window; then
// download it again and answer the real "文件已存在" dialog.
#include "download/ui/alerts.h"
#include "download/ui/problemdialog.h"
#include "catalogue/ui/frmmain.h"
#include "catalogue/ui/treeadapter.h"
#include "common/core/globals.h"
#include "demo.h"
#include "download/core/engine.h"
#include "download/ui/frmdownload.h"
#include "httpserver.h"
#include "doubles.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace velmora;

class TestEndToEnd : public QObject
{
    Q_OBJECT
    httpd::HttpServer server;
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QVERIFY(server.start());
        demo::InstallDemoSite(server);
        qputenv("VELMORA_CATALOGUE_SERVER", server.hostPort().toUtf8());
    }

    void loadPickDownloadAndDownloadAgain()
    {
        ResetGlobals();
        blnAnimeMode = false;
        auto *main = new frmMain;
        main->show();
        main->setEnabled(true);
        testing::MessageBoxAnswerer boxes(QMessageBox::Ok);
        main->cmdLoad_Click();
        QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1Char('|'))));

        // The first HTTP item of the first group.
        const TreeWidgetAdapter &tree = main->tree();
        qsizetype pick = 0;
        for (qsizetype i = 1; i <= tree.nodeCount() && !pick; ++i)
            if (tree.tag(i).startsWith(QLatin1String("http://")))
                pick = i;
        QVERIFY(pick > 0);
        const QString address = tree.tag(pick);
        const QString path = QUrl(address).path();
        QTreeWidgetItem *item = tree.item(pick);
        main->tvSingle()->scrollToItem(item);
        QTest::mouseClick(main->tvSingle()->viewport(), Qt::LeftButton, {},
                          main->tvSingle()->visualItemRect(item).center());
        testing::SaveScreenshot(main, QStringLiteral("frmmain-loaded"));

        testing::FixedSavePath save;
        save.path = dir.filePath(QStringLiteral("song.mp3"));
        QPointer<frmDownload> window;
        bool mainDisabledDuringDownload = false;
        connect(main, &frmMain::downloadWindowOpened, this, [&](frmDownload *w) {
            window = w;
            w->setSaveDialog(&save);
            mainDisabledDuringDownload = !main->isEnabled();
        });

        main->cmdDownload_Click();  // returns once the download has ended
        QVERIFY(window);
        QVERIFY(mainDisabledDuringDownload);
        QVERIFY(!main->isEnabled());  // the finished window is still open
        QCOMPARE(save.proposed, QStringList{QUrl(address).fileName()});
        const qint64 size = QFileInfo(save.path).size();
        QVERIFY(size > 0);
        QCOMPARE(testing::Sha256OfFile(save.path), httpd::HttpServer::GeneratedSha256(size));
        QCOMPARE(server.requestsFor(path).last().status, 206);
        QCOMPARE(testing::Control<QLabel>(window, "EstimatedTimeLeft")->text(), QStringLiteral("下载完毕:"));
        QCOMPARE(testing::Control<QPushButton>(window, "CancelButton")->text(), QStringLiteral("关闭"));
        testing::Control<QPushButton>(window, "CancelButton")->click();
        QTRY_VERIFY(main->isEnabled());
        QTRY_VERIFY(!window);

        // Again: the file exists. Pick "重新下载已存在的文件." in the real dialog.
        QFile f(save.path);
        QVERIFY(f.open(QIODevice::Append));
        f.write(QByteArray(10000, 'x'));  // a stale tail that must not survive
        f.close();
        QStringList problems;
        auto conn = connect(AlertDialogs::instance(), &AlertDialogs::aboutToShow, this, [&](QDialog *d) {
            auto *dialog = qobject_cast<ProblemDialog *>(d);
            QVERIFY(dialog);
            problems << dialog->lblAbend()->text();
            QTimer::singleShot(0, dialog, [dialog] {
                dialog->comOperation()->setCurrentIndex(1);
                dialog->cmdNext()->click();
            });
        });
        main->cmdDownload_Click();
        disconnect(conn);
        QCOMPARE(problems, QStringList{QStringLiteral("文件已存在")});
        QVERIFY(window);
        QCOMPARE(QFileInfo(save.path).size(), size);
        QCOMPARE(testing::Sha256OfFile(save.path), httpd::HttpServer::GeneratedSha256(size));
        window->close();
        QTRY_VERIFY(main->isEnabled());

        disconnect(main, &frmMain::downloadWindowOpened, this, nullptr);
        main->close();
        QTRY_VERIFY(main->isHidden());
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
