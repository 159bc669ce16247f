// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The balloon tooltip against real widgets: what Create builds, how later
// title/text changes reach a live tip, and when the balloon shows and hides.
#include "common/ui/tooltip.h"

#include <QtTest>
#include <QLineEdit>
#include <QPainterPathStroker>
#include <QScreen>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using velmora::BalloonTip;
using velmora::clsToolTip;

namespace {

void sendEnter(QWidget *w, const QPoint &pos)
{
    QEnterEvent e(pos, w->mapTo(w->window(), pos), w->mapToGlobal(pos));
    QApplication::sendEvent(w, &e);
}

void sendMove(QWidget *w, const QPoint &pos)
{
    QMouseEvent e(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void sendPress(QWidget *w, const QPoint &pos)
{
    QMouseEvent e(QEvent::MouseButtonPress, pos, w->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void sendLeave(QWidget *w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

// Sets up tip on control and creates its balloon.
BalloonTip *makeTip(clsToolTip &tip, QWidget *control, const QString &title = QStringLiteral("T"),
                    const QString &text = QStringLiteral("X"))
{
    tip.setParentControl(control);
    tip.setToolTipTitle(title);
    tip.setToolTipText(text);
    tip.Create();
    return tip.tipWindow();
}

QList<BalloonTip *> tipsOf(QWidget *control)
{
    return control->findChildren<BalloonTip *>(Qt::FindDirectChildrenOnly);
}

// The window is cut to the balloon: every pixel wholly inside the outline is
// kept, every pixel clear of the outline and its one-pixel line is cut away.
void verifyCutToShape(const BalloonTip *w)
{
    QVERIFY(w->isCutToShape());
    const QRegion mask = w->mask();
    // The stem's sharp tip may leave the outermost row of pixels uncovered.
    QVERIFY(w->rect().contains(mask.boundingRect()));
    QVERIFY(mask.boundingRect().height() >= w->height() - 1);
    QCOMPARE(mask.boundingRect().width(), w->width());
    const QPainterPath shape = w->shapePath();
    QPainterPathStroker line;
    line.setWidth(1.0);
    const QPainterPath withLine = shape.united(line.createStroke(shape));
    int kept = 0, cut = 0;
    for (int y = 0; y < w->height(); ++y) {
        for (int x = 0; x < w->width(); ++x) {
            const QRectF pixel(x, y, 1, 1);
            if (shape.contains(pixel)) {
                QVERIFY2(mask.contains(QPoint(x, y)), qPrintable(QStringLiteral("inside cut at %1,%2").arg(x).arg(y)));
                ++kept;
            } else if (!withLine.intersects(pixel)) {
                QVERIFY2(!mask.contains(QPoint(x, y)), qPrintable(QStringLiteral("outside kept at %1,%2").arg(x).arg(y)));
                ++cut;
            }
        }
    }
    // Rounded corners and the room beside the stem are really cut.
    QVERIFY(cut > 40);
    QVERIFY(kept > w->width() * (w->height() / 2));
}

} // namespace

class TestToolTip : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        window = new QWidget;
        window->resize(300, 200);
        auto *layout = new QVBoxLayout(window);
        button = new QPushButton(QStringLiteral("加载(&L)"), window);
        button->setFixedSize(120, 30);
        other = new QLineEdit(window);
        layout->addWidget(button);
        layout->addWidget(other);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

    void cleanup() { delete window; }

    void settingsBeforeCreateReachTheFirstTip()
    {
        clsToolTip tip;
        tip.setParentControl(button);
        tip.setToolTipTitle(QStringLiteral("动画下载(&A)..."));
        tip.setToolTipText(QStringLiteral("下载TV版, OVA版以及剧场版动画"));
        QVERIFY(!tip.tipWindow());
        QVERIFY(tipsOf(button).isEmpty());

        tip.Create();
        BalloonTip *w = tip.tipWindow();
        QVERIFY(w);
        // The title goes through unchanged, "&" included.
        QCOMPARE(w->title(), QStringLiteral("动画下载(&A)..."));
        QCOMPARE(w->text(), QStringLiteral("下载TV版, OVA版以及剧场版动画"));
        QVERIFY(w->hasIcon());
        QCOMPARE(w->toolRect(), button->rect());
        QVERIFY(w->windowFlags() & Qt::ToolTip);
        QVERIFY(!w->isVisible());
    }

    void changesAfterCreateUpdateTheLiveTip()
    {
        clsToolTip tip;
        BalloonTip *w = makeTip(tip, button, QStringLiteral("旧标题"), QStringLiteral("旧内容"));

        tip.setToolTipText(QStringLiteral("新内容, 比原来的长得多的一段说明文字"));
        QCOMPARE(w->text(), QStringLiteral("新内容, 比原来的长得多的一段说明文字"));
        QCOMPARE(w->title(), QStringLiteral("旧标题"));
        QVERIFY(w->hasIcon());

        // A title set on a live tip comes without the icon.
        tip.setToolTipTitle(QStringLiteral("新标题"));
        QCOMPARE(w->title(), QStringLiteral("新标题"));
        QVERIFY(!w->hasIcon());
        QCOMPARE(tip.tipWindow(), w);

        // Create again: the stored title and text, icon back, same single tip.
        tip.Create();
        QCOMPARE(tipsOf(button).size(), 1);
        QCOMPARE(tip.tipWindow()->title(), QStringLiteral("新标题"));
        QVERIFY(tip.tipWindow()->hasIcon());
    }

    void createTwiceLeavesOneTip()
    {
        clsToolTip tip;
        QPointer<BalloonTip> first = makeTip(tip, button);
        tip.Create();
        QVERIFY(!first);
        QCOMPARE(tipsOf(button).size(), 1);
        QCOMPARE(tipsOf(button).constFirst(), tip.tipWindow());

        // Two objects on one control are two tips; each Create replaces only its own.
        clsToolTip second;
        second.setParentControl(button);
        second.Create();
        second.Create();
        QCOMPARE(tipsOf(button).size(), 2);

        // Without a control there is nothing to hang a tip on.
        clsToolTip loose;
        loose.setToolTipTitle(QStringLiteral("T"));
        QCOMPARE(loose.Create(), false);
        QVERIFY(!loose.tipWindow());
        loose.setToolTipText(QStringLiteral("Y"));  // goes nowhere, harmlessly
    }

    void tipOutlivesItsObjectButNotItsControl()
    {
        QPointer<BalloonTip> w;
        {
            clsToolTip tip;
            w = makeTip(tip, other);
        }
        QVERIFY(w);
        sendEnter(other, QPoint(5, 5));
        QTRY_VERIFY(w->isVisible());
        delete other;
        other = nullptr;
        QVERIFY(!w);
    }

    void hoverShowsAndLeaveOrPressHides()
    {
        clsToolTip tip;
        BalloonTip *w = makeTip(tip, button);

        sendEnter(button, QPoint(10, 10));
        QVERIFY(w->hoverPending());
        QVERIFY(!w->isVisible());
        QTRY_VERIFY(w->isVisible());
        // The balloon hangs below the pointer, its stem on the pointer's column.
        const QPoint pointer = button->mapToGlobal(QPoint(10, 10));
        QVERIFY(w->geometry().top() >= pointer.y() || w->geometry().bottom() <= pointer.y());
        QVERIFY(w->geometry().left() <= pointer.x() && w->geometry().right() >= pointer.x());

        sendLeave(button);
        QVERIFY(!w->isVisible());

        sendMove(button, QPoint(30, 12));
        QTRY_VERIFY(w->isVisible());
        sendPress(button, QPoint(30, 12));
        QVERIFY(!w->isVisible());
        QVERIFY(!w->hoverPending());

        // Leaving before the delay is up cancels the pending show.
        sendLeave(button);
        sendEnter(button, QPoint(3, 3));
        sendLeave(button);
        QVERIFY(!w->hoverPending());
        QVERIFY(!w->isVisible());
    }

    void areaIsTheClientRectMeasuredAtCreate()
    {
        clsToolTip tip;
        BalloonTip *w = makeTip(tip, button);
        const QRect measured = button->rect();
        button->setFixedSize(220, 40);

        sendEnter(button, QPoint(200, 35));  // on the control now, outside the measured area
        QVERIFY(!w->hoverPending());
        QVERIFY(!w->isVisible());
        QCOMPARE(w->toolRect(), measured);

        sendMove(button, QPoint(measured.width() - 1, measured.height() - 1));
        QTRY_VERIFY(w->isVisible());
        sendMove(button, QPoint(200, 35));
        QVERIFY(!w->isVisible());
    }

    void noTipWhileTheWindowIsInactiveOrDisabled()
    {
        clsToolTip tip;
        BalloonTip *w = makeTip(tip, button);

        QWidget elsewhere;
        elsewhere.resize(100, 100);
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        sendEnter(button, QPoint(5, 5));
        QTRY_VERIFY(!w->hoverPending());
        QVERIFY(!w->isVisible());

        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->setEnabled(false);
        sendMove(button, QPoint(6, 6));
        QTRY_VERIFY(!w->hoverPending());
        QVERIFY(!w->isVisible());
    }

    void cutToShapeWithoutSeeThroughWindows()
    {
        // Like a bare X server, the offscreen platform has no compositor.
        QVERIFY(!BalloonTip::PerPixelAlphaAvailable());
        clsToolTip tip;
        BalloonTip *w = makeTip(tip, button, QStringLiteral("动画下载(&A)..."),
                                QStringLiteral("下载TV版, OVA版以及剧场版动画"));
        QVERIFY(!w->testAttribute(Qt::WA_TranslucentBackground));
        verifyCutToShape(w);

        // Shown below the pointer, and above it at the bottom of the screen:
        // the cut follows the stem.
        w->popUpAt(button->mapToGlobal(QPoint(10, 10)));
        verifyCutToShape(w);
        const QRegion below = w->mask();
        const QRect screen = button->screen()->availableGeometry();
        w->popUpAt(QPoint(screen.center().x(), screen.bottom() - 5));
        verifyCutToShape(w);
        QVERIFY(w->mask() != below);
        QVERIFY(w->geometry().bottom() < screen.bottom() - 5);
        w->popDown();
    }

    void treeTipWatchesTheItemArea()
    {
        auto *tree = new QTreeWidget(window);
        tree->setHeaderHidden(true);
        auto *root = new QTreeWidgetItem(tree, {QStringLiteral("曲目下载列表")});
        for (int i = 0; i < 5; ++i)
            new QTreeWidgetItem(root, {QStringLiteral("组 %1").arg(i)});
        root->setExpanded(true);
        window->layout()->addWidget(tree);
        window->resize(320, 320);
        tree->show();
        QTRY_VERIFY(tree->isVisible() && tree->viewport()->isVisible());
        clsToolTip tip;
        BalloonTip *w = makeTip(tip, tree);
        QWidget *items = tree->viewport();
        const QPoint onItem = tree->visualItemRect(root->child(1)).center();

        // The pointer comes in over the frame onto the items and rests there:
        // the balloon shows, pointing where the pointer is.
        sendEnter(tree, QPoint(1, 1));
        sendEnter(items, onItem);
        sendMove(items, onItem);
        QTRY_VERIFY(w->isVisible());
        const QPoint pointer = items->mapToGlobal(onItem);
        QVERIFY(w->geometry().left() <= pointer.x() && w->geometry().right() >= pointer.x());
        QVERIFY(qAbs(w->geometry().top() - pointer.y()) < 5 || qAbs(w->geometry().bottom() - pointer.y()) < 5);

        // A click on a group hides it; moving over the items does not bring it back.
        sendPress(items, onItem);
        QVERIFY(!w->isVisible());
        sendMove(items, onItem + QPoint(8, 20));
        QVERIFY(!w->hoverPending());
        sendMove(items, onItem + QPoint(16, 1));
        QVERIFY(!w->hoverPending());
        QVERIFY(!w->isVisible());

        // Off the items onto the frame is still on the tree: no tip yet.
        sendLeave(items);
        sendMove(tree, QPoint(1, 2));
        QVERIFY(!w->hoverPending());

        // Off the tree and back on it: the tip is offered again.
        sendLeave(tree);
        sendEnter(tree, QPoint(1, 1));
        sendEnter(items, onItem);
        QVERIFY(w->hoverPending());
        QTRY_VERIFY(w->isVisible());
        sendLeave(items);
        sendLeave(tree);
        QVERIFY(!w->isVisible());
    }

private:
    QWidget *window = nullptr;
    QPushButton *button = nullptr;
    QLineEdit *other = nullptr;
};

QTEST_MAIN(TestToolTip)
#include "tst_tooltip.moc"
