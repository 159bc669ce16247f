// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Pictures drawn at the pixel ratio of the screen a window is on: at a
// display scale of 2 the windows paint their artwork with twice the pixels,
// not a 1x picture blown up, and keep their sizes in logical pixels.
#include "download/ui/frmalert.h"
#include "app/ui/art.h"
#include "app/ui/frmtype.h"
#include "catalogue/ui/artwork.h"
#include "catalogue/ui/frmmain.h"
#include "common/core/globals.h"
#include "download/ui/seekbar.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmora;

namespace {

// The widget's painting of `area` (logical pixels) equals `expected`, drawn
// at the ratio of the screen, pixel for pixel.
bool PaintsAtRatio(QWidget *widget, const QRect &area, const QPixmap &expected)
{
    const qreal dpr = widget->devicePixelRatioF();
    const QImage shown = widget->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    const QRect source(area.topLeft() * dpr, area.size() * dpr);
    const QImage drawn = expected.copy(source).toImage().convertToFormat(QImage::Format_RGB32);
    return shown.size() == drawn.size() && shown == drawn;
}

// Shows the window on the screen of that ratio, as if dragged there.
bool ShowAt(QWidget *window, qreal ratio)
{
    for (QScreen *screen : QGuiApplication::screens()) {
        if (qFuzzyCompare(screen->devicePixelRatio(), ratio)) {
            window->setScreen(screen);
            window->move(screen->geometry().topLeft() + QPoint(20, 20));
            window->show();
            return QTest::qWaitForWindowExposed(window) && qFuzzyCompare(window->devicePixelRatioF(), ratio);
        }
    }
    return false;
}

} // namespace

class TestHiDpi : public QObject
{
    Q_OBJECT

private slots:
    void picturesAtTheScreensRatio_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("1x") << 1.0;
        QTest::newRow("1.5x") << 1.5;
        QTest::newRow("2x") << 2.0;
    }

    void picturesAtTheScreensRatio()
    {
        QFETCH(qreal, ratio);
        frmType chooser;
        QVERIFY(ShowAt(&chooser, ratio));
        QCOMPARE(chooser.size(), QSize(480, 357));
        QVERIFY(PaintsAtRatio(&chooser, QRect(10, 26, 200, 50), art::ChooserBackground(ratio)));
        QVERIFY(PaintsAtRatio(chooser.picMusic, chooser.picMusic->rect(), chooser.imgMusicRes[0]));

        blnAnimeMode = false;
        frmMain main;
        QVERIFY(ShowAt(&main, ratio));
        QCOMPARE(main.size(), QSize(751, 443));
        QVERIFY(PaintsAtRatio(&main, QRect(0, 0, 190, 60), MusicBackground(main.size(), ratio)));

        // The knob's opaque pixels are the knob picture's, one for one.
        SeekBar bar;
        bar.DrawSeek(0);
        QVERIFY(ShowAt(&bar, ratio));
        const QImage shown = bar.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage knob = SeekBar::KnobPicture(ratio).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(knob.size(), QSize(141, 111) * ratio);
        int compared = 0;
        for (int y = 0; y < knob.height(); ++y) {
            for (int x = 0; x < knob.width(); ++x) {
                if (qAlpha(knob.pixel(x, y)) == 255) {
                    QCOMPARE(shown.pixel(x, y), knob.pixel(x, y));
                    ++compared;
                }
            }
        }
        QVERIFY(compared > 2500 * ratio * ratio);

        // A problem dialog draws its banner for the screen of its owner.
        frmAlert dialog(QStringLiteral("下载未完成"), QStringLiteral("/x/Song.mp3"), false, &main);
        const auto *banner = dialog.findChild<QLabel *>(QStringLiteral("picTop"));
        QVERIFY(banner);
        QCOMPARE(banner->pixmap().devicePixelRatio(), ratio);
        QCOMPARE(banner->pixmap().size(), (QSizeF(450, 61) * ratio).toSize());  // the label's device pixels
    }
};

int main(int argc, char **argv)
{
    // Screens side by side at display scales 1, 1.5 and 2, as on a desktop
    // with a laptop panel and high-density monitors.
    QTemporaryDir dir;
    QFile screens(dir.filePath(QStringLiteral("screens.json")));
    if (!screens.open(QIODevice::WriteOnly))
        return 1;
    screens.write(R"({"screens": [
        {"name": "1x", "x": 0, "y": 0, "width": 1600, "height": 1200, "logicalDpi": 96, "logicalBaseDpi": 96},
        {"name": "1.5x", "x": 1600, "y": 0, "width": 2400, "height": 1800, "logicalDpi": 144, "logicalBaseDpi": 96},
        {"name": "2x", "x": 4000, "y": 0, "width": 3200, "height": 2400, "logicalDpi": 192, "logicalBaseDpi": 96}]})");
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toUtf8());
    QApplication app(argc, argv);
    TestHiDpi test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hidpi.moc"
