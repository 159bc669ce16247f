// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/ui/frmmain.h"

#include "about/ui/frmabout.h"
#include "catalogue/core/handoff.h"
#include "catalogue/core/inet.h"
#include "catalogue/core/linkrefresh.h"
#include "catalogue/core/search.h"
#include "catalogue/ui/artwork.h"
#include "catalogue/ui/frmsearch.h"
#include "catalogue/ui/frmsettings.h"
#include "catalogue/ui/webbrowser.h"
#include "common/core/globals.h"
#include "common/core/settings.h"
#include "common/core/version.h"
#include "common/ui/msgbox.h"
#include "common/ui/tooltip.h"
#include "common/ui/uifont.h"
#include "download/core/engine.h"
#include "download/core/savelocation.h"
#include "download/ui/frmdownload.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTreeWidget>
#include <QUrl>

namespace velmora {

namespace {
const QString kDone = QStringLiteral("完成");
const QString kRedirecting = QStringLiteral("正在重新定向 URL, 请稍候...");
const QString kSearchGroup = QStringLiteral("搜索 Internet 的结果");
const QString kNoHandlerText = QStringLiteral("系统中没有可以打开此地址的程序:");
constexpr int kClientWidth = 751;
constexpr int kClientHeight = 443;
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
    setFixedSize(kClientWidth, kClientHeight);

    m_tvSingle->setGeometry(12, 72, 568, 340);
    m_tvSingle->setHeaderHidden(true);
    m_tvSingle->setColumnCount(1);
    m_tvSingle->setIconSize(QSize(16, 16));
    m_tvSingle->setRootIsDecorated(true);
    m_tvSingle->setUniformRowHeights(true);
    m_tvSingle->setExpandsOnDoubleClick(true);
    m_tvSingle->installEventFilter(this);
    connect(m_tvSingle, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item, int) { tvSingle_NodeClick(item); });
    connect(m_tvSingle, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current) { tvSingle_CurrentChanged(current); });

    QPushButton *buttons[] = {m_cmdLoad, m_cmdDownload, m_cmdSearch, m_cmdAbout};
    for (int i = 0; i < 4; ++i) {
        buttons[i]->setGeometry(596, 72 + i * 42, 143, 30);
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
    m_statusBar->setGeometry(0, kClientHeight - 22, kClientWidth, 22);
    InitSettingsAction();

    const QSize client = size();
    m_picRes = SharpPixmap([client](qreal dpr) { return AnimeBackground(client, dpr); });
    m_background = SharpPixmap([client](qreal dpr) { return MusicBackground(client, dpr); });

    // The polling timer runs from creation: its first tick finds the browser
    // idle, shows "完成" and stops.
    m_timTimer.setInterval(10);
    connect(&m_timTimer, &QTimer::timeout, this, &frmMain::timTimer_Timer);
    m_timTimer.start();

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }

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
    ShowMarks(listUrl, m_loader.listRead());

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

void frmMain::ShowMarks(const QString &listUrl, bool listRead)
{
    const QList<LibraryMark> marks =
        MarkLoad(m_tree, m_loader.scannedPages(), listUrl, listRead, SaveFolderFor(CatalogueKindNow()));
    for (qsizetype i = 1; i < marks.size(); ++i) {
        if (marks.at(i) != LibraryMark::None)
            m_tree.setMark(i, marks.at(i));
    }
}

void frmMain::cmdSearch_Click()
{
    Busy busy(this);
    {
        frmSearch dlg(this);
        dlg.exec();
    }
    if (!strSearchWord.trimmed().isEmpty() && !m_closed) {
        const QString words = strSearchWord;
        const QString address = BuildSearchAddress(SearchServer(), words);
        setStatus(QStringLiteral("正在通过 Internet 搜索与\"") + words + QStringLiteral("\"相关的内容, 请稍候..."));
        setPointerBusy(true);
        m_cmdLoad->setEnabled(false);
        m_cmdSearch->setEnabled(false);
        InitNode();
        LoadTrackList(address, QStringLiteral(".mp3"), kSearchGroup);
        if (!m_state.blnQuit)
            ShowMarks(address, true);
        setStatus(kDone);
        setPointerBusy(false);
        m_cmdLoad->setEnabled(true);
        m_cmdSearch->setEnabled(true);
        if (m_tree.nodeCount() >= 2 && !m_state.blnQuit) {
            ShowMessage(this, QMessageBox::Information,
                        QStringLiteral("Velmora 已完成对 Internet 的搜索并找到 ") + QString::number(m_tree.nodeCount() - 2)
                            + QStringLiteral(" 项相关内容."));
        }
    }
    strSearchWord.clear();
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
    m_download = window;
    m_refresher = std::make_unique<PageLinkRefresher>(
        *m_inet, OriginOfItem(m_tree, m_loader.scannedPages(), m_state.intSelectedIndex));
    window->engine()->setLinkRefresher(m_refresher.get());
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
    NodeClick(m_tree, m_state, TreeWidgetAdapter::indexOf(node));
}

// The highlighted node is the selected one, however it got there: a click,
// the arrow keys, Home/End, Page Up/Down or typing its first letters. Moving
// by keyboard only selects; opening and closing groups stays with clicks and
// the tree's own keys (Left/Right, +/-), so a group never closes under the
// user's keys.
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
    if (watched == m_tvSingle && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
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
