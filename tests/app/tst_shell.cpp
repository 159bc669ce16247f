// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The application shell with real windows: splash -> chooser -> main window
// -> chooser -> end, the chooser's picture buttons, links and balloon tips.
#include "app/ui/frmsplash.h"
#include "app/ui/frmtype.h"
#include "app/ui/startup.h"
#include "catalogue/ui/frmmain.h"
#include "common/core/globals.h"
#include "common/core/version.h"
#include "common/ui/tooltip.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <QtTest>
#include <QDesktopServices>
#include <QLabel>

using namespace velmora;

namespace {

void mouse(QWidget *w, QEvent::Type type, const QPointF &pos, Qt::MouseButton button = Qt::NoButton)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// A move with the left button down, as the press routes it to w.
void dragTo(QWidget *w, const QPointF &pos)
{
    QMouseEvent e(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void moveTo(QWidget *w, const QPointF &pos) { mouse(w, QEvent::MouseMove, pos); }

void click(QWidget *w)
{
    const QPointF c(w->width() / 2.0, w->height() / 2.0);
    mouse(w, QEvent::MouseButtonPress, c, Qt::LeftButton);
    mouse(w, QEvent::MouseButtonRelease, c, Qt::LeftButton);
}

frmType *openChooser()
{
    auto *c = new frmType();
    c->show();
    c->setEnabled(true);
    return c;
}

} // namespace

// Catches the pages the chooser opens instead of starting a browser.
class PageCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> pages;
public slots:
    void open(const QUrl &url) { pages << url; }
};

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void init() { ResetGlobals(); }

    void cleanup()
    {
        blnExitOnChooserClose = false;
        ShellEvents::instance()->directMode = false;
        QList<QPointer<QWidget>> left;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<frmType *>(w) || qobject_cast<frmSplash *>(w) || qobject_cast<frmMain *>(w))
                left << w;
        for (const QPointer<QWidget> &w : left)
            delete w.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void startToEnd()
    {
        testing::MessageBoxAnswerer answerer(QMessageBox::Yes);
        QSignalSpy ended(ShellEvents::instance(), &ShellEvents::endProgram);

        QPointer<frmSplash> splash = StartUp();
        QVERIFY(splash->isVisible());
        QCOMPARE(splash->size(), QSize(450, 300));
        QVERIFY(splash->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(splash->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!frmType::current());

        // Half way into the fade-in the message is a mid grey.
        QTRY_VERIFY(splash->fade().blnFadeIn && splash->fade().intLevel >= 160);
        QVERIFY(splash->textShown());
        QVERIFY(splash->textColour().red() < 128 && splash->textColour().red() > 40);
        QCOMPARE(splash->textPos().x(), 15);
        testing::SaveScreenshot(splash, QStringLiteral("splash-fade"));

        // The chooser comes up under the splash, still disabled.
        QTRY_VERIFY(frmType::current());
        QPointer<frmType> chooser = frmType::current();
        QVERIFY(chooser->isVisible());
        QVERIFY(!chooser->isEnabled());
        QVERIFY(splash && splash->isVisible());
        QVERIFY(!splash->Timer1.isActive());
        QVERIFY(splash->timStep2.isActive());
        QVERIFY(!splash->textShown());
        QCOMPARE(splash->fade().intMessage, 1);
        QVERIFY(blnExitOnChooserClose);

        // During the pause a click on a button does nothing.
        click(chooser->picMusic);
        QVERIFY(!CurrentMainWindow());
        QVERIFY(chooser && chooser->isVisible());

        // Then the splash goes and the chooser can be used.
        QTRY_VERIFY(!splash);
        QVERIFY(chooser->isEnabled());

        click(chooser->picMusic);
        QPointer<QWidget> main = CurrentMainWindow();
        QVERIFY(main);
        QVERIFY(main->isVisible());
        QVERIFY(main->isEnabled());
        QVERIFY(!blnAnimeMode);
        QVERIFY(!blnExitOnChooserClose);
        QVERIFY(!main->windowIcon().isNull());
        QCOMPARE(main->windowTitle(), kProductTitle);
        QTRY_VERIFY(!chooser);
        QCOMPARE(ended.count(), 0);

        // Closing the main window brings back a fresh, enabled chooser.
        QVERIFY(main->close());
        QPointer<frmType> again = frmType::current();
        QVERIFY(again);
        QVERIFY(again->isVisible());
        QVERIFY(again->isEnabled());
        QVERIFY(blnExitOnChooserClose);
        QTRY_VERIFY(!main);
        QCOMPARE(ended.count(), 0);

        // Closing that chooser ends the program.
        QVERIFY(again->close());
        QCOMPARE(ended.count(), 1);
        QTRY_VERIFY(!again);
        QVERIFY(!frmType::current());
        QVERIFY(answerer.texts.isEmpty());
    }

    void closingBeforeAnyPickEnds()
    {
        QSignalSpy ended(ShellEvents::instance(), &ShellEvents::endProgram);
        QSignalSpy opened(ShellEvents::instance(), &ShellEvents::mainWindowOpened);
        QPointer<frmType> chooser = openChooser();
        QCOMPARE(chooser->windowTitle(), kProductTitle);
        QCOMPARE(chooser->size(), QSize(480, 357));
        QVERIFY(!(chooser->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!chooser->windowIcon().isNull());
        QVERIFY(!qApp->windowIcon().isNull());
        QVERIFY(chooser->close());
        QCOMPARE(ended.count(), 1);
        QCOMPARE(opened.count(), 0);
        QTRY_VERIFY(!chooser);
    }

    void endingClosesAnOpenMainWindowWithoutReopening()
    {
        testing::MessageBoxAnswerer answerer(QMessageBox::Yes);
        QSignalSpy ended(ShellEvents::instance(), &ShellEvents::endProgram);
        QPointer<frmType> first = openChooser();
        click(first->picAnime);
        QVERIFY(blnAnimeMode);
        QPointer<QWidget> main = CurrentMainWindow();
        QVERIFY(main && main->isVisible());
        QTRY_VERIFY(!first);

        // A chooser open beside the main window, closed without a pick.
        QPointer<frmType> second = openChooser();
        QVERIFY(second->close());
        QCOMPARE(ended.count(), 1);
        QTRY_VERIFY(!main);
        // The main window's return to the chooser must not bring one back now.
        QVERIFY(!frmType::current());
        QVERIFY(answerer.texts.isEmpty());
    }

    void directStartEndsWithTheMainWindow()
    {
        QSignalSpy ended(ShellEvents::instance(), &ShellEvents::endProgram);
        QPointer<QWidget> main = OpenMainDirect(true);
        QVERIFY(main->isVisible() && main->isEnabled());
        QVERIFY(blnAnimeMode);
        QVERIFY(!frmType::current());
        QVERIFY(main->close());
        QCOMPARE(ended.count(), 1);
        QVERIFY(!frmType::current());
        QTRY_VERIFY(!main);
    }

    void hoverPressAndPick_data()
    {
        QTest::addColumn<bool>("anime");
        QTest::newRow("anime") << true;
        QTest::newRow("music") << false;
    }

    void hoverPressAndPick()
    {
        QFETCH(bool, anime);
        QPointer<frmType> chooser = openChooser();
        PictureButton *b = anime ? chooser->picAnime : chooser->picMusic;
        QCOMPARE(b->geometry(), anime ? QRect(209, 113, 102, 134) : QRect(75, 155, 100, 122));
        QCOMPARE(b->shownImage(), 0);
        const qreal w = b->width(), h = b->height();

        moveTo(b, {w / 2, h / 2});
        QCOMPARE(b->shownImage(), 1);
        QCOMPARE(QWidget::mouseGrabber(), b);
        const qint64 hoverKey = b->picture().cacheKey();
        moveTo(b, {w / 3, h / 3});
        QCOMPARE(b->picture().cacheKey(), hoverKey);

        // The right and bottom edges still count as inside; one pixel more does not.
        moveTo(b, {w, h});
        QCOMPARE(b->shownImage(), 1);
        moveTo(b, {0, 0});
        QCOMPARE(b->shownImage(), 1);
        moveTo(b, {w + 1, h / 2});
        QCOMPARE(b->shownImage(), 0);
        QVERIFY(QWidget::mouseGrabber() != b);
        moveTo(b, {w / 2, h + 1});
        QCOMPARE(b->shownImage(), 0);
        moveTo(b, {-1, 0});
        QCOMPARE(b->shownImage(), 0);

        // Pressed stays pressed while inside, goes when the pointer leaves.
        moveTo(b, {5, 5});
        mouse(b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
        QCOMPARE(b->shownImage(), 2);
        moveTo(b, {w / 2, h / 2});
        QCOMPARE(b->shownImage(), 2);
        dragTo(b, {w + 10, h / 2});
        QCOMPARE(b->shownImage(), 0);
        // ... and released out there it picks nothing.
        mouse(b, QEvent::MouseButtonRelease, {w + 10, h / 2}, Qt::LeftButton);
        QVERIFY(!CurrentMainWindow());
        QVERIFY(chooser && chooser->isVisible());

        // Press and release inside (on the edge) is a pick.
        mouse(b, QEvent::MouseButtonPress, {w, h}, Qt::LeftButton);
        mouse(b, QEvent::MouseButtonRelease, {w, h}, Qt::LeftButton);
        QVERIFY(CurrentMainWindow());
        QCOMPARE(blnAnimeMode, anime);
        QVERIFY(!blnExitOnChooserClose);
        QTRY_VERIFY(!chooser);
    }

    // A press dragged out of the window and released there: no grab may be
    // taken or dropped while the button is down (on X11 that ends the press's
    // own grab and its release is lost, leaving every hover dead), and once
    // it is up the other button lights up and its balloon comes again.
    void hoverSurvivesReleaseOutside()
    {
        QPointer<frmType> chooser = openChooser();
        chooser->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(chooser));
        PictureButton *anime = chooser->picAnime;
        PictureButton *music = chooser->picMusic;

        moveTo(anime, {50, 50});
        QCOMPARE(QWidget::mouseGrabber(), anime);
        mouse(anime, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton);
        const QPointF outside(-400, -300);  // beyond the window's top left corner
        dragTo(anime, outside);
        QCOMPARE(anime->shownImage(), 0);
        QCOMPARE(QWidget::mouseGrabber(), anime);  // kept while the button is down
        mouse(anime, QEvent::MouseButtonRelease, outside, Qt::LeftButton);
        QVERIFY(!QWidget::mouseGrabber());
        QVERIFY(chooser->isVisible() && !CurrentMainWindow());

        const QPoint at(50, 60);
        QEnterEvent enter(at, music->mapTo(chooser, at), music->mapToGlobal(at));
        QApplication::sendEvent(music, &enter);
        moveTo(music, at);
        QCOMPARE(music->shownImage(), 1);
        QCOMPARE(QWidget::mouseGrabber(), music);
        QTRY_VERIFY(chooser->tipMusic.tipWindow()->isVisible());
        moveTo(music, {-5, 60});
        QVERIFY(!QWidget::mouseGrabber());
    }

    // Tab walks the two buttons with a visible ring, Enter and Space pick the
    // focused one, Alt+A and Alt+M pick directly, Escape closes as the close box does.
    void keyboard_data()
    {
        QTest::addColumn<QList<int>>("keys");  // each a key combination
        QTest::addColumn<int>("outcome");      // 1 anime, 0 music, -1 program ends
        QTest::newRow("Enter on the first button") << QList<int>{Qt::Key_Return} << 1;
        QTest::newRow("Tab then Space") << QList<int>{Qt::Key_Tab, Qt::Key_Space} << 0;
        QTest::newRow("Tab Tab then keypad Enter")
            << QList<int>{Qt::Key_Tab, Qt::Key_Tab, (Qt::KeypadModifier | Qt::Key_Enter).toCombined()} << 1;
        QTest::newRow("Alt+M") << QList<int>{(Qt::AltModifier | Qt::Key_M).toCombined()} << 0;
        QTest::newRow("Alt+A after Tab") << QList<int>{Qt::Key_Tab, (Qt::AltModifier | Qt::Key_A).toCombined()} << 1;
        QTest::newRow("Escape") << QList<int>{Qt::Key_Escape} << -1;
        QTest::newRow("plain M picks nothing, then Escape") << QList<int>{Qt::Key_M, Qt::Key_Escape} << -1;
    }

    void keyboard()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, outcome);
        QSignalSpy ended(ShellEvents::instance(), &ShellEvents::endProgram);
        QPointer<frmType> chooser = openChooser();
        chooser->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(chooser));
        QCOMPARE(QApplication::focusWidget(), chooser->picAnime);  // ready for the keyboard at once

        for (int combination : keys) {
            QVERIFY(chooser);
            const auto key = Qt::Key(combination & ~Qt::KeyboardModifierMask);
            const auto modifiers = Qt::KeyboardModifiers(combination & Qt::KeyboardModifierMask);
            QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : chooser.data();
            QTest::keyClick(target, key, modifiers);
            if (key == Qt::Key_Tab && chooser)
                QVERIFY(QApplication::focusWidget() == chooser->picAnime
                        || QApplication::focusWidget() == chooser->picMusic);
        }
        if (outcome < 0) {
            QVERIFY(!CurrentMainWindow());
            QCOMPARE(ended.size(), 1);
        } else {
            QVERIFY(CurrentMainWindow());
            QCOMPARE(blnAnimeMode, outcome == 1);
            QCOMPARE(ended.size(), 0);
        }
        QTRY_VERIFY(!chooser);
    }

    // The focused button is framed, the other is not: compare each button's
    // pixels with and without the focus.
    void focusIsVisible()
    {
        QPointer<frmType> chooser = openChooser();
        chooser->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(chooser));
        PictureButton *anime = chooser->picAnime;
        PictureButton *music = chooser->picMusic;
        anime->setFocus(Qt::TabFocusReason);
        const QImage animeFocused = anime->grab().toImage();
        const QImage musicPlain = music->grab().toImage();
        music->setFocus(Qt::TabFocusReason);
        QVERIFY(anime->grab().toImage() != animeFocused);
        QVERIFY(music->grab().toImage() != musicPlain);
        testing::SaveScreenshot(chooser, QStringLiteral("chooser-focus"));
    }

    void creditsOpenTheirPages()
    {
        PageCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        QPointer<frmType> chooser = openChooser();
        for (QWidget *w : {static_cast<QWidget *>(chooser->imgLogo), static_cast<QWidget *>(chooser->imgPartner),
                           static_cast<QWidget *>(chooser->lblSponsor)})
            click(w);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.pages, (QList<QUrl>{QUrl(frmType::kMakerPage), QUrl(frmType::kPartnerPage),
                                             QUrl(frmType::kSponsorPage)}));
        QVERIFY(chooser->isVisible());
        QVERIFY(!CurrentMainWindow());
        QCOMPARE(chooser->picAnime->cursor().shape(), Qt::BitmapCursor);
    }

    void buttonTipsShowOnHover()
    {
        QPointer<frmType> chooser = openChooser();
        chooser->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(chooser));
        BalloonTip *anime = chooser->tipAnime.tipWindow();
        BalloonTip *music = chooser->tipMusic.tipWindow();
        QVERIFY(anime && music);
        QCOMPARE(anime->title(), QStringLiteral("动画下载(&A)..."));
        QCOMPARE(anime->text(), QStringLiteral("下载TV版, OVA版以及剧场版动画"));
        QCOMPARE(music->title(), QStringLiteral("动漫音乐(&M)..."));
        QCOMPARE(music->text(), QStringLiteral("下载动漫相关歌曲, 单曲集以及原声集"));
        QCOMPARE(anime->toolRect(), QRect(0, 0, 102, 134));
        QCOMPARE(chooser->picAnime->findChildren<BalloonTip *>().size(), 1);

        PictureButton *b = chooser->picAnime;
        const QPoint at(60, 70);
        QEnterEvent enter(at, b->mapTo(chooser, at), b->mapToGlobal(at));
        QApplication::sendEvent(b, &enter);
        moveTo(b, at);
        QCOMPARE(b->shownImage(), 1);
        QTRY_VERIFY(anime->isVisible());
        QVERIFY(!music->isVisible());
        testing::SaveScreenshot(anime, QStringLiteral("chooser-hover-tip"));

        moveTo(b, {200, 70});
        QVERIFY(!anime->isVisible());
        QCOMPARE(b->shownImage(), 0);
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
