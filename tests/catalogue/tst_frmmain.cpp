// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window against a loopback server: loading, the tree's clicks and
// keys, closing during a fetch, the search and its dialog, the hand-off of
// non-HTTP addresses. Idle closing and dialog ownership are the app tests'.
#include "catalogue/ui/frmmain.h"

#include "catalogue/core/inet.h"
#include "catalogue/ui/frmsearch.h"
#include "catalogue/ui/webbrowser.h"
#include "common/core/globals.h"
#include "common/ui/msgbox.h"
#include "common/ui/tooltip.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <optional>

using namespace velmora;
using velmora::httpd::HttpServer;

namespace {
const QString kDone = QStringLiteral("完成");
const QString kLoading = QStringLiteral("正在从 Quillon 服务器加载曲目列表, 请稍候...");
const QString kQuestion = QStringLiteral("Velmora 正在执行用户的请求, 是否强制退出?");
const QString kNoItem = QStringLiteral("请先选择需要下载的项目.");
const QString kRedirecting = QStringLiteral("正在重新定向 URL, 请稍候...");
} // namespace

class tst_frmMain : public QObject
{
    Q_OBJECT
private slots:
    // Three groups with items, a GBK page, a missing page and two bad lines.
    void initTestCase()
    {
        QVERIFY(m_server.start());
        qputenv("VELMORA_CATALOGUE_SERVER", m_server.hostPort().toUtf8());
        qputenv("VELMORA_SEARCH_SERVER", m_server.hostPort().toUtf8());
        m_server.addFile("/pa.html", "<a href=\"http://h/a1.mp3\">A one</a><a href=\"http://h/a2.mp3\">A two</a>");
        m_server.addFile("/pb.html", "<a href=\"ftp://h/b1.mp3\">B one</a><a href=\"http://h/b.txt\">skip</a>");
        QStringEncoder gbk("GB18030");
        m_server.addFile("/pc.html", gbk.encode(QStringLiteral("<meta charset=gbk><a href=\"http://h/c1.MP3\">夏日终章 原声</a>")));
        const QString list = m_server.url("/pa.html") + "::=.mp3::=甲组\r\n" + "no separator here\r\n"
            + m_server.url("/pb.html") + "::=.mp3::=乙组\r\n" + m_server.url("/missing.html") + "::=.mp3::=空组\r\n"
            + "u::=::=empty key\r\n" + m_server.url("/pc.html") + "::=.mp3::=丙组\r\n";
        m_server.addFile("/quillon/albums.txt", list.toUtf8());
        QDesktopServices::setUrlHandler("ftp", &m_desktop, "open");
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("ftp"); }

    void init()
    {
        ResetGlobals();
        m_desktop.urls.clear();
        m_boxes.emplace(QMessageBox::Ok);
    }

    void cleanup()
    {
        m_server.clearRules();
        m_server.clearRequests();
        m_server.setRequestObserver({});
        delete m_w.data();
        m_boxes.reset();
    }

    void setUpPerKind_data()
    {
        QTest::addColumn<bool>("anime");
        QTest::newRow("anime") << true;
        QTest::newRow("music") << false;
    }

    void setUpPerKind()
    {
        QFETCH(bool, anime);
        blnAnimeMode = anime;
        m_w = new frmMain;
        QVERIFY(!m_w->isEnabled());  // the opener enables it
        QCOMPARE(m_w->windowTitle(), QStringLiteral("Velmora 1.13"));
        QCOMPARE(m_w->cmdLoad()->text(), anime ? QStringLiteral("加载动画列表(&L)") : QStringLiteral("加载曲目列表(&L)"));
        QCOMPARE(m_w->cmdSearch()->isHidden(), anime);
        QCOMPARE(strListURL, "http://" + m_server.hostPort() + (anime ? "/quillon/animes.txt" : "/quillon/albums.txt"));
        QCOMPARE(FormatTree(m_w->tree()), QStringLiteral("Quillon\t\n"));
        QCOMPARE(m_w->cmdLoad()->nextInFocusChain(), m_w->cmdDownload());
        QCOMPARE(m_w->cmdDownload()->nextInFocusChain(), m_w->cmdSearch());
        QCOMPARE(m_w->cmdSearch()->nextInFocusChain(), m_w->cmdAbout());
        QCOMPARE(m_w->tipTree()->toolTipTitle(), anime ? QStringLiteral("动画下载列表") : QStringLiteral("曲目下载列表"));

        m_w->show();
        m_w->setEnabled(true);
        QTRY_VERIFY(!m_w->timTimer()->isActive());
        QCOMPARE(m_w->statusText(), kDone);
        QCOMPARE(m_w->cursor().shape(), Qt::ArrowCursor);
        testing::SaveScreenshot(m_w.data(), anime ? "frmmain-anime" : "frmmain-music");
    }

    void loadCatalogue()
    {
        open();
        // Look at the window when the first bad entry is told, in the middle of the load.
        QString statusDuringFetch;
        bool buttonsOff = false, pointerBusy = false;
        QObject watch;
        connect(MessageBoxes::instance(), &MessageBoxes::aboutToShow, &watch, [&] {
            if (!statusDuringFetch.isEmpty())
                return;
            statusDuringFetch = m_w->statusText();
            buttonsOff = !m_w->cmdLoad()->isEnabled() && !m_w->cmdSearch()->isEnabled() && m_w->cmdDownload()->isEnabled();
            pointerBusy = m_w->cursor().shape() == Qt::BusyCursor;
        });
        m_w->cmdLoad()->click();

        QCOMPARE(statusDuringFetch, kLoading);
        QVERIFY(buttonsOff);
        QVERIFY(pointerBusy);
        QCOMPARE(m_boxes->texts, QStringList(2, QStringLiteral("读取曲目列表时发生错误.")));
        // the tree's rules are the loader's test; here the window's fetch decodes the GBK page
        QCOMPARE(m_w->tree().nodeCount(), 9);
        QCOMPARE(m_w->tree().text(9), QStringLiteral("夏日终章 原声"));
        // the view itself expands the root and the first group only
        QTreeWidgetItem *root = m_w->tvSingle()->topLevelItem(0);
        QVERIFY(root->isExpanded() && root->child(0)->isExpanded() && !root->child(1)->isExpanded());
        QCOMPARE(m_w->statusText(), kDone);
        QVERIFY(m_w->cmdLoad()->isEnabled() && m_w->cmdSearch()->isEnabled());
        QCOMPARE(m_w->cursor().shape(), Qt::ArrowCursor);
    }

    // A group click opens it and closes the one opened before, except the first
    // group; a root click closes the last one and is remembered, so the next
    // group click closes nothing. Ctrl+C (no other modifier) copies the caption.
    void treeClicksAndCopy()
    {
        openLoaded();
        const TreeWidgetAdapter &t = m_w->tree();
        const auto expanded = [&t] {
            QList<int> open;
            for (int i = 1; i <= 9; ++i)
                if (t.isExpanded(i))
                    open << i;
            return open;
        };
        const struct { int node; QList<int> expanded; } clicks[] = {
            {5, {1, 2, 5}}, {8, {1, 2, 8}}, {2, {1, 2}}, {5, {1, 2, 5}}, {1, {1, 2}}};
        for (const auto &click : clicks) {
            clickNode(click.node);
            QCOMPARE(expanded(), click.expanded);
        }
        m_w->tvSingle()->expandItem(t.item(5));  // (as the tree's own glyph would)
        clickNode(8);
        QCOMPARE(expanded(), (QList<int>{1, 2, 5, 8}));

        // an item only becomes the selected node
        clickNode(9);
        QCOMPARE(expanded(), (QList<int>{1, 2, 5, 8}));
        QCOMPARE(m_w->state().intSelectedIndex, 9);
        QCOMPARE(m_w->state().intExpandedIndex, 8);

        QClipboard *clip = QGuiApplication::clipboard();
        m_w->tvSingle()->setFocus();
        clip->setText("sentinel");
        QTest::keyClick(m_w->tvSingle(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(m_w->tvSingle(), Qt::Key_C, Qt::AltModifier);
        QCOMPARE(clip->text(), QStringLiteral("sentinel"));
        copy();
        QCOMPARE(clip->text(), QStringLiteral("夏日终章 原声"));

        // after a rebuild nothing is selected: Ctrl+C leaves the clipboard empty
        m_w->cmdLoad()->click();
        QCOMPARE(m_w->state().intSelectedIndex, 0);
        copy();
        QVERIFY(clip->text().isEmpty());
    }

    void closeDuringFetch_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("chooserClosing");  // the chooser is ending the program: no question
        QTest::newRow("yes") << int(QMessageBox::Yes) << false;
        QTest::newRow("no") << int(QMessageBox::No) << false;
        QTest::newRow("chooser closing") << int(QMessageBox::Yes) << true;
    }

    void closeDuringFetch()
    {
        QFETCH(int, answer);
        QFETCH(bool, chooserClosing);
        const bool stops = answer == QMessageBox::Yes;

        // One slow page when the window goes on; when it stops, stalled pages,
        // more than one server is asked for at once, so some wait in line.
        QString list = m_server.url("/pa.html") + "::=.mp3::=A\r\n";
        for (int i = 0; i < (stops ? kFetchesPerHost + 2 : 1); ++i) {
            const QString path = QStringLiteral("/slow%1.html").arg(i);
            m_server.addFile(path, "<a href=\"http://h/s.mp3\">S</a>" + QByteArray(30000, ' '));
            m_server.addRule(stops ? httpd::Rule{.path = path, .stall = true} : httpd::Rule{.path = path, .rate = 60000});
            list += m_server.url(path) + "::=.mp3::=B\r\n";
        }
        m_server.addFile("/after.html", "<a href=\"http://h/z.mp3\">Z</a>");
        m_server.addFile("/qlist.txt", (list + m_server.url("/after.html") + "::=.mp3::=C\r\n").toUtf8());
        open();
        strListURL = m_server.url("/qlist.txt");
        blnExitOnChooserClose = chooserClosing;
        int returned = 0;
        qsizetype nodesAtClose = -1;
        connect(m_w.data(), &frmMain::returnToChooser, this, [&] {
            ++returned;
            nodesAtClose = m_w->tree().nodeCount();
        });
        m_boxes->setAnswer(QMessageBox::StandardButton(answer));
        closeWhileFetching("/slow0.html");
        m_w->cmdLoad_Click();

        QCOMPARE(m_boxes->texts, chooserClosing ? QStringList() : QStringList{kQuestion});
        QCOMPARE(blnExitOnChooserClose, stops);
        if (stops) {
            QCOMPARE(m_status, QStringList{kLoading});  // nothing restored: in particular never "完成"
            QVERIFY(m_server.waitForNoOpenRequests(5000));  // no fetch outlives the load
            QVERIFY(m_w);                 // not destroyed under the running handler...
            QCOMPARE(m_w->tree().nodeCount(), nodesAtClose);  // nothing added after the close
            QVERIFY(!m_w->isVisible());
            m_w->close();                 // a second close brings no second chooser
            QCOMPARE(returned, 1);
            QTRY_VERIFY(m_w.isNull());    // ...but once it has unwound
        } else {
            QCOMPARE(returned, 0);
            QVERIFY(m_w->isVisible());
            QCOMPARE(m_w->statusText(), kDone);
            QCOMPARE(m_w->tree().nodeCount(), 8);  // root, A+2, B+1, C+1
            QCOMPARE(m_w->tree().text(8), QStringLiteral("Z"));
        }
    }

    // A search replaces the tree with its results; a cancelled dialog or blank
    // words leave it, and a forced close during the fetch tells nothing more.
    void search()
    {
        m_server.addFile("/m", QStringLiteral("<a href=\"/m?next=2\">下一页</a><a href=\"http://s/1.mp3\"><font color=#e10900>夏日</font>"
                                              "    终章</a><a href=\"http://s/lyrics.txt\">歌词</a><a href=\"ftp://s/3.Mp3\">Three</a>").toUtf8());
        openLoaded();
        const QString loaded = FormatTree(m_w->tree());
        searchFor(QString(), false);
        searchFor(QStringLiteral("   "));
        QCOMPARE(FormatTree(m_w->tree()), loaded);
        QVERIFY(m_server.requestsFor("/m").isEmpty());
        QVERIFY(m_boxes->texts.isEmpty());

        searchFor(QStringLiteral(" 夏日 "));
        QVERIFY(m_status.contains(QStringLiteral("正在通过 Internet 搜索与\" 夏日 \"相关的内容, 请稍候...")));
        QCOMPARE(m_server.requestsFor("/m").size(), 1);
        QCOMPARE(FormatTree(m_w->tree()), QStringLiteral("Quillon\t\n"
                                                         "  搜索 Internet 的结果\t\n"
                                                         "    夏日终章\thttp://s/1.mp3\n"
                                                         "    Three\tftp://s/3.Mp3\n"));
        QVERIFY(m_w->tree().isExpanded(2));
        QCOMPARE(m_boxes->texts, QStringList{QStringLiteral("Velmora 已完成对 Internet 的搜索并找到 2 项相关内容.")});
        QCOMPARE(m_w->statusText(), kDone);
        QVERIFY(m_w->cmdLoad()->isEnabled() && m_w->cmdSearch()->isEnabled());
        QVERIFY(strSearchWord.isEmpty());

        // a page without any link is a result too: n = 0
        m_boxes->texts.clear();
        m_server.addFile("/m", "<p>nothing</p>");
        searchFor(QStringLiteral("无"));
        QCOMPARE(m_w->tree().nodeCount(), 2);
        QCOMPARE(m_boxes->texts, QStringList{QStringLiteral("Velmora 已完成对 Internet 的搜索并找到 0 项相关内容.")});

        m_boxes->texts.clear();
        m_server.clearRules();
        m_server.clearRequests();
        m_server.addRule({.path = "/m", .stall = true});
        m_boxes->setAnswer(QMessageBox::Yes);
        closeWhileFetching("/m");
        searchFor(QStringLiteral("x"));
        QCOMPARE(m_boxes->texts, QStringList{kQuestion});
        QVERIFY(strSearchWord.isEmpty());
        QVERIFY(m_server.waitForNoOpenRequests(5000));  // the result page's fetch ended with the window
        QTRY_VERIFY(m_w.isNull());
    }

    // A search service that cannot be reached, or answers with an error, is
    // named in the status line and the message; it never reads as a search
    // that found nothing.
    void searchServiceNotAnswering_data()
    {
        QTest::addColumn<bool>("down");
        QTest::addColumn<QString>("told");
        QTest::newRow("nothing listens") << true << QStringLiteral("无法连接到搜索服务 %1, 搜索没有进行. ");
        QTest::newRow("error answer") << false << QStringLiteral("搜索服务 %1 未能完成搜索 (HTTP 503). ");
    }

    void searchServiceNotAnswering()
    {
        QFETCH(bool, down);
        QFETCH(QString, told);
        const QString service = down ? testing::DeadHostPort() : m_server.hostPort();
        qputenv("VELMORA_SEARCH_SERVER", service.toUtf8());
        m_server.addRule({.path = "/m", .status = 503});
        openLoaded();
        m_status.clear();
        searchFor(QStringLiteral("夏日"));
        qputenv("VELMORA_SEARCH_SERVER", m_server.hostPort().toUtf8());

        const QString text = told.arg(service) + QStringLiteral("按 Ctrl+, 或在状态栏上单击右键可设置服务器.");
        QCOMPARE(m_boxes->texts, QStringList{text});
        QCOMPARE(m_w->statusText(), text);
        QVERIFY(!m_status.contains(kDone));
        QCOMPARE(m_w->tree().nodeCount(), 2);  // the result group stays empty
        QVERIFY(m_w->cmdLoad()->isEnabled() && m_w->cmdSearch()->isEnabled());
        QCOMPARE(m_w->cursor().shape(), Qt::ArrowCursor);
    }

    // Enter and a double-click on a node: a group (or the root) opens or
    // closes, an item goes where the Download button sends it. Neither
    // reaches the window's default button, which would load the list again.
    void enterAndDoubleClickInTheTree()
    {
        openLoaded();
        const TreeWidgetAdapter &t = m_w->tree();
        QTreeWidget *tree = m_w->tvSingle();
        const qsizetype listFetches = m_server.requestsFor("/quillon/albums.txt").size();
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_Home);
        QTest::keyClick(tree, Qt::Key_Down);  // the first group, open
        for (const bool open : {false, true}) {
            QTest::keyClick(tree, Qt::Key_Return);
            QCOMPARE(t.isExpanded(2), open);
        }
        QTest::keyClick(tree, Qt::Key_Home);
        QTest::keyClick(tree, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!t.isExpanded(1));
        QTest::keyClick(tree, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(t.isExpanded(1));
        QCOMPARE(m_server.requestsFor("/quillon/albums.txt").size(), listFetches);
        QCOMPARE(t.nodeCount(), 9);
        QCOMPARE(m_w->state().intSelectedIndex, 1);

        // A double-click leaves a closed group open and closes an open one.
        for (const bool open : {true, false}) {
            doubleClickNode(5);
            QCOMPARE(t.isExpanded(5), open);
        }
        QVERIFY(m_desktop.urls.isEmpty());

        // The ftp item goes to the desktop, by Enter and by a double-click.
        tree->expandItem(t.item(5));
        tree->setCurrentItem(t.item(6));
        QTest::keyClick(tree, Qt::Key_Return);
        QTRY_COMPARE(m_desktop.urls.size(), 1);
        doubleClickNode(6);
        QTRY_COMPARE(m_desktop.urls, QList<QUrl>(2, QUrl("ftp://h/b1.mp3")));
        QVERIFY(m_boxes->texts.isEmpty());
        QCOMPARE(m_server.requestsFor("/quillon/albums.txt").size(), listFetches);
        QCOMPARE(m_w->state().intSelectedIndex, 6);
    }

    // The context menu of an item, by the mouse or the keyboard: download
    // it, copy its caption or its address. Groups and the root have none.
    void itemContextMenu()
    {
        openLoaded();
        const TreeWidgetAdapter &t = m_w->tree();
        QClipboard *clip = QGuiApplication::clipboard();
        const struct { qsizetype node; Qt::Key key; QString clipboard; } picks[] = {
            {4, Qt::Key_C, QStringLiteral("A two")},
            {4, Qt::Key_L, QStringLiteral("http://h/a2.mp3")},
            {9, Qt::Key_L, QStringLiteral("http://h/c1.MP3")},
        };
        for (const auto &pick : picks) {
            clip->setText(QStringLiteral("sentinel"));
            QMenu *menu = contextMenuAt(pick.node);
            QVERIFY(menu);
            QStringList texts;
            for (const QAction *a : menu->actions())
                texts << a->text();
            QCOMPARE(texts, QStringList({QStringLiteral("下载(&D)"), QStringLiteral("复制名称(&C)"), QStringLiteral("复制链接(&L)")}));
            QCOMPARE(m_w->state().intSelectedIndex, pick.node);  // the menu's item is the highlighted one
            QTest::keyClick(menu, pick.key);
            QVERIFY(!QApplication::activePopupWidget());
            QCOMPARE(clip->text(), pick.clipboard);
        }
        for (const qsizetype none : {1, 2, 7})
            QVERIFY(!contextMenuAt(none));

        // From the keyboard (the menu key, or Shift+F10) on the highlighted item: Download.
        m_w->tvSingle()->expandItem(t.item(5));
        m_w->tvSingle()->setCurrentItem(t.item(6));
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QApplication::sendEvent(m_w->tvSingle(), &key);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QTest::keyClick(menu, Qt::Key_D);
        QTRY_COMPARE(m_desktop.urls, QList<QUrl>{QUrl("ftp://h/b1.mp3")});
        QTest::keyClick(m_w->tvSingle(), Qt::Key_F10, Qt::ShiftModifier);
        menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QTest::keyClick(menu, Qt::Key_D);
        QTRY_COMPARE(m_desktop.urls, QList<QUrl>(2, QUrl("ftp://h/b1.mp3")));
    }

    // Whatever highlights a node (click, arrows, Home/End, typing) is what
    // Download and Ctrl+C take; keys open and close nothing. An ftp item goes
    // to the desktop while the status and pointer follow the browser.
    void downloadAndCopyFollowTheHighlight()
    {
        openLoaded();
        const TreeWidgetAdapter &t = m_w->tree();
        QTreeWidget *tree = m_w->tvSingle();
        const auto press = [tree](Qt::Key key, int times = 1) {
            for (int i = 0; i < times; ++i)
                QTest::keyClick(tree, key);
        };
        m_w->cmdDownload()->click();  // nothing highlighted yet
        QCOMPARE(m_boxes->texts, QStringList{kNoItem});
        tree->expandAll();  // every item reachable by arrows
        tree->setFocus();

        clickNode(3);  // a click, then the arrows: the highlighted one counts
        press(Qt::Key_Down, 3);
        QCOMPARE(m_w->state().intSelectedIndex, 6);
        QVERIFY(t.item(6)->isSelected());
        m_w->brwWebBrowser()->setBusyDuration(150);
        m_w->cmdDownload()->click();
        QCOMPARE(m_desktop.urls, QList<QUrl>{QUrl("ftp://h/b1.mp3")});
        QTRY_COMPARE(m_w->statusText(), kRedirecting);
        QCOMPARE(m_w->cursor().shape(), Qt::BusyCursor);
        QTRY_COMPARE(m_w->statusText(), kDone);
        QVERIFY(!m_w->timTimer()->isActive());
        QCOMPARE(m_w->cursor().shape(), Qt::ArrowCursor);

        press(Qt::Key_End);
        copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("夏日终章 原声"));
        press(Qt::Key_Home);
        m_w->cmdDownload()->click();  // the root
        QTest::keyClicks(tree, QStringLiteral("B"));  // type-ahead
        QCOMPARE(m_w->state().intSelectedIndex, 6);

        // Ctrl+Up moves the focus frame only; the highlight follows it here.
        QTest::keyClick(tree, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(m_w->state().intSelectedIndex, 5);
        QVERIFY(t.item(5)->isSelected() && !t.item(6)->isSelected());

        press(Qt::Key_Down, 8);
        QVERIFY(t.isExpanded(2) && t.isExpanded(5) && t.isExpanded(8));
        QCOMPARE(m_w->state().intExpandedIndex, 0);
        QCOMPARE(m_w->state().intSelectedIndex, 9);
        press(Qt::Key_Up, 2);
        m_w->cmdDownload()->click();  // a group
        QCOMPARE(m_boxes->texts, QStringList(3, kNoItem));
    }

    // An address the desktop has no program for is told; one withheld for
    // safety stays quiet, even with a program for it. Both keep the browser busy.
    void noDesktopHandlerIsTold()
    {
        const QString magnet = QStringLiteral("magnet:?xt=urn:btih:0123456789abcdef&dn=m.mkv");
        m_server.addFile("/pm.html", "<a href=\"" + magnet.toUtf8() + "\">M</a><a href=\"file:///etc/x.mkv\">F</a>");
        m_server.addFile("/quillon/animes.txt", (m_server.url("/pm.html") + "::=.mkv::=links\r\n").toUtf8());
        open(true);
        m_w->cmdLoad()->click();
        m_w->brwWebBrowser()->setBusyDuration(60000);
        m_w->tvSingle()->setFocus();
        for (Qt::Key key : {Qt::Key_Home, Qt::Key_Down, Qt::Key_Down})  // the group opened as the first one
            QTest::keyClick(m_w->tvSingle(), key);
        QCOMPARE(m_w->tree().tag(m_w->state().intSelectedIndex), magnet);
        m_w->cmdDownload()->click();
        QCOMPARE(m_boxes->texts, QStringList{QStringLiteral("系统中没有可以打开此地址的程序:\n") + magnet});
        QVERIFY(m_w->brwWebBrowser()->Busy());

        QTest::keyClick(m_w->tvSingle(), Qt::Key_Down);  // file:
        m_w->cmdDownload()->click();
        QCOMPARE(m_boxes->texts.size(), 1);
        QCOMPARE(m_w->brwWebBrowser()->lastAddress(), QStringLiteral("file:///etc/x.mkv"));
        QVERIFY(m_w->brwWebBrowser()->Busy());
        QVERIFY(m_desktop.urls.isEmpty());
    }

    void searchDialogLayout()
    {
        frmSearch dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Velmora Music Search"));
        QCOMPARE(dlg.cmdOK->text(), QStringLiteral("确定"));
        QCOMPARE(dlg.cmdCancel->text(), QStringLiteral("取消"));
        QCOMPARE(dlg.lblWord->text(), QStringLiteral("搜索内容(&C):"));
        QCOMPARE(dlg.lblWord->buddy(), dlg.txtWord);

        // The tip stays on the text box although its object was local to the load.
        const auto *tip = dlg.txtWord->findChild<BalloonTip *>();
        QVERIFY(tip);
        QCOMPARE(tip->title(), QStringLiteral("搜索内容(&C)"));
        QCOMPARE(tip->text(), QStringLiteral("输入希望搜索的专辑, 曲目或艺术家名称"));

        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.focusWidget(), dlg.txtWord);
        QCOMPARE(dlg.txtWord->nextInFocusChain(), dlg.cmdOK);
        dlg.txtWord->setText(QStringLiteral("千与千寻 OST"));
        testing::SaveScreenshot(&dlg, QStringLiteral("search-dialog"));
    }

    // OK and Enter keep the words as typed, Cancel and the close box none;
    // blank words are told and the dialog stays, its text box focused.
    void searchDialogAnswers_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("kept");
        const QString words = QStringLiteral("  Ghibli  best ");
        QTest::newRow("ok") << words << "ok" << words;
        QTest::newRow("enter") << words << "enter" << words;
        QTest::newRow("cancel") << words << "cancel" << "";
        QTest::newRow("close box") << words << "close" << "";
        QTest::newRow("nothing typed") << "" << "ok" << "untouched";
        QTest::newRow("blank") << "    " << "ok" << "untouched";
    }

    void searchDialogAnswers()
    {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(QString, kept);
        const bool told = kept == QLatin1String("untouched");
        strSearchWord = told ? kept : QString();
        frmSearch dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClicks(dlg.txtWord, typed);
        if (told)
            dlg.cmdCancel->setFocus();  // the message hands the focus back to the words
        if (how == "ok")
            dlg.cmdOK->click();
        else if (how == "enter")
            QTest::keyClick(dlg.txtWord, Qt::Key_Return);
        else if (how == "cancel")
            dlg.cmdCancel->click();
        else
            QVERIFY(dlg.close());
        QCOMPARE(dlg.result(), int(kept == typed ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(dlg.isVisible(), told);
        QCOMPARE(strSearchWord, kept);
        QCOMPARE(m_boxes->texts, told ? QStringList{QStringLiteral("请输入希望搜索的专辑, 曲目或艺术家名称.")} : QStringList());
        if (told)
            QCOMPARE(dlg.focusWidget(), dlg.txtWord);
    }

private:
    void open(bool anime = false)
    {
        blnAnimeMode = anime;
        m_w = new frmMain;
        connect(m_w.data(), &frmMain::statusTextChanged, this, [this](const QString &t) { m_status << t; });
        m_w->show();
        m_w->setEnabled(true);
        QVERIFY(QTest::qWaitForWindowExposed(m_w.data()));
        // the first tick of the polling timer has shown "完成"
        QVERIFY(QTest::qWaitFor([this] { return !m_w->timTimer()->isActive(); }));
        m_status.clear();
    }

    void clickNode(qsizetype index)
    {
        QTreeWidgetItem *item = m_w->tree().item(index);
        QVERIFY(item);
        m_w->tvSingle()->scrollToItem(item);
        const QRect r = m_w->tvSingle()->visualItemRect(item);
        QVERIFY(r.isValid());
        QTest::mouseClick(m_w->tvSingle()->viewport(), Qt::LeftButton, {}, r.center());
    }

    // The music window with the test catalogue loaded; the loader's messages
    // forgotten. Indexes: 1 root, 2 甲组, 3-4 its items, 5 乙组, 6 its (ftp)
    // item, 7 空组, 8 丙组, 9 its item.
    void openLoaded()
    {
        open();
        m_w->cmdLoad()->click();
        m_boxes->texts.clear();
    }

    // Searches, answering the dialog with the given words or cancelling it.
    void searchFor(const QString &words, bool accept = true)
    {
        testing::WhenModal<frmSearch>(this, [words, accept](frmSearch *dlg) {
            if (accept)
                strSearchWord = words;
            accept ? dlg->accept() : dlg->reject();
        });
        m_w->cmdSearch()->click();
    }

    // Closes the window once the server has been asked for path, the fetch
    // still running: told by the server as the request comes in.
    void closeWhileFetching(const QString &path)
    {
        const QPointer<frmMain> w = m_w;
        m_server.setRequestObserver([w, path](const QString &asked) {
            if (asked != path)
                return;
            QMetaObject::invokeMethod(qApp, [w] {
                if (w && w->Inet1()->StillExecuting())
                    w->close();
            }, Qt::QueuedConnection);
        });
    }

    void doubleClickNode(qsizetype index)
    {
        QTreeWidgetItem *item = m_w->tree().item(index);
        QVERIFY(item);
        const QRect r = m_w->tvSingle()->visualItemRect(item);
        QVERIFY(r.isValid());
        // as the window system brings it: a click, then the second press as a double-click
        QTest::mouseClick(m_w->tvSingle()->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(m_w->tvSingle()->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseRelease(m_w->tvSingle()->viewport(), Qt::LeftButton, {}, r.center());
    }

    // Right-clicks the node and returns its context menu (null when none opened).
    QMenu *contextMenuAt(qsizetype index)
    {
        QTreeWidgetItem *item = m_w->tree().item(index);
        QWidget *viewport = m_w->tvSingle()->viewport();
        m_w->tvSingle()->scrollToItem(item);
        const QPoint at = m_w->tvSingle()->visualItemRect(item).center();
        QTest::mousePress(viewport, Qt::RightButton, {}, at);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
        QTest::mouseRelease(viewport, Qt::RightButton, {}, at);
        return qobject_cast<QMenu *>(QApplication::activePopupWidget());
    }

    void copy() { QTest::keyClick(m_w->tvSingle(), Qt::Key_C, Qt::ControlModifier); }

    testing::TemporaryUserFolders m_user;  // the loads' folders go to its cache
    HttpServer m_server;
    QPointer<frmMain> m_w;
    QStringList m_status;
    std::optional<testing::MessageBoxAnswerer> m_boxes;  // answers OK unless a case says otherwise
    testing::DesktopUrlCatcher m_desktop;  // file: and ftp: handed to the desktop
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
