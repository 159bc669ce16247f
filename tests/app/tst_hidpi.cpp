// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Pictures drawn at the screen's pixel ratio: at a display scale of 2 the
// windows paint their artwork with twice the pixels, not a 1x picture blown
// up, and keep their sizes in logical pixels.
#include "download/ui/frmalert.h"
#include "app/ui/art.h"
#include "app/ui/frmtype.h"
#include "catalogue/ui/artwork.h"
#include "catalogue/ui/frmmain.h"
#include "common/core/globals.h"
#include "download/ui/seekbar.h"

#include <QApplication>
#include <QLabel>
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

} // namespace

class TestHiDpi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), 2.0); }

    void chooserAndMainWindow()
    {
        frmType chooser;
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QCOMPARE(chooser.size(), QSize(480, 357));
        QCOMPARE(chooser.picAnime->size(), QSize(102, 134));
        const QPixmap face = chooser.picAnime->picture();
        QCOMPARE(face.devicePixelRatio(), 2.0);
        QCOMPARE(face.size(), QSize(204, 268));
        QVERIFY(PaintsAtRatio(&chooser, QRect(10, 26, 200, 50), art::ChooserBackground(2.0)));
        QVERIFY(PaintsAtRatio(chooser.picMusic, chooser.picMusic->rect(), chooser.imgMusicRes[0]));
        chooser.setEnabled(true);
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), chooser.picAnime->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(chooser.picAnime, &move);
        QCOMPARE(chooser.picAnime->shownImage(), 1);
        QCOMPARE(chooser.picAnime->picture().devicePixelRatio(), 2.0);
        chooser.hide();

        blnAnimeMode = false;
        frmMain main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QCOMPARE(main.size(), QSize(751, 443));
        QVERIFY(PaintsAtRatio(&main, QRect(0, 0, 190, 60), MusicBackground(main.size(), 2.0)));
    }

    void downloadAndProblemPictures()
    {
        SeekBar bar;
        bar.DrawSeek(0);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        const QImage shown = bar.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage knob = SeekBar::KnobPicture(false, 2.0).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(knob.size(), QSize(282, 222));
        int compared = 0;
        for (int y = 0; y < knob.height(); ++y) {
            for (int x = 0; x < knob.width(); ++x) {
                if (qAlpha(knob.pixel(x, y)) == 255) {
                    QCOMPARE(shown.pixel(x, y), knob.pixel(x, y));
                    ++compared;
                }
            }
        }
        QVERIFY(compared > 10000);

        frmAlert dialog(QStringLiteral("下载未完成"), QStringLiteral("/x/Song.mp3"), false);
        const auto *banner = dialog.findChild<QLabel *>(QStringLiteral("picTop"));
        QVERIFY(banner);
        QCOMPARE(banner->pixmap().devicePixelRatio(), 2.0);
        QCOMPARE(banner->pixmap().deviceIndependentSize(), QSizeF(450, 61));
        QCOMPARE(banner->size(), QSize(450, 61));
    }
};

int main(int argc, char **argv)
{
    // A display scale of 2, as on a high-density laptop screen.
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestHiDpi test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hidpi.moc"
