// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Every window opens whole on a small screen at a large display scale:
// 1280 x 1024 pixels at scale 2 leave 640 x 512 logical pixels, narrower
// than the main window's usual width. The title bar and the close box are
// on the screen, and so is the tree's left edge.
#include "about/ui/frmabout.h"
#include "app/ui/frmsplash.h"
#include "app/ui/frmtype.h"
#include "catalogue/ui/frmmain.h"
#include "catalogue/ui/frmsearch.h"
#include "catalogue/ui/frmsettings.h"
#include "common/core/globals.h"
#include "common/ui/placement.h"
#include "download/ui/frmalert.h"
#include "download/ui/frmdownload.h"
#include "testsupport.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>

using namespace velmora;

class TestPlacement : public QObject
{
    Q_OBJECT

private slots:
    void frameInside_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QPoint>("placed");
        // in an area of 640 x 512 at 0,0
        QTest::newRow("fits") << QRect(10, 20, 300, 200) << QPoint(10, 20);
        QTest::newRow("left of it") << QRect(-110, 20, 300, 200) << QPoint(0, 20);
        QTest::newRow("right of it") << QRect(500, 20, 300, 200) << QPoint(340, 20);
        QTest::newRow("above and below") << QRect(10, -40, 300, 600) << QPoint(10, 0);
        QTest::newRow("below") << QRect(10, 400, 300, 200) << QPoint(10, 312);
        QTest::newRow("wider than the area") << QRect(-55, 30, 761, 200) << QPoint(0, 30);
        QTest::newRow("exactly the area") << QRect(3, 3, 640, 512) << QPoint(0, 0);
    }

    void frameInside()
    {
        QFETCH(QRect, frame);
        QFETCH(QPoint, placed);
        const QRect moved = FrameInside(frame, QRect(0, 0, 640, 512));
        QCOMPARE(moved.topLeft(), placed);
        QCOMPARE(moved.size(), frame.size());
        // a second screen to the right: the same rule in its own coordinates
        QCOMPARE(FrameInside(frame.translated(1280, 0), QRect(1280, 0, 640, 512)).topLeft(), placed + QPoint(1280, 0));
    }

    void windowsOpenWhole_data()
    {
        QTest::addColumn<QString>("window");
        for (const char *name : {"chooser", "splash", "main anime", "main music", "search", "download", "problem",
                                 "about", "settings"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void windowsOpenWhole()
    {
        QFETCH(QString, window);
        QScreen *screen = QGuiApplication::primaryScreen();
        QCOMPARE(screen->devicePixelRatio(), 2.0);
        const QRect area = screen->availableGeometry();
        QCOMPARE(area.size(), QSize(640, 512));

        blnAnimeMode = window == QLatin1String("main anime");
        frmMain main;
        main.setEnabled(true);
        std::unique_ptr<QWidget> other;
        if (window == QLatin1String("chooser"))
            other = std::make_unique<frmType>();
        else if (window == QLatin1String("splash"))
            other = std::make_unique<frmSplash>();
        else if (window == QLatin1String("search"))
            other = std::make_unique<frmSearch>(&main);
        else if (window == QLatin1String("problem"))
            other = std::make_unique<frmAlert>(QStringLiteral("下载未完成"), QStringLiteral("/x/Song.mp3"), false, &main);
        else if (window == QLatin1String("about"))
            other = std::make_unique<frmAbout>(&main);
        else if (window == QLatin1String("settings"))
            other = std::make_unique<frmSettings>(&main);
        if (!other || window == QLatin1String("download") || other->parentWidget()) {
            main.show();
            QVERIFY(QTest::qWaitForWindowExposed(&main));
            QVERIFY(area.contains(main.frameGeometry()));
        }
        if (window == QLatin1String("download")) {
            // placed as the main window places it before the download shows it
            auto *download = new frmDownload(&main);
            PlaceOnScreen(download, Centre::OnOwner);
            other.reset(download);
        }
        QWidget *shown = other ? other.get() : &main;
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        QVERIFY2(area.contains(shown->frameGeometry()),
                 qPrintable(QStringLiteral("frame %1,%2 %3x%4")
                                .arg(shown->frameGeometry().x()).arg(shown->frameGeometry().y())
                                .arg(shown->frameGeometry().width()).arg(shown->frameGeometry().height())));
        testing::SaveScreenshot(shown, QStringLiteral("placement-") + window.replace(QLatin1Char(' '), QLatin1Char('-')));
        if (shown != &main)
            return;

        // The main window gave up width from its tree: every control is
        // inside it, the buttons right of the tree, the status line below.
        const QRect client = main.rect();
        QVERIFY(main.width() < 751);
        QVERIFY(client.contains(main.tvSingle()->geometry()));
        QVERIFY(area.contains(QRect(main.tvSingle()->mapToGlobal(QPoint(0, 0)), main.tvSingle()->size())));
        for (QPushButton *b : {main.cmdLoad(), main.cmdDownload(), main.cmdAbout()}) {
            QVERIFY(client.contains(b->geometry()));
            QVERIFY(b->geometry().left() > main.tvSingle()->geometry().right());
        }
        QVERIFY(main.StatusBar1()->geometry().top() > main.tvSingle()->geometry().bottom());
        QCOMPARE(main.StatusBar1()->geometry().bottom(), client.bottom());
    }
};

int main(int argc, char **argv)
{
    // One screen of 1280 x 1024 pixels at a display scale of 2.
    QTemporaryDir dir;
    QFile screens(dir.filePath(QStringLiteral("screens.json")));
    if (!screens.open(QIODevice::WriteOnly))
        return 1;
    screens.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1280, "height": 1024}]})");
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toUtf8());
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestPlacement test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_placement.moc"
