// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window against a loopback server: loading, the tree's clicks and
// Ctrl+C, the closing guard during a fetch, the search, the hand-off of
// non-HTTP addresses, and the kind-dependent set-up.
#include "catalogue/ui/frmmain.h"

#include "catalogue/core/inet.h"
#include "catalogue/ui/frmsearch.h"
#include "catalogue/ui/webbrowser.h"
#include "common/core/globals.h"
#include "common/ui/tooltip.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

using namespace velmora;
using velmora::httpd::HttpServer;
using velmora::testing::MessageBoxAnswerer;

namespace {
const QString kDone = QStringLiteral("完成");
const QString kMusicLoading = QStringLiteral("正在从 Quillon 服务器加载曲目列表, 请稍候...");
const QString kQuestion = QStringLiteral("Velmora 正在执行用户的请求, 是否强制退出?");

bool NoLoadFolderLeft()
{
    return QDir(TempListFolder()).entryList({kLoadFolderPrefix + "*"}, QDir::AllEntries | QDir::Hidden).isEmpty();
}
} // namespace

// Receives the addresses the desktop would open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QStringList urls;
public slots:
    void open(const QUrl &url) { urls << url.toString(); }
};

class tst_frmMain : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void setUpPerKind_data();
    void setUpPerKind();
    void loadCatalogue();
    void treeClicksAndCopy();
    void closeDuringFetch_data();
    void closeDuringFetch();
    void closeWhenIdle();
    void search();
    void searchCancelledOrForcedClosed();
    void downloadHandOff();
    void keyboardSelects();
    void noDesktopHandlerIsTold();
    void aboutIsModal();

private:
    frmMain *open(bool anime = false);
    void clickNode(qsizetype index);
    void installCatalogue();
    void openLoaded(MessageBoxAnswerer &answerer);
    void answerSearch(const QString &words, bool accept);
    void closeWhileFetching(const QString &path, const std::function<void()> &beforeClose = {});

    testing::TemporaryUserFolders m_user;  // the loads' folders go to its cache
    HttpServer m_server;
    QPointer<frmMain> m_w;
    QStringList m_status;
    UrlCatcher m_desktop;  // what the desktop was asked to open (ftp)
};

void tst_frmMain::initTestCase()
{
    QVERIFY(m_server.start());
    qputenv("VELMORA_CATALOGUE_SERVER", m_server.hostPort().toUtf8());
    qputenv("VELMORA_SEARCH_SERVER", m_server.hostPort().toUtf8());
    installCatalogue();
    QDesktopServices::setUrlHandler("ftp", &m_desktop, "open");
}

void tst_frmMain::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler("ftp");
}

void tst_frmMain::init()
{
    ResetGlobals();
    m_status.clear();
    m_desktop.urls.clear();
}

void tst_frmMain::cleanup()
{
    m_server.clearRules();
    delete m_w.data();
}

// Three groups with items, a GBK page, a missing page and two bad lines.
void tst_frmMain::installCatalogue()
{
    m_server.addFile("/pa.html", "<a href=\"http://h/a1.mp3\">A one</a><a href=\"http://h/a2.mp3\">A two</a>");
    m_server.addFile("/pb.html", "<a href=\"ftp://h/b1.mp3\">B one</a><a href=\"http://h/b.txt\">skip</a>");
    QStringEncoder gbk("GB18030");
    const QByteArray gbPage = gbk.encode(QStringLiteral("<a href=\"http://h/c1.MP3\">夏日终章 原声</a>"));
    m_server.addHandler("/pc.html", [gbPage](const httpd::Request &) {
        httpd::Response r;
        r.contentType = "text/html; charset=gbk";
        r.body = gbPage;
        return r;
    });
    const QString list = m_server.url("/pa.html") + "::=.mp3::=甲组\r\n"
        + "no separator here\r\n"
        + m_server.url("/pb.html") + "::=.mp3::=乙组\r\n"
        + m_server.url("/missing.html") + "::=.mp3::=空组\r\n"
        + "u::=::=empty key\r\n"
        + m_server.url("/pc.html") + "::=.mp3::=丙组\r\n";
    m_server.addFile("/quillon/albums.txt", list.toUtf8());
}

frmMain *tst_frmMain::open(bool anime)
{
    blnAnimeMode = anime;
    m_w = new frmMain;
    connect(m_w.data(), &frmMain::statusTextChanged, this, [this](const QString &t) { m_status << t; });
    m_w->show();
    m_w->setEnabled(true);
    if (!QTest::qWaitForWindowExposed(m_w.data()))
        qWarning("window not exposed");
    // the first tick of the polling timer has shown "完成"
    if (!QTest::qWaitFor([this] { return !m_w->timTimer()->isActive(); }))
        qWarning("polling timer still running");
    m_status.clear();
    return m_w;
}

void tst_frmMain::clickNode(qsizetype index)
{
    QTreeWidgetItem *item = m_w->tree().item(index);
    QVERIFY(item);
    m_w->tvSingle()->scrollToItem(item);
    const QRect r = m_w->tvSingle()->visualItemRect(item);
    QVERIFY(r.isValid());
    QTest::mouseClick(m_w->tvSingle()->viewport(), Qt::LeftButton, {}, r.center());
}

// The music window with the test catalogue loaded; the loader's messages forgotten.
void tst_frmMain::openLoaded(MessageBoxAnswerer &answerer)
{
    open();
    m_w->cmdLoad()->click();
    answerer.texts.clear();
}

// Closes the window once the server has been asked for path while the fetch
// still runs: a close in the middle of a load.
void tst_frmMain::closeWhileFetching(const QString &path, const std::function<void()> &beforeClose)
{
    auto *closer = new QTimer(m_w.data());
    closer->setInterval(2);
    connect(closer, &QTimer::timeout, this, [this, closer, path, beforeClose] {
        if (m_server.requestsFor(path).isEmpty() || !m_w->Inet1()->StillExecuting())
            return;
        closer->stop();
        if (beforeClose)
            beforeClose();
        m_w->close();
    });
    closer->start();
}

void tst_frmMain::setUpPerKind_data()
{
    QTest::addColumn<bool>("anime");
    QTest::newRow("anime") << true;
    QTest::newRow("music") << false;
}

void tst_frmMain::setUpPerKind()
{
    QFETCH(bool, anime);
    blnAnimeMode = anime;
    m_w = new frmMain;
    QVERIFY(!m_w->isEnabled());  // the opener enables it
    QCOMPARE(m_w->windowTitle(), QStringLiteral("Velmora 1.13"));
    QCOMPARE(m_w->size(), QSize(751, 443));
    QCOMPARE(m_w->minimumSize(), m_w->maximumSize());
    QCOMPARE(m_w->cmdLoad()->text(), anime ? QStringLiteral("加载动画列表(&L)") : QStringLiteral("加载曲目列表(&L)"));
    QCOMPARE(m_w->cmdSearch()->isHidden(), anime);
    QCOMPARE(strListURL, "http://" + m_server.hostPort() + (anime ? "/quillon/animes.txt" : "/quillon/albums.txt"));
    QCOMPARE(m_w->tree().nodeCount(), 1);
    QCOMPARE(m_w->tree().text(1), QStringLiteral("Quillon"));

    // tab order of the buttons
    QCOMPARE(m_w->cmdLoad()->nextInFocusChain(), m_w->cmdDownload());
    QCOMPARE(m_w->cmdDownload()->nextInFocusChain(), m_w->cmdSearch());
    QCOMPARE(m_w->cmdSearch()->nextInFocusChain(), m_w->cmdAbout());

    // four tips in the anime catalogue, five in music, each on its control
    const QList<const clsToolTip *> tips{m_w->tipLoad(), m_w->tipDownload(), m_w->tipAbout(), m_w->tipSearch(), m_w->tipTree()};
    QCOMPARE(std::count_if(tips.begin(), tips.end(), [](const clsToolTip *t) { return t != nullptr; }), anime ? 4 : 5);
    QCOMPARE(m_w->tipTree()->parentControl(), m_w->tvSingle());
    QCOMPARE(m_w->tipTree()->toolTipTitle(), anime ? QStringLiteral("动画下载列表") : QStringLiteral("曲目下载列表"));

    // right after opening: "完成", default pointer, the timer stopped
    m_w->show();
    m_w->setEnabled(true);
    QTRY_VERIFY(!m_w->timTimer()->isActive());
    QCOMPARE(m_w->statusText(), kDone);
    QCOMPARE(m_w->cursor().shape(), Qt::ArrowCursor);
    velmora::testing::SaveScreenshot(m_w.data(), anime ? "frmmain-anime" : "frmmain-music");
}

void tst_frmMain::loadCatalogue()
{
    open();
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    // Look at the window while the first page is being fetched.
    bool buttonsOff = false, pointerBusy = false;
    QString statusDuringFetch;
    QTimer probe;
    probe.setInterval(1);
    connect(&probe, &QTimer::timeout, this, [&] {
        if (m_w->Inet1()->StillExecuting() && statusDuringFetch.isEmpty()) {
            statusDuringFetch = m_w->statusText();
            buttonsOff = !m_w->cmdLoad()->isEnabled() && !m_w->cmdSearch()->isEnabled() && m_w->cmdDownload()->isEnabled();
            pointerBusy = m_w->cursor().shape() == Qt::BusyCursor;
        }
    });
    probe.start();
    m_w->cmdLoad()->click();
    probe.stop();

    QCOMPARE(statusDuringFetch, kMusicLoading);
    QVERIFY(buttonsOff);
    QVERIFY(pointerBusy);
    QCOMPARE(answerer.texts, QStringList(2, QStringLiteral("读取曲目列表时发生错误.")));

    const TreeWidgetAdapter &t = m_w->tree();
    QCOMPARE(FormatTree(t), QStringLiteral("Quillon\t\n"
                                           "  甲组\t\n"
                                           "    A one\thttp://h/a1.mp3\n"
                                           "    A two\thttp://h/a2.mp3\n"
                                           "  乙组\t\n"
                                           "    B one\tftp://h/b1.mp3\n"
                                           "  空组\t\n"
                                           "  丙组\t\n"
                                           "    夏日终章 原声\thttp://h/c1.MP3\n"));
    // the view itself expands the root and the first group only
    QTreeWidgetItem *root = m_w->tvSingle()->topLevelItem(0);
    QVERIFY(root->isExpanded());
    QVERIFY(root->child(0)->isExpanded());
    QVERIFY(!root->child(1)->isExpanded());

    QCOMPARE(m_w->statusText(), kDone);
    QVERIFY(m_w->cmdLoad()->isEnabled() && m_w->cmdSearch()->isEnabled());
    QCOMPARE(m_w->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(NoLoadFolderLeft());
}

void tst_frmMain::treeClicksAndCopy()
{
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    openLoaded(answerer);
    // indexes: 1 root, 2 甲组, 3-4 its items, 5 乙组, 6 its item, 7 空组, 8 丙组, 9 its item
    const TreeWidgetAdapter &t = m_w->tree();
    QCOMPARE(t.text(5), QStringLiteral("乙组"));
    QCOMPARE(t.text(8), QStringLiteral("丙组"));

    clickNode(5);
    QVERIFY(t.isExpanded(5));
    clickNode(8);  // opens 丙组, closes 乙组
    QVERIFY(t.isExpanded(8));
    QVERIFY(!t.isExpanded(5));
    clickNode(2);  // the first group: 丙组 closes
    QVERIFY(!t.isExpanded(8));
    QVERIFY(t.isExpanded(2));
    clickNode(5);  // the first group stays open
    QVERIFY(t.isExpanded(2));
    QVERIFY(t.isExpanded(5));
    clickNode(1);  // the root closes the group opened last and is remembered...
    QVERIFY(!t.isExpanded(5));
    QVERIFY(t.isExpanded(1));
    m_w->tvSingle()->expandItem(t.item(5));  // (as the tree's own glyph would)
    clickNode(8);  // ...so the next group click closes nothing
    QVERIFY(t.isExpanded(5));
    QVERIFY(t.isExpanded(8));
    QVERIFY(t.isExpanded(2));

    // an item only becomes the selected node
    clickNode(9);
    QVERIFY(t.isExpanded(5) && t.isExpanded(8));
    QCOMPARE(m_w->state().intSelectedIndex, 9);
    QCOMPARE(m_w->state().intExpandedIndex, 8);

    QClipboard *clip = QGuiApplication::clipboard();
    m_w->tvSingle()->setFocus();
    clip->setText("sentinel");
    QTest::keyClick(m_w->tvSingle(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(clip->text(), QStringLiteral("sentinel"));
    QTest::keyClick(m_w->tvSingle(), Qt::Key_C, Qt::AltModifier);
    QCOMPARE(clip->text(), QStringLiteral("sentinel"));
    QTest::keyClick(m_w->tvSingle(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clip->text(), QStringLiteral("夏日终章 原声"));

    clickNode(5);  // a group's caption
    QTest::keyClick(m_w->tvSingle(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clip->text(), QStringLiteral("乙组"));

    // after a rebuild nothing is selected: Ctrl+C leaves the clipboard empty
    m_w->cmdLoad()->click();
    QCOMPARE(m_w->state().intSelectedIndex, 0);
    QTest::keyClick(m_w->tvSingle(), Qt::Key_C, Qt::ControlModifier);
    QVERIFY(clip->text().isEmpty());
}

void tst_frmMain::closeDuringFetch_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("chooserClosing");  // the chooser is ending the program: no question
    QTest::newRow("yes") << int(QMessageBox::Yes) << false;
    QTest::newRow("no") << int(QMessageBox::No) << false;
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false;
    QTest::newRow("chooser closing") << int(QMessageBox::Yes) << true;
}

void tst_frmMain::closeDuringFetch()
{
    QFETCH(int, answer);
    QFETCH(bool, chooserClosing);
    const bool stops = answer == QMessageBox::Yes;

    // The second page is slow when the window goes on, stalled when it stops.
    m_server.addFile("/slow.html", "<a href=\"http://h/s.mp3\">S</a>" + QByteArray(30000, ' '));
    if (stops)
        m_server.addRule({.path = "/slow.html", .stall = true});
    else
        m_server.addRule({.path = "/slow.html", .rate = 60000});
    m_server.addFile("/after.html", "<a href=\"http://h/z.mp3\">Z</a>");
    m_server.addFile("/qlist.txt", (m_server.url("/pa.html") + "::=.mp3::=A\r\n" + m_server.url("/slow.html")
                                    + "::=.mp3::=B\r\n" + m_server.url("/after.html") + "::=.mp3::=C\r\n").toUtf8());
    m_server.clearRequests();

    open();
    strListURL = m_server.url("/qlist.txt");
    bool returned = false;
    qsizetype nodesAtClose = -1;
    connect(m_w.data(), &frmMain::returnToChooser, this, [&] {
        returned = true;
        nodesAtClose = m_w->tree().nodeCount();
    });
    MessageBoxAnswerer answerer{QMessageBox::StandardButton(answer)};
    closeWhileFetching("/slow.html", [&] {
        blnExitOnChooserClose = chooserClosing;
        m_status.clear();
    });
    m_w->cmdLoad_Click();

    QCOMPARE(answerer.texts, chooserClosing ? QStringList() : QStringList{kQuestion});
    QVERIFY(NoLoadFolderLeft());
    if (stops) {
        QVERIFY(returned);
        QVERIFY(blnExitOnChooserClose);
        QVERIFY(m_status.isEmpty());  // nothing restored: in particular never "完成"
        QVERIFY(m_server.waitForNoOpenRequests(5000));  // no fetch outlives the load
        QVERIFY(m_w);                 // not destroyed under the running handler...
        QCOMPARE(m_w->tree().nodeCount(), nodesAtClose);  // nothing added after the close
        QVERIFY(!m_w->isVisible());
        QTRY_VERIFY(m_w.isNull());    // ...but once it has unwound
    } else {
        QVERIFY(!returned);
        QVERIFY(!blnExitOnChooserClose);
        QVERIFY(m_w->isVisible());
        QCOMPARE(m_w->statusText(), kDone);
        QCOMPARE(m_w->tree().nodeCount(), 8);  // root, A+2, B+1, C+1
        QCOMPARE(m_w->tree().text(8), QStringLiteral("Z"));
    }
}

void tst_frmMain::closeWhenIdle()
{
    open(true);
    bool returned = false;
    connect(m_w.data(), &frmMain::returnToChooser, this, [&] { returned = true; });
    MessageBoxAnswerer answerer(QMessageBox::No);
    QVERIFY(m_w->close());
    QVERIFY(answerer.texts.isEmpty());
    QVERIFY(returned);
    QVERIFY(blnExitOnChooserClose);
    QTRY_VERIFY(m_w.isNull());
}

// Answers the next search dialog with the given words, or cancels it.
void tst_frmMain::answerSearch(const QString &words, bool accept)
{
    testing::WhenModal<frmSearch>(this, [words, accept](frmSearch *dlg) {
        if (accept)
            strSearchWord = words;
        accept ? dlg->accept() : dlg->reject();
    });
}

void tst_frmMain::search()
{
    m_server.addHandler("/m", [](const httpd::Request &) {
        httpd::Response r;
        r.contentType = "text/html; charset=utf-8";
        r.body = QStringLiteral("<html><a href=\"/m?next=2\">下一页</a>"
                                "<a href=\"http://s/1.mp3\"><font color=#e10900>夏日</font>    终章</a>"
                                "<A HREF=\"http://s/2.MP3\">Two &amp; Three</A>"
                                "<a href=\"http://s/lyrics.txt\">歌词</a>"
                                "<a href=\"ftp://s/3.Mp3\">Three</a></html>").toUtf8();
        return r;
    });
    m_server.clearRequests();
    open();
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    answerSearch(QStringLiteral(" 夏日 "), true);
    m_w->cmdSearch()->click();

    QVERIFY(m_status.contains(QStringLiteral("正在通过 Internet 搜索与\" 夏日 \"相关的内容, 请稍候...")));
    QCOMPARE(m_server.requestsFor("/m").size(), 1);
    QCOMPARE(FormatTree(m_w->tree()), QStringLiteral("Quillon\t\n"
                                                     "  搜索 Internet 的结果\t\n"
                                                     "    夏日终章\thttp://s/1.mp3\n"
                                                     "    Two & Three\thttp://s/2.MP3\n"
                                                     "    Three\tftp://s/3.Mp3\n"));
    QVERIFY(m_w->tree().isExpanded(2));
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("Velmora 已完成对 Internet 的搜索并找到 3 项相关内容.")});
    QCOMPARE(m_w->statusText(), kDone);
    QVERIFY(m_w->cmdLoad()->isEnabled() && m_w->cmdSearch()->isEnabled());
    QVERIFY(strSearchWord.isEmpty());

    // a result page that cannot be fetched: an empty group and n = 0
    answerer.texts.clear();
    m_server.addRule({.path = "/m", .status = 503});
    answerSearch(QStringLiteral("无"), true);
    m_w->cmdSearch()->click();
    QCOMPARE(m_w->tree().nodeCount(), 2);
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("Velmora 已完成对 Internet 的搜索并找到 0 项相关内容.")});
}

void tst_frmMain::searchCancelledOrForcedClosed()
{
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    openLoaded(answerer);
    const QString before = FormatTree(m_w->tree());
    m_server.clearRequests();

    // cancelled dialog, and blank words: no search, tree unchanged
    answerSearch(QString(), false);
    m_w->cmdSearch()->click();
    answerSearch(QStringLiteral("   "), true);
    m_w->cmdSearch()->click();
    QCOMPARE(FormatTree(m_w->tree()), before);
    QVERIFY(m_server.requestsFor("/m").isEmpty());
    QVERIFY(strSearchWord.isEmpty());
    QVERIFY(answerer.texts.isEmpty());

    // forced close while the result page is fetched: no result message
    m_server.addRule({.path = "/m", .stall = true});
    answerer.setAnswer(QMessageBox::Yes);
    closeWhileFetching("/m");
    answerSearch(QStringLiteral("x"), true);
    m_w->cmdSearch_Click();
    QCOMPARE(answerer.texts, QStringList{kQuestion});
    QVERIFY(strSearchWord.isEmpty());
    QVERIFY(m_server.waitForNoOpenRequests(5000));  // the result page's fetch ended with the window
    QTRY_VERIFY(m_w.isNull());
}

void tst_frmMain::downloadHandOff()
{
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    openLoaded(answerer);

    const QString noItem = QStringLiteral("请先选择需要下载的项目.");
    m_w->cmdDownload()->click();  // nothing clicked yet
    clickNode(1);
    m_w->cmdDownload()->click();  // the root
    clickNode(5);
    m_w->cmdDownload()->click();  // a group
    QCOMPARE(answerer.texts, QStringList(3, noItem));

    // ftp item: to the desktop, status and pointer follow the browser's busy time
    m_w->brwWebBrowser()->setBusyDuration(150);
    clickNode(6);
    m_status.clear();
    m_w->cmdDownload()->click();
    QCOMPARE(m_desktop.urls, QStringList{QStringLiteral("ftp://h/b1.mp3")});
    QVERIFY(m_w->brwWebBrowser()->Busy());
    QTRY_COMPARE(m_w->statusText(), QStringLiteral("正在重新定向 URL, 请稍候..."));
    QCOMPARE(m_w->cursor().shape(), Qt::BusyCursor);
    QTRY_COMPARE(m_w->statusText(), kDone);
    QVERIFY(!m_w->timTimer()->isActive());
    QCOMPARE(m_w->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(m_status.first(), QStringLiteral("正在重新定向 URL, 请稍候..."));
    QCOMPARE(answerer.texts.size(), 3);
}

// Whatever highlights a node (click, arrows, Home/End, typing) makes it the
// one Download and Ctrl+C use; keyboard moves open and close nothing.
void tst_frmMain::keyboardSelects()
{
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    openLoaded(answerer);
    const TreeWidgetAdapter &t = m_w->tree();
    QTreeWidget *tree = m_w->tvSingle();
    QClipboard *clip = QGuiApplication::clipboard();
    tree->expandAll();  // every item reachable by arrows
    tree->setFocus();
    // indexes: 1 root, 2 甲组, 3-4 its items, 5 乙组, 6 its item, 7 空组, 8 丙组, 9 its item
    const auto press = [&](Qt::Key key) { QTest::keyClick(tree, key); };

    clickNode(3);  // a click, then the arrows: the highlighted one counts
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    QCOMPARE(m_w->state().intSelectedIndex, 6);
    QVERIFY(t.item(6)->isSelected());
    m_w->cmdDownload()->click();
    QCOMPARE(m_desktop.urls, QStringList{QStringLiteral("ftp://h/b1.mp3")});
    QVERIFY(answerer.texts.isEmpty());

    press(Qt::Key_End);
    QTest::keyClick(tree, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clip->text(), QStringLiteral("夏日终章 原声"));
    press(Qt::Key_Home);
    QTest::keyClick(tree, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clip->text(), QStringLiteral("Quillon"));
    QTest::keyClicks(tree, QStringLiteral("B"));  // type-ahead
    QCOMPARE(m_w->state().intSelectedIndex, 6);

    // Ctrl+Up moves the focus frame only; the highlight follows it here.
    QTest::keyClick(tree, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(m_w->state().intSelectedIndex, 5);
    QVERIFY(t.item(5)->isSelected() && !t.item(6)->isSelected());

    // Walking over groups by arrows leaves them as they are.
    for (int i = 0; i < 8; ++i)
        press(Qt::Key_Down);
    QVERIFY(t.isExpanded(2) && t.isExpanded(5) && t.isExpanded(8));
    QCOMPARE(m_w->state().intExpandedIndex, 0);
    QCOMPARE(m_w->state().intSelectedIndex, 9);
    press(Qt::Key_Up);
    press(Qt::Key_Up);
    m_w->cmdDownload()->click();  // a group now: nothing to download
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("请先选择需要下载的项目.")});
    press(Qt::Key_Up);
    m_w->cmdDownload()->click();  // the ftp item once more, reached from below
    QCOMPARE(m_desktop.urls.size(), 2);
}

// An address the desktop has no program for is told, not passed over in
// silence; one withheld for safety stays as quiet as before.
void tst_frmMain::noDesktopHandlerIsTold()
{
    m_server.addFile("/pm.html", "<a href=\"magnet:?xt=urn:btih:0123456789abcdef&dn=m.mkv\">M</a>"
                                 "<a href=\"file:///etc/x.mkv\">F</a>");
    m_server.addFile("/quillon/animes.txt", (m_server.url("/pm.html") + "::=.mkv::=links\r\n").toUtf8());
    open(true);
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    m_w->cmdLoad()->click();
    QCOMPARE(m_w->tree().tag(3), QStringLiteral("magnet:?xt=urn:btih:0123456789abcdef&dn=m.mkv"));
    QTreeWidget *tree = m_w->tvSingle();
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Home);
    QTest::keyClick(tree, Qt::Key_Down);
    QTest::keyClick(tree, Qt::Key_Down);  // the magnet link (the group opened as the first one)
    QCOMPARE(m_w->state().intSelectedIndex, 3);
    m_w->cmdDownload()->click();
    QCOMPARE(answerer.texts.size(), 1);
    QVERIFY(answerer.texts.first().contains(QStringLiteral("magnet:?xt=urn:btih:0123456789abcdef&dn=m.mkv")));

    QTest::keyClick(tree, Qt::Key_Down);  // file:
    QCOMPARE(m_w->state().intSelectedIndex, 4);
    m_w->cmdDownload()->click();
    QCOMPARE(answerer.texts.size(), 1);
    QCOMPARE(m_w->brwWebBrowser()->lastAddress(), QStringLiteral("file:///etc/x.mkv"));
}

void tst_frmMain::aboutIsModal()
{
    open();
    QPointer<QDialog> seen;
    bool mainBlocked = false;
    QTimer::singleShot(0, this, [&] {
        seen = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        mainBlocked = seen && seen->isModal() && QApplication::activeModalWidget() != m_w.data();
        if (seen)
            seen->reject();
    });
    m_w->cmdAbout()->click();
    QVERIFY(mainBlocked);  // the click returned only after the dialog had closed
    QVERIFY(!QApplication::activeModalWidget());

    // a second close of a closed window does not signal again
    int returned = 0;
    connect(m_w.data(), &frmMain::returnToChooser, this, [&] { ++returned; });
    m_w->close();
    m_w->close();
    QCOMPARE(returned, 1);
    QTRY_VERIFY(m_w.isNull());
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
