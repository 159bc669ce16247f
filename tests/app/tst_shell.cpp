// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The application shell with real windows: splash -> chooser -> main window
// -> chooser -> end, the chooser's picture buttons and balloon tips.
#include "app/ui/frmsplash.h"
#include "app/ui/frmtype.h"
#include "app/ui/startup.h"
#include "catalogue/ui/frmmain.h"
#include "common/core/globals.h"
#include "common/ui/tooltip.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <QtTest>

using namespace velmora;

namespace {

void send(QWidget *w, QEvent::Type type, const QPointF &pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void moveTo(QWidget *w, const QPointF &pos) { send(w, QEvent::MouseMove, pos, Qt::NoButton, Qt::NoButton); }
void dragTo(QWidget *w, const QPointF &pos) { send(w, QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton); }
void press(QWidget *w, const QPointF &pos) { send(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton); }
void release(QWidget *w, const QPointF &pos) { send(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, {}); }

void click(QWidget *w)
{
    press(w, w->rect().center());
    release(w, w->rect().center());
}

// The pointer comes into the button from outside and stops at `at`.
void enterAt(PictureButton *b, const QPoint &at)
{
    QEnterEvent enter(at, b->mapTo(b->window(), at), b->mapToGlobal(at));
    QApplication::sendEvent(b, &enter);
    moveTo(b, at);
}

frmType *openChooser()
{
    auto *c = new frmType();
    c->show();
    c->setEnabled(true);
    return c;
}

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void init() { ResetGlobals(); }

    void cleanup()
    {
        blnExitOnChooserClose = false;
        ShellEvents::instance()->directMode = false;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<frmType *>(w) || qobject_cast<frmSplash *>(w) || qobject_cast<frmMain *>(w))
                w->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void startToEnd()
    {
        testing::MessageBoxAnswerer answerer(QMessageBox::Yes);
        QSignalSpy ended(ShellEvents::instance(), &ShellEvents::endProgram);
        QPointer<frmSplash> splash = StartUp();
        QVERIFY(splash->isVisible());
        QVERIFY(splash->windowFlags().testFlags(Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint));
        QVERIFY(!frmType::current());

        // Half way into the fade-in the message is a mid grey.
        QTRY_VERIFY(splash->fade().blnFadeIn && splash->fade().intLevel >= 160);
        QVERIFY(splash->textShown());
        QVERIFY(splash->textColour().red() < 128 && splash->textColour().red() > 40);
        testing::SaveScreenshot(splash, QStringLiteral("splash-fade"));

        // The chooser comes up under the splash, still disabled: a click does nothing.
        QTRY_VERIFY(frmType::current());
        QPointer<frmType> chooser = frmType::current();
        QVERIFY(chooser->isVisible() && !chooser->isEnabled());
        QVERIFY(!chooser->windowIcon().isNull() && !qApp->windowIcon().isNull());
        QVERIFY(splash && splash->isVisible() && !splash->textShown());
        QVERIFY(blnExitOnChooserClose);
        click(chooser->picMusic);
        QVERIFY(!CurrentMainWindow());

        // Then the splash goes and the chooser can be used.
        QTRY_VERIFY(!splash);
        QVERIFY(chooser->isEnabled());
        click(chooser->picMusic);
        QPointer<QWidget> main = CurrentMainWindow();
        QVERIFY(main && main->isVisible() && main->isEnabled());
        QVERIFY(!blnAnimeMode && !blnExitOnChooserClose);
        QTRY_VERIFY(!chooser);

        // Closing the main window brings back a fresh, enabled chooser; closing that ends the program.
        QVERIFY(main->close());
        QPointer<frmType> again = frmType::current();
        QVERIFY(again && again->isVisible() && again->isEnabled());
        QVERIFY(blnExitOnChooserClose);
        QTRY_VERIFY(!main);
        QCOMPARE(ended.count(), 0);
        QVERIFY(again->close());
        QCOMPARE(ended.count(), 1);
        QTRY_VERIFY(!again);
        QVERIFY(!frmType::current());
        QVERIFY(answerer.texts.isEmpty());
    }

    void directStartEndsWithTheMainWindow()
    {
        QSignalSpy ended(ShellEvents::instance(), &ShellEvents::endProgram);
        QPointer<QWidget> main = OpenMainDirect(true);
        QVERIFY(main->isVisible() && main->isEnabled());
        QVERIFY(blnAnimeMode);
        QVERIFY(main->close());
        QCOMPARE(ended.count(), 1);
        QVERIFY(!frmType::current());
        QTRY_VERIFY(!main);
    }

    void hoverPressAndPick_data()
    {
        QTest::addColumn<bool>("anime");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("anime") << true << "动画下载(&A)..." << "下载TV版, OVA版以及剧场版动画";
        QTest::newRow("music") << false << "动漫音乐(&M)..." << "下载动漫相关歌曲, 单曲集以及原声集";
    }

    void hoverPressAndPick()
    {
        QFETCH(bool, anime);
        QPointer<frmType> chooser = openChooser();
        QVERIFY(testing::ActivateWindow(chooser));
        PictureButton *b = anime ? chooser->picAnime : chooser->picMusic;
        BalloonTip *tip = (anime ? chooser->tipAnime : chooser->tipMusic).tipWindow();
        QTEST(tip->title(), "title");
        QTEST(tip->text(), "text");
        // The main window's banner names the kind as the chooser does.
        QVERIFY(tip->title().startsWith(anime ? kAnimeKindName : kMusicKindName));
        QCOMPARE(b->shownImage(), 0);
        const qreal w = b->width(), h = b->height();

        // Hovering lights the button and grabs the mouse; all four edges are
        // inside, one pixel beyond is not.
        const struct { QPointF at; int shown; } moves[] = {
            {{w / 2, h / 2}, 1}, {{w, h}, 1}, {{0, 0}, 1}, {{w + 1, h / 2}, 0}, {{w / 2, h + 1}, 0}, {{-1, 0}, 0},
        };
        for (const auto &m : moves) {
            moveTo(b, m.at);
            const bool grabbed = QWidget::mouseGrabber() == b;
            QVERIFY2(b->shownImage() == m.shown && grabbed == (m.shown == 1),
                     qPrintable(QStringLiteral("at %1,%2").arg(m.at.x()).arg(m.at.y())));
        }

        // A press stays pressed while inside. Dragged out of the window it
        // looks released, but no grab may be taken or dropped while the
        // button is down (on X11 that ends the press's own grab and its
        // release is lost, leaving every hover dead); released there it picks nothing.
        moveTo(b, {5, 5});
        press(b, {5, 5});
        moveTo(b, {w / 2, h / 2});
        QCOMPARE(b->shownImage(), 2);
        const QPointF outside(-400, -300);  // beyond the window's top left corner
        dragTo(b, outside);
        QCOMPARE(b->shownImage(), 0);
        QCOMPARE(QWidget::mouseGrabber(), b);
        release(b, outside);
        QVERIFY(!QWidget::mouseGrabber());
        QVERIFY(!CurrentMainWindow());

        // Hovering still works, and brings the balloon.
        enterAt(b, {50, 60});
        QCOMPARE(b->shownImage(), 1);
        QCOMPARE(QWidget::mouseGrabber(), b);
        QTRY_VERIFY(tip->isVisible());
        testing::SaveScreenshot(tip, QStringLiteral("chooser-hover-tip-%1").arg(QTest::currentDataTag()));
        moveTo(b, {-5, 60});
        QVERIFY(!QWidget::mouseGrabber() && !tip->isVisible());

        // Press and release inside (on the edge) is a pick.
        press(b, {w, h});
        release(b, {w, h});
        QPointer<QWidget> main = CurrentMainWindow();
        QVERIFY(main && main->isVisible());
        QCOMPARE(blnAnimeMode, anime);
        QVERIFY(!blnExitOnChooserClose);
        QTRY_VERIFY(!chooser);

        // A chooser closed beside it ends the program: the main window goes
        // without asking and without bringing a chooser back.
        testing::MessageBoxAnswerer answerer(QMessageBox::Yes);
        QSignalSpy ended(ShellEvents::instance(), &ShellEvents::endProgram);
        QVERIFY(openChooser()->close());
        QCOMPARE(ended.count(), 1);
        QTRY_VERIFY(!main);
        QVERIFY(!frmType::current());
        QVERIFY(answerer.texts.isEmpty());
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
