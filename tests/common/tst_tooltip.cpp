// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The balloon tooltip against real widgets: what Create builds, how later
// title/text changes reach a live tip, and when and where the balloon shows.
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

// A pointer event delivered straight to w: Enter, Leave, MouseMove or a left-button press.
void send(QWidget *w, QEvent::Type type, const QPoint &pos = {})
{
    if (type == QEvent::Enter) {
        QEnterEvent e(pos, w->mapTo(w->window(), pos), w->mapToGlobal(pos));
        QApplication::sendEvent(w, &e);
    } else if (type == QEvent::Leave) {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(w, &e);
    } else {
        const Qt::MouseButton button = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent e(type, pos, w->mapToGlobal(pos), button, button, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
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

// Without see-through windows the window is cut to the balloon: every pixel
// wholly inside the outline is kept, every pixel clear of it and its
// one-pixel line is cut away (rounded corners, the room beside the stem).
void verifyCutToShape(const BalloonTip *w)
{
    QVERIFY(w->isCutToShape());
    const QRegion mask = w->mask();
    const QPainterPath shape = w->shapePath();
    QPainterPathStroker line;
    line.setWidth(1.0);
    const QPainterPath withLine = shape.united(line.createStroke(shape));
    int cut = 0;
    for (int y = 0; y < w->height(); ++y) {
        for (int x = 0; x < w->width(); ++x) {
            const QRectF pixel(x, y, 1, 1);
            const bool clear = !withLine.intersects(pixel);
            QVERIFY2(mask.contains(QPoint(x, y)) ? !clear : !shape.contains(pixel),
                     qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
            cut += clear;
        }
    }
    QVERIFY(cut > 40);
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

    void createAndLaterChanges()
    {
        clsToolTip tip;
        QCOMPARE(tip.Create(), false);  // without a control there is nothing to hang a tip on
        QVERIFY(!tip.tipWindow());
        QPointer<BalloonTip> first = makeTip(tip, button, QStringLiteral("动画下载(&A)..."));
        QCOMPARE(first->title(), QStringLiteral("动画下载(&A)..."));  // "&" drawn as it is
        QCOMPARE(first->text(), QStringLiteral("X"));
        QVERIFY(first->hasIcon());
        QCOMPARE(first->toolRect(), button->rect());
        QVERIFY(!first->isVisible());

        // Changes reach the live tip; a title set on it comes without the icon.
        tip.setToolTipText(QStringLiteral("新内容"));
        tip.setToolTipTitle(QStringLiteral("新标题"));
        QCOMPARE(first->text(), QStringLiteral("新内容"));
        QCOMPARE(first->title(), QStringLiteral("新标题"));
        QVERIFY(!first->hasIcon());

        // Create again replaces the tip, with the stored texts and the icon.
        tip.Create();
        QVERIFY(!first);
        QCOMPARE(button->findChildren<BalloonTip *>(Qt::FindDirectChildrenOnly).size(), 1);
        QCOMPARE(tip.tipWindow()->title(), QStringLiteral("新标题"));
        QVERIFY(tip.tipWindow()->hasIcon());
    }

    void tipOutlivesItsObjectButNotItsControl()
    {
        QPointer<BalloonTip> w;
        {
            clsToolTip tip;
            w = makeTip(tip, other);
        }
        send(other, QEvent::Enter, QPoint(5, 5));
        QTRY_VERIFY(w && w->isVisible());
        delete other;
        other = nullptr;
        QVERIFY(!w);
    }

    void hoverShowsWithoutTakingFocusAndLeaveOrPressHides()
    {
        other->setFocus();
        clsToolTip tip;
        BalloonTip *w = makeTip(tip, button);
        send(button, QEvent::Enter, QPoint(10, 10));
        QVERIFY(w->hoverPending() && !w->isVisible());
        QTRY_VERIFY(w->isVisible());
        QCOMPARE(QApplication::activeWindow(), window);
        QVERIFY(other->hasFocus());
        send(button, QEvent::Leave);
        QVERIFY(!w->isVisible());

        send(button, QEvent::MouseMove, QPoint(30, 12));
        QTRY_VERIFY(w->isVisible());
        send(button, QEvent::MouseButtonPress, QPoint(30, 12));
        QVERIFY(!w->isVisible() && !w->hoverPending());

        // Leaving before the delay is up cancels the pending show.
        send(button, QEvent::Leave);
        send(button, QEvent::Enter, QPoint(3, 3));
        send(button, QEvent::Leave);
        QVERIFY(!w->hoverPending() && !w->isVisible());
    }

    // The show delay runs out (hoverPending turns false) without showing the tip.
    void noTipWhileTheWindowIsInactiveOrDisabled()
    {
        clsToolTip tip;
        BalloonTip *w = makeTip(tip, button);
        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        send(button, QEvent::Enter, QPoint(5, 5));
        QTRY_VERIFY(!w->hoverPending());
        QVERIFY(!w->isVisible());

        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->setEnabled(false);
        send(button, QEvent::MouseMove, QPoint(6, 6));
        QTRY_VERIFY(!w->hoverPending());
        QVERIFY(!w->isVisible());
    }

    // The balloon stays on the screen with its stem on the pointer: below the
    // pointer where there is room, above it at the bottom edge.
    void placementAtScreenEdgesAndCutToShape()
    {
        QVERIFY(!BalloonTip::PerPixelAlphaAvailable());  // the offscreen platform has no compositor
        clsToolTip tip;
        BalloonTip *w = makeTip(tip, button, QStringLiteral("动画下载(&A)..."),
                                QStringLiteral("下载TV版, OVA版以及剧场版动画"));
        QVERIFY(!w->testAttribute(Qt::WA_TranslucentBackground));
        const QRect s = button->screen()->availableGeometry();
        for (const QPoint &pointer : {QPoint(s.left(), s.center().y()), QPoint(s.right(), s.center().y()),
                                      QPoint(s.center().x(), s.bottom() - 5), s.bottomRight()}) {
            w->popUpAt(pointer);
            const QRect g = w->geometry();
            const bool above = pointer.y() > s.center().y();
            const QString where = QStringLiteral("at %1,%2").arg(pointer.x()).arg(pointer.y());
            QVERIFY2(s.contains(g) && g.left() <= pointer.x() && g.right() >= pointer.x(), qPrintable(where));
            QVERIFY2(above ? g.bottom() < pointer.y() : g.top() > pointer.y(), qPrintable(where));
            verifyCutToShape(w);
        }
        w->popDown();
    }

    void treeTipWatchesTheItemArea()
    {
        auto *tree = new QTreeWidget(window);
        tree->setHeaderHidden(true);
        auto *root = new QTreeWidgetItem(tree, {QStringLiteral("曲目下载列表")});
        for (int i = 0; i < 3; ++i)
            new QTreeWidgetItem(root, {QStringLiteral("组 %1").arg(i)});
        root->setExpanded(true);
        window->layout()->addWidget(tree);
        QTRY_VERIFY(tree->viewport()->isVisible());
        clsToolTip tip;
        BalloonTip *w = makeTip(tip, tree);
        QWidget *items = tree->viewport();
        const QPoint onItem = tree->visualItemRect(root->child(1)).center();

        // In over the frame onto the items: the balloon points where the pointer rests.
        send(tree, QEvent::Enter, QPoint(1, 1));
        send(items, QEvent::Enter, onItem);
        QTRY_VERIFY(w->isVisible());
        QVERIFY(w->geometry().contains(items->mapToGlobal(onItem).x(), w->geometry().top()));

        // A click on a group hides it; moving over the items or onto the frame does not bring it back.
        send(items, QEvent::MouseButtonPress, onItem);
        send(items, QEvent::MouseMove, onItem + QPoint(8, 20));
        send(items, QEvent::Leave);
        send(tree, QEvent::MouseMove, QPoint(1, 2));
        QVERIFY(!w->hoverPending() && !w->isVisible());

        // Off the tree and back on it: the tip is offered again.
        send(tree, QEvent::Leave);
        send(tree, QEvent::Enter, QPoint(1, 1));
        send(items, QEvent::Enter, onItem);
        QTRY_VERIFY(w->isVisible());
    }

private:
    QWidget *window = nullptr;
    QPushButton *button = nullptr;
    QLineEdit *other = nullptr;
};

QTEST_MAIN(TestToolTip)
#include "tst_tooltip.moc"
