// The drawn progress bar: what is painted where, and the hover look.
#include "download/ui/seekbar.h"
#include "testsupport.h"

#include <QMouseEvent>
#include <QtTest>

using namespace velmora;
using velmora::testing::SaveScreenshot;

namespace {

QImage Grab(SeekBar &bar)
{
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Columns holding something other than the background.
QList<int> PaintedColumns(const QImage &img, QRgb background, int yFrom = 0, int yTo = -1)
{
    if (yTo < 0)
        yTo = img.height() - 1;
    QList<int> cols;
    for (int x = 0; x < img.width(); ++x) {
        for (int y = yFrom; y <= yTo; ++y) {
            if (img.pixel(x, y) != background) {
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
    void sizeAndPictures();
    void emptyBarPaintsOnlyTheKnob();
    void fullBarPutsTheKnobAtTheRightEdge();
    void partialBar();
    void hoverSwapsThePicture();
};

void TestSeekBar::sizeAndPictures()
{
    SeekBar bar;
    QCOMPARE(bar.size(), QSize(424, 111));
    QCOMPARE(SeekBar::SeekTexture().size(), QSize(1, 9));
    QCOMPARE(SeekBar::KnobPicture(false).size(), QSize(141, 111));
    QVERIFY(SeekBar::KnobPicture(false) != SeekBar::KnobPicture(true));
    QCOMPARE(bar.cursor().shape(), Qt::PointingHandCursor);
}

void TestSeekBar::emptyBarPaintsOnlyTheKnob()
{
    SeekBar bar;
    bar.show();
    bar.DrawSeek(0);
    const QImage img = Grab(bar);
    const QRgb bg = bar.palette().window().color().rgb();
    const QList<int> cols = PaintedColumns(img, bg);
    QVERIFY(!cols.isEmpty());
    QCOMPARE(cols.first(), 0);
    QCOMPARE(cols.last(), 140); // the knob picture's own width, nothing further right
    SaveScreenshot(&bar, QStringLiteral("picSeek-0"));
}

void TestSeekBar::fullBarPutsTheKnobAtTheRightEdge()
{
    SeekBar bar;
    bar.show();
    bar.setProgress(1.0f);
    QCOMPARE(bar.seekLength(), 4245);
    const QImage img = Grab(bar);
    const QRgb bg = bar.palette().window().color().rgb();
    const QList<int> cols = PaintedColumns(img, bg);
    QCOMPARE(cols.last(), bar.width() - 1);
    // The bar runs from the left edge to the knob (283 px): every column of its band is painted.
    const QList<int> band = PaintedColumns(img, bg, SeekBar::kBarTopPx, SeekBar::kBarTopPx + SeekBar::kBarHeightPx - 1);
    QVERIFY(band.size() >= 283);
    for (int x = 0; x < 283; ++x)
        QCOMPARE(band.at(x), x);
    // Above and below the band, left of the knob, nothing is painted.
    QCOMPARE(img.pixel(100, SeekBar::kBarTopPx - 1), bg);
    QCOMPARE(img.pixel(100, SeekBar::kBarTopPx + SeekBar::kBarHeightPx), bg);
    QVERIFY(img.pixel(100, SeekBar::kBarTopPx + 4) != bg);
}

void TestSeekBar::partialBar()
{
    SeekBar bar;
    bar.show();
    bar.setProgress(0.6f);
    QCOMPARE(bar.seekLength(), 2547);
    const QImage img = Grab(bar);
    const QRgb bg = bar.palette().window().color().rgb();
    const int knobX = 170; // 2547 twips
    QCOMPARE(PaintedColumns(img, bg).last(), knobX + 140);
    // The bar fills the band up to the knob.
    for (int x = 0; x < knobX; x += 13)
        QVERIFY2(img.pixel(x, SeekBar::kBarTopPx + 4) != bg, qPrintable(QString::number(x)));
    SaveScreenshot(&bar, QStringLiteral("picSeek-60"));

    // Past 100 % the knob stays at the end.
    bar.setProgress(1.3f);
    QCOMPARE(bar.seekLength(), 4245);
}

void TestSeekBar::hoverSwapsThePicture()
{
    SeekBar bar;
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    bar.setProgress(0.5f);
    const QImage normal = Grab(bar);

    Move(&bar, QPointF(50, 50));
    QVERIFY(bar.inSeek());
    const QImage hover = Grab(bar);
    QVERIFY(hover != normal);
    // The picture keeps its place: the painted extent is the same.
    const QRgb bg = bar.palette().window().color().rgb();
    QCOMPARE(PaintedColumns(hover, bg).last(), PaintedColumns(normal, bg).last());

    // The bounds count as inside.
    Move(&bar, QPointF(bar.width(), bar.height()));
    QVERIFY(bar.inSeek());

    Move(&bar, QPointF(bar.width() + 1, 10));
    QVERIFY(!bar.inSeek());
    QCOMPARE(Grab(bar), normal);

    Move(&bar, QPointF(10, -1));
    QVERIFY(!bar.inSeek());
    Move(&bar, QPointF(0, 0));
    QVERIFY(bar.inSeek());
    QCOMPARE(Grab(bar), hover);
}

QTEST_MAIN(TestSeekBar)
#include "tst_seekbar.moc"
