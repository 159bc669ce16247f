// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader learns from each window, through Qt's accessibility
// interfaces, and what a keyboard user meets: the chooser by keys alone, and
// the focus shown as one ring, never a second one on the default button.
#include "about/ui/frmabout.h"
#include "download/ui/frmalert.h"
#include "app/ui/frmtype.h"
#include "app/ui/startup.h"
#include "catalogue/ui/frmmain.h"
#include "common/core/globals.h"
#include "download/ui/frmdownload.h"
#include "download/ui/seekbar.h"
#include "testsupport.h"

#include "common/ui/focusstyle.h"

#include <QAccessible>
#include <QPushButton>
#include <QSignalSpy>
#include <QAccessibleValueInterface>
#include <QtTest>

using namespace velmora;

namespace {

// Every visible node under iface whose role means nothing to a listener
// without a name, and has none, as "role (class)".
void CollectUnnamed(QAccessibleInterface *iface, QStringList &unnamed, int depth = 0)
{
    static const QList<QAccessible::Role> needsName = {QAccessible::Button, QAccessible::Link, QAccessible::Graphic,
        QAccessible::ProgressBar, QAccessible::ComboBox, QAccessible::EditableText, QAccessible::Tree};
    if (!iface || depth > 6 || iface->state().invisible)
        return;
    if (needsName.contains(iface->role()) && iface->text(QAccessible::Name).trimmed().isEmpty())
        unnamed << QStringLiteral("%1 (%2)").arg(int(iface->role())).arg(iface->object() ? iface->object()->metaObject()->className() : "?");
    if (iface->role() == QAccessible::Tree)
        return;  // its rows carry their own texts
    for (int i = 0; i < iface->childCount(); ++i)
        CollectUnnamed(iface->child(i), unnamed, depth + 1);
}

QAccessibleInterface *Of(QObject *o) { return QAccessible::queryAccessibleInterface(o); }

QWidget *NewWindow(const QString &kind)
{
    if (kind == QLatin1String("chooser")) {
        auto *chooser = new frmType;
        chooser->setAttribute(Qt::WA_DeleteOnClose, false);
        return chooser;
    }
    if (kind.startsWith(QLatin1String("main"))) {
        blnAnimeMode = kind.endsWith(QLatin1String("anime"));
        return new frmMain;
    }
    if (kind == QLatin1String("download"))
        return new frmDownload;
    if (kind == QLatin1String("about"))
        return new frmAbout;
    return new frmAlert(QStringLiteral("无法连接到服务器"), QStringLiteral("http://h/a.mkv"), true);
}

frmType *openChooser()
{
    auto *chooser = new frmType;
    chooser->setEnabled(true);
    return chooser;
}

} // namespace

class tst_Accessible : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { InstallFocusStyle(); }  // as the program does at start
    void init() { ResetGlobals(); }

    // A pick leaves a main window open; a failed case may leave its chooser.
    void cleanup()
    {
        delete CurrentMainWindow();
        delete frmType::current();
        blnExitOnChooserClose = false;
    }

    void everyWindowNamesItsControls_data()
    {
        QTest::addColumn<QString>("window");
        for (const char *w : {"chooser", "main anime", "main music", "download", "alert", "about"})
            QTest::newRow(w) << QString::fromLatin1(w);
    }

    void everyWindowNamesItsControls()
    {
        QFETCH(QString, window);
        std::unique_ptr<QWidget> w(NewWindow(window));
        w->show();
        w->setEnabled(true);
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QAccessibleInterface *top = Of(w.get());
        QVERIFY(top && !top->text(QAccessible::Name).isEmpty());
        QStringList unnamed;
        CollectUnnamed(top, unnamed);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    }

    void chooserButtonsPressLikeButtons()
    {
        QPointer<frmType> chooser = openChooser();
        chooser->show();
        QAccessibleInterface *anime = Of(chooser->picAnime);
        QAccessibleInterface *music = Of(chooser->picMusic);
        QCOMPARE(anime->role(), QAccessible::Button);
        QCOMPARE(anime->text(QAccessible::Name), QStringLiteral("动画下载(A)..."));
        QCOMPARE(music->text(QAccessible::Name), QStringLiteral("动漫音乐(M)..."));
        QVERIFY(anime->state().focusable);
        QCOMPARE(Of(chooser->imgLogo)->role(), QAccessible::Link);
        QCOMPARE(Of(chooser->imgLogo)->text(QAccessible::Name), QStringLiteral("Powered by Quillon"));

        QAccessibleActionInterface *action = music->actionInterface();
        QVERIFY(action && action->actionNames().contains(QAccessibleActionInterface::pressAction()));
        action->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(CurrentMainWindow());
        QVERIFY(!blnAnimeMode);
        QTRY_VERIFY(!chooser);
    }

    // Tab walks the two buttons, Enter and Space pick the focused one, Alt+A
    // and Alt+M pick directly, Escape closes as the close box does.
    void chooserByKeyboard_data()
    {
        QTest::addColumn<QList<int>>("keys");  // each a key combination
        QTest::addColumn<int>("outcome");      // 1 anime, 0 music, -1 program ends
        const int altA = (Qt::AltModifier | Qt::Key_A).toCombined();
        const int altM = (Qt::AltModifier | Qt::Key_M).toCombined();
        const int keypadEnter = (Qt::KeypadModifier | Qt::Key_Enter).toCombined();
        QTest::newRow("Enter on the first button") << QList<int>{Qt::Key_Return} << 1;
        QTest::newRow("Tab then Space") << QList<int>{Qt::Key_Tab, Qt::Key_Space} << 0;
        QTest::newRow("Tab Tab then keypad Enter") << QList<int>{Qt::Key_Tab, Qt::Key_Tab, keypadEnter} << 1;
        QTest::newRow("Alt+M") << QList<int>{altM} << 0;
        QTest::newRow("Alt+A after Tab") << QList<int>{Qt::Key_Tab, altA} << 1;
        QTest::newRow("Escape") << QList<int>{Qt::Key_Escape} << -1;
        QTest::newRow("plain M picks nothing, then Escape") << QList<int>{Qt::Key_M, Qt::Key_Escape} << -1;
    }

    void chooserByKeyboard()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, outcome);
        QSignalSpy ended(ShellEvents::instance(), &ShellEvents::endProgram);
        QPointer<frmType> chooser = openChooser();
        QVERIFY(testing::ActivateWindow(chooser));
        QCOMPARE(QApplication::focusWidget(), chooser->picAnime);  // ready for the keyboard at once

        for (int combination : keys) {
            QVERIFY(chooser);
            const auto key = Qt::Key(combination & ~Qt::KeyboardModifierMask);
            QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : chooser.data();
            QTest::keyClick(target, key, Qt::KeyboardModifiers(combination & Qt::KeyboardModifierMask));
            if (key == Qt::Key_Tab && chooser)
                QVERIFY(QApplication::focusWidget() == chooser->picAnime
                        || QApplication::focusWidget() == chooser->picMusic);
        }
        QCOMPARE(bool(CurrentMainWindow()), outcome >= 0);
        QCOMPARE(ended.size(), outcome < 0 ? 1 : 0);
        if (outcome >= 0)
            QCOMPARE(blnAnimeMode, outcome == 1);
        QTRY_VERIFY(!chooser);
    }

    // Compared pixel for pixel with and without the focus: the chooser's
    // focused picture is framed, the other is not; a default push button
    // looks like any other, also while another one has the focus.
    void focusShowsAsOneRing()
    {
        QPointer<frmType> chooser = openChooser();
        QVERIFY(testing::ActivateWindow(chooser));
        chooser->picAnime->setFocus(Qt::TabFocusReason);
        const QImage animeFocused = chooser->picAnime->grab().toImage();
        const QImage musicPlain = chooser->picMusic->grab().toImage();
        chooser->picMusic->setFocus(Qt::TabFocusReason);
        QVERIFY(chooser->picAnime->grab().toImage() != animeFocused);
        QVERIFY(chooser->picMusic->grab().toImage() != musicPlain);
        testing::SaveScreenshot(chooser, QStringLiteral("chooser-focus"));

        QWidget window;
        window.resize(300, 100);
        auto *plain = new QPushButton(QStringLiteral("甲"), &window);
        auto *byDefault = new QPushButton(QStringLiteral("甲"), &window);
        plain->setGeometry(10, 10, 120, 30);
        byDefault->setGeometry(150, 10, 120, 30);
        byDefault->setDefault(true);
        QVERIFY(testing::ActivateWindow(&window));
        window.setFocus();
        const QImage plainLook = plain->grab().toImage();
        QCOMPARE(byDefault->grab().toImage(), plainLook);
        plain->setFocus();
        QVERIFY(plain->grab().toImage() != plainLook);
        QCOMPARE(byDefault->grab().toImage(), plainLook);
    }

    // The download window opens with the keyboard on Cancel, and Enter presses it.
    void downloadWindowStartsOnItsButton()
    {
        frmDownload w;
        QVERIFY(testing::ActivateWindow(&w));
        auto *cancel = testing::Control<QPushButton>(&w, "CancelButton");
        QCOMPARE(QApplication::focusWidget(), cancel);
        QSignalSpy pressed(cancel, &QPushButton::clicked);
        QTest::keyClick(cancel, Qt::Key_Return);
        QCOMPARE(pressed.size(), 1);
    }

    void progressBarTellsItsValue()
    {
        SeekBar bar;
        QAccessibleInterface *iface = Of(&bar);
        QCOMPARE(iface->role(), QAccessible::ProgressBar);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("下载进度"));
        QAccessibleValueInterface *value = iface->valueInterface();
        QVERIFY(value && value->maximumValue().toInt() == 100);
        bar.setProgress(0.39f);
        QCOMPARE(value->currentValue().toInt(), 39);
        QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("39%"));
    }
};

QTEST_MAIN(tst_Accessible)
#include "tst_accessible.moc"
