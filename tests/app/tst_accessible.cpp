// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader learns from each window, through Qt's accessibility
// interfaces, and what a keyboard user meets: the chooser by keys alone, and
// the focus shown as one ring, never a second one on the default button.
#include "about/ui/frmabout.h"
#include "download/ui/frmalert.h"
#include "download/ui/frmfilealert.h"
#include "app/ui/frmtype.h"
#include "app/ui/startup.h"
#include "catalogue/ui/frmmain.h"
#include "common/core/globals.h"
#include "common/ui/accessible.h"
#include "common/ui/tooltip.h"
#include "download/ui/frmdownload.h"
#include "doubles.h"
#include "httpserver.h"
#include "download/ui/seekbar.h"
#include "testsupport.h"

#include "common/ui/focusstyle.h"

#include <QAccessible>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QSignalSpy>
#include <QAccessibleValueInterface>
#include <QtTest>

using namespace velmora;
using velmora::httpd::HttpServer;

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
    if (kind == QLatin1String("file alert"))
        return new frmFileAlert(QStringLiteral("/home/u/Music/a.mkv"), false);
    return new frmAlert(QStringLiteral("无法连接到服务器"), QStringLiteral("http://h/a.mkv"), true);
}

// The shown children of iface with the given role.
QList<QAccessibleInterface *> ChildrenWithRole(QAccessibleInterface *iface, QAccessible::Role role)
{
    QList<QAccessibleInterface *> found;
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface *child = iface->child(i);
        if (child && child->role() == role && !child->state().invisible)
            found << child;
    }
    return found;
}

// What the window's notification says, if one is showing.
QString Notified(QWidget *window)
{
    const auto notes = ChildrenWithRole(Of(window), QAccessible::Notification);
    return notes.size() == 1 ? notes[0]->text(QAccessible::Name) : QStringLiteral("<%1 notifications>").arg(notes.size());
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
        // Every page of a tabbed window, each while it is the one shown.
        auto *tabs = w->findChild<QTabWidget *>();
        for (int page = 0; page < (tabs ? tabs->count() : 1); ++page) {
            if (tabs)
                tabs->setCurrentIndex(page);
            CollectUnnamed(top, unnamed);
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    }

    // Most windows carry the product title; each reads as a frame or a
    // dialog, and its description tells it from the others.
    void everyWindowSaysWhatItIs()
    {
        const QList<QPair<QString, QAccessible::Role>> windows = {
            {"chooser", QAccessible::Window}, {"main anime", QAccessible::Window},
            {"main music", QAccessible::Window}, {"download", QAccessible::Dialog},
            {"alert", QAccessible::Dialog}, {"file alert", QAccessible::Dialog}, {"about", QAccessible::Dialog}};
        QStringList descriptions;
        for (const auto &[kind, role] : windows) {
            std::unique_ptr<QWidget> w(NewWindow(kind));
            w->show();
            QAccessibleInterface *iface = Of(w.get());
            QCOMPARE(iface->role(), role);
            QCOMPARE(iface->text(QAccessible::Name), w->windowTitle());
            descriptions << iface->text(QAccessible::Description);
            QVERIFY2(!descriptions.last().isEmpty(), qPrintable(kind));
        }
        QCOMPARE(QSet<QString>(descriptions.begin(), descriptions.end()).size(), descriptions.size());
    }

    // The captions of the problem dialogs label their controls, so that the
    // choice reads as "操作" and the file box as "文件".
    void problemDialogCaptionsLabelTheirControls_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("alert") << QStringLiteral("alert");
        QTest::newRow("file alert") << QStringLiteral("file alert");
    }

    void problemDialogCaptionsLabelTheirControls()
    {
        QFETCH(QString, window);
        std::unique_ptr<QWidget> w(NewWindow(window));
        w->show();
        const auto labelsOf = [&](const char *control) {
            QStringList texts;
            for (const auto &[label, relation] : Of(testing::Control<QWidget>(w.get(), control))
                                                     ->relations(QAccessible::Label))
                texts << label->text(QAccessible::Name);
            return texts;
        };
        QCOMPARE(labelsOf("comOperation"), QStringList({"操作: "}));
        QCOMPARE(labelsOf("txtFile"), QStringList({"文件:"}));
        QVERIFY(Of(w.get())->text(QAccessible::Description).contains(
            testing::Control<QLabel>(w.get(), "lblAbend")->text()));
    }

    // The balloons' texts are the controls' descriptions; the tree's hidden
    // header says the list's name, not the "1" of a header never set.
    void mainWindowTellsWhatItsControlsDo_data()
    {
        QTest::addColumn<bool>("anime");
        QTest::newRow("anime") << true;
        QTest::newRow("music") << false;
    }

    void mainWindowTellsWhatItsControlsDo()
    {
        QFETCH(bool, anime);
        blnAnimeMode = anime;
        std::unique_ptr<frmMain> w(new frmMain);
        w->show();
        int tips = 0;
        for (const clsToolTip *tip : {w->tipLoad(), w->tipDownload(), w->tipSearch(), w->tipAbout(), w->tipTree()}) {
            if (!tip)
                continue;
            ++tips;
            QCOMPARE(Of(tip->parentControl())->text(QAccessible::Description), tip->toolTipText());
            // The balloon itself, while it shows, reads as a tool tip.
            QAccessibleInterface *balloon = Of(tip->tipWindow());
            QCOMPARE(balloon->role(), QAccessible::ToolTip);
            QCOMPARE(balloon->text(QAccessible::Name), QString(tip->toolTipTitle()).remove('&'));
            QCOMPARE(balloon->text(QAccessible::Description), tip->toolTipText());
        }
        QCOMPARE(tips, anime ? 4 : 5);

        QAccessibleInterface *tree = Of(w->tvSingle());
        int headers = 0;
        for (int i = 0; i < tree->childCount(); ++i) {
            QAccessibleInterface *child = tree->child(i);
            if (child->role() != QAccessible::ColumnHeader)
                continue;  // hidden or not, readers meet it
            ++headers;
            QCOMPARE(child->text(QAccessible::Name), tree->text(QAccessible::Name));
        }
        QCOMPARE(headers, 1);
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

    // Tab walks the two buttons and then the three credits, Enter and Space
    // pick the focused button, Alt+A and Alt+M pick directly, Escape closes
    // as the close box does.
    void chooserByKeyboard_data()
    {
        QTest::addColumn<QList<int>>("keys");  // each a key combination
        QTest::addColumn<int>("outcome");      // 1 anime, 0 music, -1 program ends
        const int altA = (Qt::AltModifier | Qt::Key_A).toCombined();
        const int altM = (Qt::AltModifier | Qt::Key_M).toCombined();
        const int keypadEnter = (Qt::KeypadModifier | Qt::Key_Enter).toCombined();
        QTest::newRow("Enter on the first button") << QList<int>{Qt::Key_Return} << 1;
        QTest::newRow("Tab then Space") << QList<int>{Qt::Key_Tab, Qt::Key_Space} << 0;
        QTest::newRow("Tab round all five, then keypad Enter")
            << QList<int>{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, keypadEnter} << 1;
        QTest::newRow("Shift+Tab back from the music button, then Space")
            << QList<int>{Qt::Key_Tab, (Qt::ShiftModifier | Qt::Key_Backtab).toCombined(), Qt::Key_Space} << 1;
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
            if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && chooser)
                QVERIFY(QApplication::focusWidget() && QApplication::focusWidget()->window() == chooser);
        }
        QCOMPARE(bool(CurrentMainWindow()), outcome >= 0);
        QCOMPARE(ended.size(), outcome < 0 ? 1 : 0);
        if (outcome >= 0)
            QCOMPARE(blnAnimeMode, outcome == 1);
        QTRY_VERIFY(!chooser);
    }

    // The credits are links a keyboard reaches: Tab after the two buttons,
    // in the order they stand from the top; Enter or Space opens the page
    // and picks nothing. Each shows the ring while it has the focus.
    void chooserLinksByKeyboard_data()
    {
        QTest::addColumn<int>("tabs");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("page");
        QTest::newRow("sponsor, Enter") << 2 << int(Qt::Key_Return) << frmType::kSponsorPage;
        QTest::newRow("partner, Space") << 3 << int(Qt::Key_Space) << frmType::kPartnerPage;
        QTest::newRow("maker, keypad Enter") << 4 << int(Qt::Key_Enter) << frmType::kMakerPage;
    }

    void chooserLinksByKeyboard()
    {
        QFETCH(int, tabs);
        QFETCH(int, key);
        QFETCH(QString, page);
        testing::DesktopUrlCatcher pages;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &pages, "open");
        QPointer<frmType> chooser = openChooser();
        QVERIFY(testing::ActivateWindow(chooser));
        for (int i = 0; i < tabs; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *link = QApplication::focusWidget();
        QVERIFY(link && link->window() == chooser);
        QAccessibleInterface *iface = Of(link);
        QCOMPARE(iface->role(), QAccessible::Link);
        QVERIFY(iface->state().focused && !iface->text(QAccessible::Name).isEmpty());
        const QImage ringed = link->grab().toImage();
        link->clearFocus();
        QVERIFY(link->grab().toImage() != ringed);
        link->setFocus(Qt::TabFocusReason);

        QTest::keyClick(link, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(pages.urls, QList<QUrl>({QUrl(page)}));
        QVERIFY(chooser && chooser->isVisible());
        QVERIFY(!CurrentMainWindow());
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

    // A load that gets no list is told aloud, not only on the status line;
    // the next load that gets one takes the news back.
    void failedLoadIsAnnounced()
    {
        testing::MessageBoxAnswerer boxes;  // none should come up
        HttpServer server;
        QVERIFY(server.start());
        const quint16 port = server.port();
        qputenv("VELMORA_CATALOGUE_SERVER", server.hostPort().toUtf8());
        server.stop();  // nobody answers there now
        blnAnimeMode = false;
        std::unique_ptr<frmMain> w(new frmMain);
        w->show();
        w->setEnabled(true);

        w->cmdLoad_Click();
        QVERIFY(w->statusText().contains(QStringLiteral("无法从服务器")));
        QCOMPARE(Notified(w.get()), w->statusText());

        server.addFile(QStringLiteral("/p.html"), "<a href=\"http://h/a.mp3\">A</a>");
        server.addFile(QStringLiteral("/quillon/albums.txt"),
                       (server.url(QStringLiteral("/p.html")) + "::=.mp3::=甲组\r\n").toUtf8());
        QVERIFY(server.start(port));
        w->cmdLoad_Click();
        QCOMPARE(w->statusText(), QStringLiteral("完成"));
        QCOMPARE(Notified(w.get()), QStringLiteral("<0 notifications>"));
        QCOMPARE(boxes.texts, QStringList());
        qunsetenv("VELMORA_CATALOGUE_SERVER");
    }

    // The end of a download shows in two labels; a screen reader hears it.
    void finishedDownloadIsAnnounced()
    {
        HttpServer server;
        QVERIFY(server.start());
        const qint64 size = 70000;
        server.addGeneratedFile(QStringLiteral("/music/Theme.mp3"), size);
        QTemporaryDir dir;
        testing::FixedSavePath saveAs;
        saveAs.path = dir.filePath(QStringLiteral("Theme.mp3"));
        QWidget mainWindow;
        mainWindow.show();
        auto *w = new frmDownload(&mainWindow);
        QPointer<frmDownload> window(w);
        w->setSaveDialog(&saveAs);

        QVERIFY(w->DownloadFile(server.url(QStringLiteral("/music/Theme.mp3")), QString(), QString()));
        QCOMPARE(testing::Sha256OfFile(saveAs.path), HttpServer::GeneratedSha256(size));
        const QString told = Notified(w);
        QVERIFY2(told.startsWith(QStringLiteral("下载完毕: Theme.mp3, ")), qPrintable(told));
        QVERIFY2(told.endsWith(testing::Control<QLabel>(w, "TimeLabel")->text()), qPrintable(told));
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window);
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
