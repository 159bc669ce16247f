// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The drawn progress bar: what is painted where, and the hover look.
#include "download/ui/seekbar.h"
#include "download/core/progress.h"
#include "testsupport.h"

#include <QMouseEvent>
#include <QtTest>

#include <limits>

using namespace velmora;

namespace {

QImage Grab(SeekBar &bar)
{
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Columns holding something other than the background within rows yFrom..yTo.
QList<int> PaintedColumns(const SeekBar &bar, const QImage &img, int yFrom = 0, int yTo = 110)
{
    const QRgb bg = bar.palette().window().color().rgb();
    QList<int> cols;
    for (int x = 0; x < img.width(); ++x) {
        for (int y = yFrom; y <= yTo; ++y) {
            if (img.pixel(x, y) != bg) {
                cols << x;
                break;
            }
        }
    }
    return cols;
}

void Move(QWidget *w, QPointF pos)
{
    QMouseEvent ev(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &ev);
}

} // namespace

class TestSeekBar : public QObject
{
    Q_OBJECT
private slots:
    void painting_data()
    {
        QTest::addColumn<float>("progress");
        QTest::addColumn<int>("knobX");      // pixels
        QTest::addColumn<QString>("shot");
        QTest::newRow("0%") << 0.0f << 0 << "picSeek-0";
        QTest::newRow("60%") << 0.6f << 170 << "picSeek-60";
        QTest::newRow("100%") << 1.0f << 283 << "picSeek-100";
    }
    void painting()
    {
        QFETCH(float, progress);
        QFETCH(int, knobX);
        QFETCH(QString, shot);
        SeekBar bar;
        QCOMPARE(bar.size(), QSize(424, 111));
        bar.show();
        bar.setProgress(progress);
        const QImage img = Grab(bar);
        // The knob picture ends 140 px right of its place (at 100 %: the right edge).
        QCOMPARE(PaintedColumns(bar, img).first(), 0);
        QCOMPARE(PaintedColumns(bar, img).last(), knobX + 140);
        // The bar band (y 84..92) is painted exactly up to the knob; at 0 there is no bar.
        const QList<int> band = PaintedColumns(bar, img, SeekBar::kBarTopPx, SeekBar::kBarTopPx + 8);
        for (int x = 0; x < knobX; ++x)
            QCOMPARE(band.at(x), x);
        if (knobX == 0) {
            QVERIFY(band.last() < 25); // only the knob's disc
        } else {
            // Nothing above or below the band, left of the knob.
            QCOMPARE(img.pixel(knobX / 2, SeekBar::kBarTopPx - 1), bar.palette().window().color().rgb());
            QCOMPARE(img.pixel(knobX / 2, SeekBar::kBarTopPx + 9), bar.palette().window().color().rgb());
        }
        testing::SaveScreenshot(&bar, shot);
    }

    void noNumberDrawsAnEmptyBar()
    {
        SeekBar bar;
        bar.setProgress(0.5f);
        bar.setProgress(std::numeric_limits<float>::quiet_NaN());
        QCOMPARE(bar.seekLength(), 0);
        bar.setProgress(std::numeric_limits<float>::infinity());
        QCOMPARE(bar.seekLength(), kSeekWidth - kKnobWidth);
    }

    void hoverSwapsThePicture()
    {
        SeekBar bar;
        QCOMPARE(bar.cursor().shape(), Qt::PointingHandCursor);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        bar.setProgress(0.5f);
        const QImage normal = Grab(bar);

        Move(&bar, QPointF(50, 50));
        QVERIFY(bar.inSeek());
        const QImage hover = Grab(bar);
        QVERIFY(hover != normal);
        QCOMPARE(PaintedColumns(bar, hover).last(), PaintedColumns(bar, normal).last()); // same place

        Move(&bar, QPointF(bar.width(), bar.height())); // the bounds count as inside
        QVERIFY(bar.inSeek());
        Move(&bar, QPointF(bar.width() + 1, 10));
        QVERIFY(!bar.inSeek());
        QCOMPARE(Grab(bar), normal);
        Move(&bar, QPointF(10, -1));
        QVERIFY(!bar.inSeek());
        Move(&bar, QPointF(0, 0));
        QCOMPARE(Grab(bar), hover);
    }
};

QTEST_MAIN(TestSeekBar)
#include "tst_seekbar.moc"
