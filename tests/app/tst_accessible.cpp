// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader learns from each window, read back through Qt's
// accessibility interfaces: every control a user can reach or must see has
// a name and a fitting role, the chooser's pictures press like buttons, and
// the drawn progress bar tells its value. And what a sighted keyboard user
// sees: one focus ring, never a second one on the default button.
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

// Roles whose controls mean nothing to a listener without a name.
bool NeedsName(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::Button:
    case QAccessible::Link:
    case QAccessible::Graphic:
    case QAccessible::ProgressBar:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::Tree:
        return true;
    default:
        return false;
    }
}

// "role name" of every visible node under iface that needs a name and has none.
void CollectUnnamed(QAccessibleInterface *iface, QStringList &unnamed, int depth = 0)
{
    if (!iface || depth > 6 || iface->state().invisible)
        return;
    if (NeedsName(iface->role()) && iface->text(QAccessible::Name).trimmed().isEmpty())
        unnamed << QStringLiteral("%1 (%2)").arg(int(iface->role())).arg(iface->object() ? iface->object()->metaObject()->className() : "?");
    if (iface->role() == QAccessible::Tree)
        return;  // its rows carry their own texts
    for (int i = 0; i < iface->childCount(); ++i)
        CollectUnnamed(iface->child(i), unnamed, depth + 1);
}

QAccessibleInterface *Of(QObject *o)
{
    return QAccessible::queryAccessibleInterface(o);
}

} // namespace

class tst_Accessible : public QObject
{
    Q_OBJECT
private slots:
    void init() { ResetGlobals(); }
    void everyWindowNamesItsControls_data();
    void everyWindowNamesItsControls();
    void chooserButtonsPressLikeButtons();
    void progressBarTellsItsValue();
    void downloadWindowStartsOnItsButton();
    void focusRingOnlyWhereTheFocusIs();
};

void tst_Accessible::everyWindowNamesItsControls_data()
{
    QTest::addColumn<QString>("window");
    for (const char *w : {"chooser", "main anime", "main music", "download", "alert", "about"})
        QTest::newRow(w) << QString::fromLatin1(w);
}

void tst_Accessible::everyWindowNamesItsControls()
{
    QFETCH(QString, window);
    std::unique_ptr<QWidget> w;
    if (window == QLatin1String("chooser")) {
        w.reset(new frmType);
        w->setAttribute(Qt::WA_DeleteOnClose, false);
    } else if (window.startsWith(QLatin1String("main"))) {
        blnAnimeMode = window.endsWith(QLatin1String("anime"));
        w.reset(new frmMain);
    } else if (window == QLatin1String("download")) {
        w.reset(new frmDownload);
    } else if (window == QLatin1String("about")) {
        w.reset(new frmAbout);
    } else {
        w.reset(new frmAlert(QStringLiteral("无法连接到服务器"), QStringLiteral("http://h/a.mkv"), true));
    }
    w->show();
    w->setEnabled(true);
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QAccessibleInterface *top = Of(w.get());
    QVERIFY(top);
    QVERIFY(!top->text(QAccessible::Name).isEmpty());
    QStringList unnamed;
    CollectUnnamed(top, unnamed);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    blnExitOnChooserClose = false;
}

void tst_Accessible::chooserButtonsPressLikeButtons()
{
    QPointer<frmType> chooser = new frmType;
    chooser->show();
    chooser->setEnabled(true);
    QAccessibleInterface *anime = Of(chooser->picAnime);
    QAccessibleInterface *music = Of(chooser->picMusic);
    QVERIFY(anime && music);
    QCOMPARE(anime->role(), QAccessible::Button);
    QCOMPARE(anime->text(QAccessible::Name), QStringLiteral("动画下载(A)..."));
    QCOMPARE(anime->text(QAccessible::Description), QStringLiteral("下载TV版, OVA版以及剧场版动画"));
    QCOMPARE(music->text(QAccessible::Name), QStringLiteral("动漫音乐(M)..."));
    QCOMPARE(Of(chooser->imgLogo)->role(), QAccessible::Link);
    QCOMPARE(Of(chooser->imgLogo)->text(QAccessible::Name), QStringLiteral("Powered by Quillon"));
    QVERIFY(anime->state().focusable);

    QAccessibleActionInterface *action = music->actionInterface();
    QVERIFY(action);
    QVERIFY(action->actionNames().contains(QAccessibleActionInterface::pressAction()));
    action->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(CurrentMainWindow());
    QVERIFY(!blnAnimeMode);
    QTRY_VERIFY(!chooser);
    delete CurrentMainWindow();
}

void tst_Accessible::progressBarTellsItsValue()
{
    SeekBar bar;
    QAccessibleInterface *iface = Of(&bar);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::ProgressBar);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("下载进度"));
    QAccessibleValueInterface *value = iface->valueInterface();
    QVERIFY(value);
    QCOMPARE(value->minimumValue().toInt(), 0);
    QCOMPARE(value->maximumValue().toInt(), 100);
    QCOMPARE(value->currentValue().toInt(), 0);
    bar.setProgress(0.39f);
    QCOMPARE(value->currentValue().toInt(), 39);
    QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("39%"));
    bar.setProgress(1.0f);
    QCOMPARE(value->currentValue().toInt(), 100);
}

// The window opens with the keyboard on Cancel, and Enter presses it.
void tst_Accessible::downloadWindowStartsOnItsButton()
{
    frmDownload w;
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto *cancel = testing::Control<QPushButton>(&w, "CancelButton");
    QCOMPARE(QApplication::focusWidget(), cancel);
    QSignalSpy pressed(cancel, &QPushButton::clicked);
    QTest::keyClick(cancel, Qt::Key_Return);
    QCOMPARE(pressed.size(), 1);
}

void tst_Accessible::focusRingOnlyWhereTheFocusIs()
{
    InstallFocusStyle();
    QWidget window;
    window.resize(300, 100);
    auto *plain = new QPushButton(QStringLiteral("甲"), &window);
    auto *byDefault = new QPushButton(QStringLiteral("甲"), &window);
    plain->setGeometry(10, 10, 120, 30);
    byDefault->setGeometry(150, 10, 120, 30);
    byDefault->setDefault(true);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.setFocus();
    const QImage plainLook = plain->grab().toImage();
    QCOMPARE(byDefault->grab().toImage(), plainLook);  // the default button looks like any other
    plain->setFocus();
    QVERIFY(plain->grab().toImage() != plainLook);
    QCOMPARE(byDefault->grab().toImage(), plainLook);  // ... also while another has the focus
}

QTEST_MAIN(tst_Accessible)
#include "tst_accessible.moc"
