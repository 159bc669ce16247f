// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/ui/frmmain.h"

#include "about/ui/frmabout.h"
#include "catalogue/core/handoff.h"
#include "catalogue/core/inet.h"
#include "catalogue/core/search.h"
#include "catalogue/ui/artwork.h"
#include "catalogue/ui/frmsearch.h"
#include "catalogue/ui/frmsettings.h"
#include "catalogue/ui/webbrowser.h"
#include "common/core/globals.h"
#include "common/core/settings.h"
#include "common/core/version.h"
#include "common/ui/msgbox.h"
#include "common/ui/placement.h"
#include "common/ui/tooltip.h"
#include "common/ui/uifont.h"
#include "download/ui/frmdownload.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>

namespace velmora {

namespace {
const QString kDone = QStringLiteral("完成");
const QString kRedirecting = QStringLiteral("正在重新定向 URL, 请稍候...");
const QString kSearchGroup = QStringLiteral("搜索 Internet 的结果");
const QString kNoHandlerText = QStringLiteral("系统中没有可以打开此地址的程序:");
constexpr int kClientWidth = 751;
constexpr int kClientHeight = 443;
// The smallest the window gets on a small screen: the buttons and a useful tree.
constexpr int kMinClientWidth = 480;
constexpr int kMinClientHeight = 300;

// What the status line and the message say when the search service gave no
// result page: which service was asked, and where to change it.
QString SearchProblemText(SearchOutcome outcome, const QString &address, int httpStatus)
{
    const QString service = QUrl(address).authority();
    const QString hint = QStringLiteral("按 Ctrl+, 或在状态栏上单击右键可设置服务器.");
    if (outcome == SearchOutcome::ErrorAnswer)
        return QStringLiteral("搜索服务 %1 未能完成搜索 (HTTP %2). ").arg(service).arg(httpStatus) + hint;
    return QStringLiteral("无法连接到搜索服务 %1, 搜索没有进行. ").arg(service) + hint;
}

} // namespace

// Marks a handler as running. A window closed meanwhile is only hidden; it is
// deleted once the last running handler has unwound.
class frmMain::Busy
{
public:
    explicit Busy(frmMain *w) : m_w(w) { ++m_w->m_handlers; }
    ~Busy()
    {
        if (--m_w->m_handlers == 0 && m_w->m_closed)
            m_w->deleteLater();
    }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    frmMain *m_w;
};

frmMain::frmMain(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_tvSingle(new QTreeWidget(this)),
      m_cmdLoad(new QPushButton(QStringLiteral("加载曲目列表(&L)"), this)),
      m_cmdDownload(new QPushButton(QStringLiteral("下载(&D)..."), this)),
      m_cmdSearch(new QPushButton(QStringLiteral("搜索(&S)..."), this)),
      m_cmdAbout(new QPushButton(QStringLiteral("关于(&A)..."), this)),
      m_statusBar(new QStatusBar(this)),
      m_panel1(new QLabel(kDone)),
      m_inet(new Inet(this)),
      m_browser(new WebBrowser(this)),
      m_tree(m_tvSingle),
      m_loader(m_tree, *m_inet, m_state)
{
    setFont(UiFont(9));
    // On a small screen (or a large display scale) the window gives up the
    // room it lacks from the tree, so it opens whole, its close box and the
    // tree's left edge on the screen.
    const QSize room = RoomOnScreen(this, screen());
    const QSize client = room.isValid() ? QSize(std::clamp(room.width(), kMinClientWidth, kClientWidth),
                                                std::clamp(room.height(), kMinClientHeight, kClientHeight))
                                        : QSize(kClientWidth, kClientHeight);
    setFixedSize(client);
    const int narrower = kClientWidth - client.width();
    const int lower = kClientHeight - client.height();

    m_tvSingle->setGeometry(12, 72, 568 - narrower, 340 - lower);
    m_tvSingle->setHeaderHidden(true);
    m_tvSingle->setColumnCount(1);
    m_tvSingle->setIconSize(QSize(16, 16));
    m_tvSingle->setRootIsDecorated(true);
    m_tvSingle->setUniformRowHeights(true);
    // A double-click is handled as Enter is: a group opens or closes, an item downloads.
    m_tvSingle->setExpandsOnDoubleClick(false);
    m_tvSingle->installEventFilter(this);
    m_tvSingle->viewport()->installEventFilter(this);
    connect(m_tvSingle, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item, int) { tvSingle_NodeClick(item); });
    connect(m_tvSingle, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item, int) { tvSingle_DoubleClick(item); });
    connect(m_tvSingle, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current) { tvSingle_CurrentChanged(current); });

    QPushButton *buttons[] = {m_cmdLoad, m_cmdDownload, m_cmdSearch, m_cmdAbout};
    for (int i = 0; i < 4; ++i) {
        buttons[i]->setGeometry(596 - narrower, 72 + i * 42, 143, 30);
        buttons[i]->setAutoDefault(false);
    }
    m_cmdLoad->setDefault(true);
    setTabOrder(m_cmdLoad, m_cmdDownload);
    setTabOrder(m_cmdDownload, m_cmdSearch);
    setTabOrder(m_cmdSearch, m_cmdAbout);
    connect(m_cmdLoad, &QPushButton::clicked, this, &frmMain::cmdLoad_Click);
    connect(m_cmdDownload, &QPushButton::clicked, this, &frmMain::cmdDownload_Click);
    connect(m_cmdSearch, &QPushButton::clicked, this, &frmMain::cmdSearch_Click);
    connect(m_cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);

    m_statusBar->setSizeGripEnabled(false);
    m_statusBar->addWidget(m_panel1, 1);
    m_statusBar->setGeometry(0, client.height() - 22, client.width(), 22);
    InitSettingsAction();

    m_picRes = SharpPixmap([client](qreal dpr) { return AnimeBackground(client, dpr); });
    m_background = SharpPixmap([client](qreal dpr) { return MusicBackground(client, dpr); });

    // The polling timer runs from creation: its first tick finds the browser
    // idle, shows "完成" and stops.
    m_timTimer.setInterval(10);
    connect(&m_timTimer, &QTimer::timeout, this, &frmMain::timTimer_Timer);
    m_timTimer.start();

    PlaceOnScreen(this);

    Form_Load();
    // Nothing looks chosen before the user clicks: the tree has no current
    // row, so taking the keyboard focus does not put its frame on the root.
    m_tvSingle->setCurrentIndex(QModelIndex());
    // Whoever opens the window enables it.
    setEnabled(false);
}

frmMain::~frmMain() = default;

frmDownload *frmMain::downloadWindow() const
{
    return m_download;
}

QString frmMain::statusText() const
{
    return m_panel1->text();
}

void frmMain::setStatus(const QString &text)
{
    m_panel1->setText(text);
    m_panel1->update();
    emit statusTextChanged(text);
}

void frmMain::setPointerBusy(bool busy)
{
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void frmMain::Form_Load()
{
    m_state.blnQuit = false;
    m_state.strLoadingText = blnAnimeMode ? QStringLiteral("正在从 Quillon 服务器加载动画列表, 请稍候...")
                                          : QStringLiteral("正在从 Quillon 服务器加载曲目列表, 请稍候...");
    setWindowIcon(qApp->windowIcon());
    setWindowTitle(kProductTitle);
    InitNode();
    InitToolTip();
    if (blnAnimeMode) {
        m_showsPicRes = true;
        m_cmdSearch->hide();
        m_cmdAbout->setGeometry(m_cmdSearch->geometry());  // no gap where the search button was
        m_cmdLoad->setText(QStringLiteral("加载动画列表(&L)"));
    }
    SetListURL();
}

// The one writer of strListURL: when the window opens, and when the user has
// chosen another catalogue server.
void frmMain::SetListURL()
{
    const QString path = blnAnimeMode ? QStringLiteral("/quillon/animes.txt") : QStringLiteral("/quillon/albums.txt");
    strListURL = QStringLiteral("http://") + CatalogueServer() + path;
}

// The settings are reached without a control of their own, so the window's
// layout stays as it is: Ctrl+, (the desktop's usual key for settings) and
// the context menu of the status line, where a failed load names the server.
void frmMain::InitSettingsAction()
{
    auto *action = new QAction(QStringLiteral("服务器设置(&S)..."), this);
    action->setObjectName(QStringLiteral("actSettings"));
    action->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    m_statusBar->addAction(action);
    m_statusBar->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(action, &QAction::triggered, this, &frmMain::cmdSettings_Click);
}

void frmMain::cmdSettings_Click()
{
    Busy busy(this);
    frmSettings dialog(this);
    if (dialog.exec() == QDialog::Accepted && !m_closed)
        SetListURL();
}

void frmMain::InitToolTip()
{
    auto make = [](std::unique_ptr<clsToolTip> &tip, QWidget *control, const QString &title, const QString &text) {
        tip = std::make_unique<clsToolTip>();
        tip->setParentControl(control);
        tip->setToolTipTitle(title);
        tip->setToolTipText(text);
        tip->Create();
    };
    if (blnAnimeMode) {
        make(m_tipLoad, m_cmdLoad, QStringLiteral("加载动画列表(&L)"), QStringLiteral("连接至 Quillon 服务器并加载动画列表"));
        make(m_tipDownload, m_cmdDownload, QStringLiteral("下载(&D)..."), QStringLiteral("从服务器下载动画列表中选定的项目"));
        make(m_tipAbout, m_cmdAbout, QStringLiteral("关于(&A)..."), QStringLiteral("显示程序信息, 版本号和版权信息"));
        make(m_tipTree, m_tvSingle, QStringLiteral("动画下载列表"), QStringLiteral("显示当前可用的动画下载列表"));
        m_tvSingle->setAccessibleName(QStringLiteral("动画下载列表"));
    } else {
        make(m_tipLoad, m_cmdLoad, QStringLiteral("加载曲目列表(&L)"), QStringLiteral("连接至 Quillon 服务器并加载曲目列表"));
        make(m_tipDownload, m_cmdDownload, QStringLiteral("下载(&D)..."), QStringLiteral("从服务器下载曲目列表中选定的项目"));
        make(m_tipAbout, m_cmdAbout, QStringLiteral("关于(&A)..."), QStringLiteral("显示程序信息, 版本号和版权信息"));
        make(m_tipSearch, m_cmdSearch, QStringLiteral("搜索(&S)..."), QStringLiteral("搜索 Internet 上的相关内容"));
        make(m_tipTree, m_tvSingle, QStringLiteral("曲目下载列表"), QStringLiteral("显示当前可用的曲目下载列表"));
        m_tvSingle->setAccessibleName(QStringLiteral("曲目下载列表"));
    }
}

void frmMain::InitNode()
{
    m_loader.InitNode();
}

void frmMain::LoadTrackList(const QString &URL, const QString &Key, const QString &Category)
{
    m_loader.LoadTrackList(URL, Key, Category);
}

void frmMain::cmdLoad_Click()
{
    Busy busy(this);
    setStatus(m_state.strLoadingText);
    setPointerBusy(true);
    m_cmdLoad->setEnabled(false);
    m_cmdSearch->setEnabled(false);

    m_listUnanswered = false;
    const QString listUrl = strListURL;
    m_loader.setFetchProblem([this, listUrl](const QString &url, const FetchResult &result) {
        if (url == listUrl && result.status != FetchStatus::Cut && result.status != FetchStatus::Cancelled)
            m_listUnanswered = true;
    });
    const bool finished = m_loader.LoadCatalogue(listUrl, [this] {
        ShowMessage(this, QMessageBox::Information, kBadEntryText);
    });
    if (!finished || m_state.blnQuit)
        return;  // the window is closing: leave it as it is

    // A user who installed the program and loads from a server that is not
    // there learns which server was tried and where to change it.
    if (m_listUnanswered)
        setStatus(QStringLiteral("无法从服务器 %1 加载列表. 按 Ctrl+, 或在状态栏上单击右键可设置服务器.")
                      .arg(QUrl(listUrl).authority()));
    else
        setStatus(kDone);
    setPointerBusy(false);
    m_cmdLoad->setEnabled(true);
    m_cmdSearch->setEnabled(true);
}

void frmMain::cmdSearch_Click()
{
    Busy busy(this);
    {
        frmSearch dlg(this);
        dlg.exec();
    }
    if (!strSearchWord.trimmed().isEmpty() && !m_closed)
        RunSearch(strSearchWord);
    strSearchWord.clear();
}

void frmMain::RunSearch(const QString &words)
{
    const QString address = BuildSearchAddress(SearchServer(), words);
    setStatus(QStringLiteral("正在通过 Internet 搜索与\"") + words + QStringLiteral("\"相关的内容, 请稍候..."));
    setPointerBusy(true);
    m_cmdLoad->setEnabled(false);
    m_cmdSearch->setEnabled(false);
    InitNode();
    FetchResult page;
    page.status = FetchStatus::Ok;  // the loader tells only fetches that went wrong
    m_loader.setFetchProblem([&page](const QString &, const FetchResult &result) { page = result; });
    LoadTrackList(address, QStringLiteral(".mp3"), kSearchGroup);
    m_loader.setFetchProblem({});
    const SearchOutcome outcome = SearchOutcomeOf(page);
    const bool answered = outcome == SearchOutcome::Answered || outcome == SearchOutcome::Stopped;
    setStatus(answered ? kDone : SearchProblemText(outcome, address, page.httpStatus));
    setPointerBusy(false);
    m_cmdLoad->setEnabled(true);
    m_cmdSearch->setEnabled(true);
    if (m_tree.nodeCount() < 2 || m_state.blnQuit)
        return;
    // A service that could not be asked found nothing: "0 项" would read as
    // an empty result, so the message names the service instead.
    if (answered)
        ShowMessage(this, QMessageBox::Information,
                    QStringLiteral("Velmora 已完成对 Internet 的搜索并找到 ") + QString::number(m_tree.nodeCount() - 2)
                        + QStringLiteral(" 项相关内容."));
    else
        ShowMessage(this, QMessageBox::Warning, SearchProblemText(outcome, address, page.httpStatus));
}

void frmMain::cmdDownload_Click()
{
    Busy busy(this);
    m_browser->Stop();
    const QString address = m_tree.tag(m_state.intSelectedIndex);
    if (address.isEmpty()) {
        ShowMessage(this, QMessageBox::Information, QStringLiteral("请先选择需要下载的项目."));
        return;
    }
    if (HandOffFor(address) == HandOff::Browser) {
        const Navigation outcome = m_browser->Navigate(address);
        m_timTimer.start();
        // Silence here would read as success: the status line says "完成" either way.
        if (outcome == Navigation::NoHandler)
            ShowMessage(this, QMessageBox::Warning, kNoHandlerText + QLatin1Char('\n') + address);
        return;
    }
    // One download at a time: while one runs this window is disabled, so only
    // a call from outside gets here; it brings the running one forward.
    if (m_download && !m_download->isHidden()) {
        m_download->raise();
        m_download->activateWindow();
        return;
    }
    setEnabled(false);
    // Owned by this window: it stays above it and shares its taskbar entry.
    auto *window = new frmDownload(this);
    PlaceOnScreen(window, Centre::OnOwner);
    m_download = window;
    emit downloadWindowOpened(window);
    QString user, password;
    window->DownloadFile(address, user, password);
}

void frmMain::cmdAbout_Click()
{
    Busy busy(this);
    frmAbout dlg(this);
    dlg.exec();
}

void frmMain::timTimer_Timer()
{
    if (m_browser->Busy()) {
        setStatus(kRedirecting);
        setPointerBusy(true);
        return;
    }
    m_timTimer.stop();
    setStatus(m_inet->StillExecuting() ? m_state.strLoadingText : kDone);
    setPointerBusy(false);
}

void frmMain::tvSingle_NodeClick(QTreeWidgetItem *node)
{
    const qsizetype index = TreeWidgetAdapter::indexOf(node);
    m_lastClick = {index, m_tree.isExpanded(index)};
    NodeClick(m_tree, m_state, index);
}

// The first click of a double-click has already opened a closed group: the
// double-click leaves it so, and closes a group that was open before it.
void frmMain::tvSingle_DoubleClick(QTreeWidgetItem *node)
{
    const qsizetype index = TreeWidgetAdapter::indexOf(node);
    if (m_tree.tag(index).isEmpty() && m_lastClick.index == index) {
        m_tree.setExpanded(index, !m_lastClick.wasExpanded);
        return;
    }
    tvSingle_Activate(node);
}

// Enter on a node: an item is downloaded as by the Download button, a group
// (or the root) opens or closes. The download starts from the event loop,
// not from inside the tree's key or mouse handling.
void frmMain::tvSingle_Activate(QTreeWidgetItem *node)
{
    const qsizetype index = TreeWidgetAdapter::indexOf(node);
    if (!m_tree.exists(index))
        return;
    if (m_tree.tag(index).isEmpty()) {
        m_tree.setExpanded(index, !m_tree.isExpanded(index));
        return;
    }
    DownloadLater(index);
}

void frmMain::DownloadLater(qsizetype index)
{
    m_state.intSelectedIndex = index;
    QMetaObject::invokeMethod(this, [this, index] {
        if (!m_closed && isEnabled() && m_state.intSelectedIndex == index)
            cmdDownload_Click();
    }, Qt::QueuedConnection);
}

// The context menu of an item: download it, or copy its caption or its address.
void frmMain::tvSingle_ContextMenu(QContextMenuEvent *event)
{
    QTreeWidgetItem *node = event->reason() == QContextMenuEvent::Mouse
        ? m_tvSingle->itemAt(m_tvSingle->viewport()->mapFromGlobal(event->globalPos()))
        : m_tvSingle->currentItem();
    const qsizetype index = TreeWidgetAdapter::indexOf(node);
    if (m_tree.tag(index).isEmpty())
        return;
    m_tvSingle->setCurrentItem(node);
    QPoint at = event->globalPos();
    if (event->reason() != QContextMenuEvent::Mouse) {  // below the item's row, in sight
        m_tvSingle->scrollToItem(node);
        const QRect row = m_tvSingle->visualItemRect(node);
        at = m_tvSingle->viewport()->mapToGlobal(QPoint(row.left() + row.height(), row.bottom()));
    }
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuItem"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto add = [menu](const char *name, const QString &text, auto &&run) {
        QAction *action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, menu, run);
    };
    add("actDownload", QStringLiteral("下载(&D)"), [this, index] { DownloadLater(index); });
    add("actCopyName", QStringLiteral("复制名称(&C)"),
        [this, index] { QGuiApplication::clipboard()->setText(m_tree.text(index)); });
    add("actCopyLink", QStringLiteral("复制链接(&L)"),
        [this, index] { QGuiApplication::clipboard()->setText(m_tree.tag(index)); });
    menu->popup(at);
}

// The highlighted node is the selected one, however it got there: a click,
// the arrow keys, Home/End, Page Up/Down or typing its first letters. Moving
// by keyboard only selects; opening and closing groups stays with clicks,
// Enter and the tree's own keys (Left/Right, +/-), so a group never closes
// while the user only moves through the tree.
void frmMain::tvSingle_CurrentChanged(QTreeWidgetItem *current)
{
    m_state.intSelectedIndex = TreeWidgetAdapter::indexOf(current);
    // Ctrl+arrows move the focus frame without the highlight: keep them together.
    if (current && !current->isSelected())
        m_tvSingle->setCurrentItem(current, 0, QItemSelectionModel::ClearAndSelect);
}

void frmMain::tvSingle_KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (key != Qt::Key_C || (modifiers & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (m_tree.exists(m_state.intSelectedIndex))
        clipboard->setText(m_tree.text(m_state.intSelectedIndex));
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    const bool tree = watched == m_tvSingle || watched == m_tvSingle->viewport();
    if (tree && event->type() == QEvent::ContextMenu) {
        tvSingle_ContextMenu(static_cast<QContextMenuEvent *>(event));
        return true;
    }
    if (watched == m_tvSingle && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        // Enter belongs to the highlighted node, not to the window's default button.
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            tvSingle_Activate(m_tvSingle->currentItem());
            return true;
        }
        // Shift+F10 opens the context menu as the menu key does.
        if (key->key() == Qt::Key_F10 && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), QPoint());
            tvSingle_ContextMenu(&menu);
            return true;
        }
        tvSingle_KeyDown(key->key(), key->modifiers());
        // The tree's own copy would take its current row, not the clicked node.
        if (key->matches(QKeySequence::Copy))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::keyPressEvent(QKeyEvent *event)
{
    // Enter presses the focused button, or else the default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto *focused = qobject_cast<QPushButton *>(focusWidget());
        QPushButton *target = focused ? focused : m_cmdLoad;
        if (target->isVisible() && target->isEnabled())
            target->click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

// While a download runs this window is disabled: when the window manager
// makes it active anyway (restored from the taskbar, clicked), the keyboard
// would sit on a window that takes no key. The activation goes on to the
// download window, or to the dialog that waits above it.
bool frmMain::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        HandOnActivation();
    return QWidget::event(event);
}

void frmMain::HandOnActivation()
{
    QWidget *target = QApplication::activeModalWidget();
    if (!target && !isEnabled() && m_download && m_download->isVisible())
        target = m_download;
    if (!target || target == this)
        return;
    // From the event loop: the window manager finishes this activation first.
    QMetaObject::invokeMethod(target, [target] {
        target->raise();
        target->activateWindow();
    }, Qt::QueuedConnection);
}

void frmMain::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, (m_showsPicRes ? m_picRes : m_background).forWidget(this));
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (m_closed) {  // already closed, only waiting for its handlers to unwind
        event->accept();
        return;
    }
    // Disabled while a download runs: like the disabled chooser it takes no
    // close request, from its close box or from the window manager, so no
    // second main window and no second download can start meanwhile.
    if (!isEnabled() && event->spontaneous()) {
        event->ignore();
        return;
    }
    if (!blnExitOnChooserClose && m_inet->StillExecuting()) {
        const auto answer = ShowMessage(this, QMessageBox::Question,
                                        QStringLiteral("Velmora 正在执行用户的请求, 是否强制退出?"),
                                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
        m_inet->Cancel();
        m_state.blnQuit = true;
    }
    // A handler still running (a fetch, a message box, a dialog) must not go
    // on working for a window that is gone: it stops at its next check.
    if (m_handlers > 0) {
        m_inet->Cancel();
        m_state.blnQuit = true;
    }
    ChooserAwaitsPick();
    m_closed = true;
    event->accept();
    emit returnToChooser();
    if (m_handlers == 0)
        deleteLater();
}

} // namespace velmora
